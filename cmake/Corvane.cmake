# Build settings of the project's own targets, applied target by target.

# RapidJSON is header-only and lives in /usr/include, which must not reach the cross compiler as a
# whole (glibc's headers would shadow MinGW's): only its own folder, with the fixed reader, is exposed.
include(RapidJson)

# C++17, warnings on, doubles computed with SSE2 (so that a number reads and writes the same whatever
# precision the calling thread's x87 unit has: MinGW starts it at 64 bits, the game's Direct3D device
# sets 24), the project's include roots, RapidJSON, a statically linked GCC runtime (Wine cannot find
# MinGW's runtime DLLs; the C runtime stays msvcrt.dll), and no link time in the image (PE header and
# export directory), so that the same sources link to the same bytes.
function(corvane_target target)
  target_compile_features(${target} PRIVATE cxx_std_17)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -msse2 -mfpmath=sse>)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
  target_include_directories(${target} SYSTEM PRIVATE ${CORVANE_RAPIDJSON_INCLUDE})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
  endif()
endfunction()

# A GoogleTest program run by ctest under Wine (the toolchain's emulator).
#   corvane_add_test(NAME SOURCES file... [LIBS target...] [DEPENDS target...])
# DEPENDS names targets (fixture DLLs, the launcher, stand-ins) that must be built before the test runs.
function(corvane_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  corvane_target(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE corvane_gtest ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
