# Corvane.exe's exports for add-ons, all made from the one list include/Corvane.exports:
#   CORVANE_EXPORTS_DEF   the definition file that MinGW's linker builds the export table from
#   CORVANE_MSVC_DEF      the names alone, for Microsoft-style import libraries (lib /def, llvm-dlltool)
#   CORVANE_MINGW_DEF     each declaration's MinGW name imported under its Microsoft name (GNU dlltool)
#   corvane_import_libraries   builds Corvane.lib (Microsoft's linkers) and libCorvane.a (MinGW)
#   corvane_addon_import       link this to build a MinGW add-on against libCorvane.a
# The paths are cached so that every folder of the build (tests, test bed, SDK) sees them.
set(CORVANE_EXPORT_LIST ${CMAKE_SOURCE_DIR}/include/Corvane.exports CACHE INTERNAL "")
set(CORVANE_EXPORTS_DIR ${CMAKE_BINARY_DIR}/exports CACHE INTERNAL "")
set(CORVANE_EXPORTS_DEF ${CORVANE_EXPORTS_DIR}/Corvane.exports.def CACHE INTERNAL "")
set(CORVANE_MSVC_DEF ${CORVANE_EXPORTS_DIR}/Corvane.def CACHE INTERNAL "")
set(CORVANE_MINGW_DEF ${CORVANE_EXPORTS_DIR}/libCorvane.def CACHE INTERNAL "")
set(CORVANE_MSVC_IMPORT ${CORVANE_EXPORTS_DIR}/Corvane.lib CACHE INTERNAL "")
set(CORVANE_MINGW_IMPORT ${CORVANE_EXPORTS_DIR}/libCorvane.a CACHE INTERNAL "")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CORVANE_EXPORT_LIST})

# Writes file only when its text changes, so that nothing is rebuilt for an unchanged list.
function(corvane_write_if_changed file text)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${file} "${text}")
endfunction()

function(corvane_make_export_definitions)
  file(STRINGS ${CORVANE_EXPORT_LIST} lines)
  set(banner "; Made from include/Corvane.exports by cmake/CorvaneExports.cmake: edit the list, not this file.\n")
  set(linker "${banner}NAME \"Corvane.exe\"\nEXPORTS\n")
  set(msvc "${banner}LIBRARY \"Corvane.exe\"\nEXPORTS\n")
  set(mingw "${banner}LIBRARY \"Corvane.exe\"\nEXPORTS\n")
  set(ordinal 0)
  set(previous "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields count)
    if(count LESS 2 OR count GREATER 3)
      message(FATAL_ERROR "Corvane.exports: expected two or three columns: ${line}")
    endif()
    list(GET fields 0 name)
    list(GET fields 1 symbol)
    set(declared ${symbol})
    if(count EQUAL 3)
      list(GET fields 2 declared)
    endif()
    # Ordinals follow the names' byte order, which the loader's binary search of the name table needs.
    if(NOT previous STREQUAL "" AND NOT previous STRLESS name)
      message(FATAL_ERROR "Corvane.exports: ${name} is not above ${previous} in byte order")
    endif()
    set(previous ${name})
    math(EXPR ordinal "${ordinal} + 1")
    string(APPEND linker "  \"${name}\" = ${symbol} @${ordinal}\n")
    string(APPEND msvc "  \"${name}\" @${ordinal}\n")
    string(APPEND mingw "  ${declared} @${ordinal} == \"${name}\"\n")
  endforeach()
  file(MAKE_DIRECTORY ${CORVANE_EXPORTS_DIR})
  corvane_write_if_changed(${CORVANE_EXPORTS_DEF} "${linker}")
  corvane_write_if_changed(${CORVANE_MSVC_DEF} "${msvc}")
  corvane_write_if_changed(${CORVANE_MINGW_DEF} "${mingw}")
endfunction()
corvane_make_export_definitions()

find_program(CORVANE_LLVM_DLLTOOL llvm-dlltool REQUIRED)
add_custom_command(OUTPUT ${CORVANE_MSVC_IMPORT}
  COMMAND ${CORVANE_LLVM_DLLTOOL} -m i386 -d ${CORVANE_MSVC_DEF} -l ${CORVANE_MSVC_IMPORT}
  DEPENDS ${CORVANE_MSVC_DEF}
  COMMENT "Corvane.lib: import library of Corvane.exe for Microsoft's linkers")
# Run where the library goes: dlltool names its members and symbols after the output path as given,
# and the build tree's path must not end up in the SDK.
add_custom_command(OUTPUT ${CORVANE_MINGW_IMPORT}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CORVANE_MINGW_IMPORT}
  COMMAND ${CMAKE_DLLTOOL} -m i386 -d ${CORVANE_MINGW_DEF} -l libCorvane.a
  WORKING_DIRECTORY ${CORVANE_EXPORTS_DIR}
  DEPENDS ${CORVANE_MINGW_DEF}
  COMMENT "libCorvane.a: import library of Corvane.exe for MinGW")
add_custom_target(corvane_import_libraries ALL DEPENDS ${CORVANE_MSVC_IMPORT} ${CORVANE_MINGW_IMPORT})

add_library(corvane_addon_import INTERFACE)
target_link_libraries(corvane_addon_import INTERFACE ${CORVANE_MINGW_IMPORT})
add_dependencies(corvane_addon_import corvane_import_libraries)
