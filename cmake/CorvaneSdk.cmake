# The SDK for add-on authors, in <build>/sdk (target sdk, make sdk; the release ships it too):
#   include/ (the public headers), lib/Corvane.lib (Microsoft's linkers), lib/libCorvane.a (MinGW),
#   lib/Corvane.def (the names, for lib /def), lib/cmake/Corvane/ (the CMake package: Corvane::sdk),
#   example/ (an add-on with build files for both), README.txt.
include(CMakePackageConfigHelpers)
set(CORVANE_SDK_DIR ${CMAKE_BINARY_DIR}/sdk CACHE INTERNAL "")
set(corvane_sdk_package ${CMAKE_BINARY_DIR}/sdk-package)
write_basic_package_version_file(${corvane_sdk_package}/CorvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
file(GLOB corvane_sdk_headers ${CMAKE_SOURCE_DIR}/include/*.h)
set(corvane_sdk_example
  ${CMAKE_SOURCE_DIR}/testbed/addons/example/Example.cpp
  ${CMAKE_SOURCE_DIR}/testbed/addons/example/CMakeLists.txt
  ${CMAKE_SOURCE_DIR}/testbed/addons/example/build-msvc.cmd)
set(corvane_sdk_readme ${CMAKE_SOURCE_DIR}/testbed/addons/example/README.txt)
add_custom_target(sdk
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CORVANE_SDK_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVANE_SDK_DIR}/include ${CORVANE_SDK_DIR}/lib/cmake/Corvane
          ${CORVANE_SDK_DIR}/example
  COMMAND ${CMAKE_COMMAND} -E copy ${corvane_sdk_readme} ${CORVANE_SDK_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy ${corvane_sdk_headers} ${CORVANE_SDK_DIR}/include/
  COMMAND ${CMAKE_COMMAND} -E copy ${CORVANE_MSVC_IMPORT} ${CORVANE_MINGW_IMPORT} ${CORVANE_MSVC_DEF} ${CORVANE_SDK_DIR}/lib/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/cmake/CorvaneConfig.cmake
          ${corvane_sdk_package}/CorvaneConfigVersion.cmake ${CORVANE_SDK_DIR}/lib/cmake/Corvane/
  COMMAND ${CMAKE_COMMAND} -E copy ${corvane_sdk_example} ${CORVANE_SDK_DIR}/example/
  COMMENT "Corvane SDK in ${CORVANE_SDK_DIR}"
  VERBATIM)
add_dependencies(sdk corvane_import_libraries)
