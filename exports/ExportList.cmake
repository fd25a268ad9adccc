# Reading Corvane.exports, the one list of Corvane.exe's exported names, for the Windows build
# (exports/CMakeLists.txt) and the native builds (native/, tools/corvane-check/native) alike.
set(CORVANE_EXPORT_LIST ${CMAKE_CURRENT_LIST_DIR}/Corvane.exports)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CORVANE_EXPORT_LIST})

# Sets <prefix>_NAMES, <prefix>_SYMBOLS and <prefix>_DECLARED, one entry per line of the list in its order
# (a name's ordinal is its position, from 1); a declaration's MinGW name is its symbol unless the list
# names another. Fails on a malformed line and on a name that is not above the one before in byte order.
function(corvane_read_export_list prefix)
  file(STRINGS ${CORVANE_EXPORT_LIST} lines)
  set(names "")
  set(symbols "")
  set(declarations "")
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
    list(APPEND names ${name})
    list(APPEND symbols ${symbol})
    list(APPEND declarations ${declared})
  endforeach()
  set(${prefix}_NAMES ${names} PARENT_SCOPE)
  set(${prefix}_SYMBOLS ${symbols} PARENT_SCOPE)
  set(${prefix}_DECLARED ${declarations} PARENT_SCOPE)
endfunction()

# Link options that give in-process callers the body the export table gives add-ons: a declaration that
# the list serves with another declaration's body (the operations both JSON classes share, the zero-fill
# of both classes) is made a second name of that body, which is pulled into the link. Declarations served
# by an adaptor (a plain C name) keep their own body, which the adaptor runs. symbolPrefix: "_" for 32-bit
# Windows, "" for ELF.
function(corvane_shared_body_options out symbolPrefix)
  corvane_read_export_list(list)
  set(options "")
  foreach(symbol declared IN ZIP_LISTS list_SYMBOLS list_DECLARED)
    if(NOT symbol STREQUAL declared AND symbol MATCHES "^_Z")
      list(APPEND options "LINKER:-u,${symbolPrefix}${symbol}"
                          "LINKER:--defsym,${symbolPrefix}${declared}=${symbolPrefix}${symbol}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES options)
  set(${out} ${options} PARENT_SCOPE)
endfunction()
