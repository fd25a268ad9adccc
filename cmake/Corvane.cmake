# Build settings of the project's own targets, applied target by target.

# RapidJSON is header-only and lives in /usr/include, which must not reach the cross compiler as a
# whole (glibc's headers would shadow MinGW's): expose only its own folder.
set(CORVANE_THIRD_PARTY ${CMAKE_BINARY_DIR}/third_party)
file(MAKE_DIRECTORY ${CORVANE_THIRD_PARTY})
file(CREATE_LINK /usr/include/rapidjson ${CORVANE_THIRD_PARTY}/rapidjson SYMBOLIC)

# C++17, warnings on, the project's include roots, RapidJSON, a statically linked GCC runtime (Wine
# cannot find MinGW's runtime DLLs; the C runtime stays msvcrt.dll), and no link time in the image (PE
# header and export directory), so that the same sources link to the same bytes.
function(corvane_target target)
  target_compile_features(${target} PRIVATE cxx_std_17)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
  target_include_directories(${target} SYSTEM PRIVATE ${CORVANE_THIRD_PARTY})
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
