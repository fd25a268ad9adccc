# The Corvane SDK as a CMake package, shipped as <SDK>/lib/cmake/Corvane/CorvaneConfig.cmake:
#   find_package(Corvane CONFIG REQUIRED)        (with -DCMAKE_PREFIX_PATH=<SDK> or -DCorvane_DIR=...)
#   target_link_libraries(MyAddon PRIVATE Corvane::sdk)
# Corvane::sdk gives the public headers and the import library of Corvane.exe that fits the compiler:
# Corvane.lib for Microsoft's linkers (cl, clang-cl, clang --target=i686-pc-windows-msvc), libCorvane.a
# for MinGW-w64. CorvaneConfigVersion.cmake beside this file turns away 64-bit builds.
if(NOT WIN32)
  set(Corvane_FOUND FALSE)
  set(Corvane_NOT_FOUND_MESSAGE "Corvane add-ons are 32-bit Windows DLLs: use a toolchain for i686 Windows")
  return()
endif()
if(TARGET Corvane::sdk)
  return()
endif()

get_filename_component(_corvane_sdk "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(MSVC OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_corvane_import "${_corvane_sdk}/lib/Corvane.lib")
else()
  set(_corvane_import "${_corvane_sdk}/lib/libCorvane.a")
endif()

add_library(Corvane::sdk INTERFACE IMPORTED)
set_target_properties(Corvane::sdk PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${_corvane_sdk}/include"
  INTERFACE_LINK_LIBRARIES "${_corvane_import}")
# A game folder has none of MinGW's runtime DLLs (libgcc, libstdc++, libwinpthread): link them in.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_property(TARGET Corvane::sdk PROPERTY INTERFACE_LINK_OPTIONS -static)
endif()
unset(_corvane_sdk)
unset(_corvane_import)
