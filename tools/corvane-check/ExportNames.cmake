# CorvaneExports.inc in <dir>: Corvane.exe's exported names from exports/Corvane.exports, one C string per
# line, for the checker's import diagnostics (AddonImports.cpp).
#   corvane_check_export_names(dir)
include(${CMAKE_CURRENT_LIST_DIR}/../../exports/ExportList.cmake)
function(corvane_check_export_names dir)
  corvane_read_export_list(list)
  set(content "// Made by the build from exports/Corvane.exports.\n")
  foreach(name IN LISTS list_NAMES)
    string(REPLACE "?" "\\?" name "${name}")  # no trigraph can form
    string(APPEND content "\"${name}\",\n")
  endforeach()
  set(old "")
  if(EXISTS ${dir}/CorvaneExports.inc)
    file(READ ${dir}/CorvaneExports.inc old)
  endif()
  if(NOT old STREQUAL content)  # written only when it changes, so nothing rebuilds for nothing
    file(WRITE ${dir}/CorvaneExports.inc "${content}")
  endif()
endfunction()
