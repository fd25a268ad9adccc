# Add-ons built the way authors with Microsoft's tools build them: clang in Microsoft mode and lld-link,
# no C runtime of their own, linked against Corvane.lib and import libraries of kernel32.dll and
# msvcrt.dll made from testbed/addons/system/*.def. MinGW's Windows headers stand in for the SDK's.
#   corvane_microsoft_addon(NAME OUTPUT_DIRECTORY dir ENTRY function SOURCES file... [INCLUDES dir...]
#                           [DEPENDS file...] [FLAGS flag...])
#   DEPENDS: generated headers the sources include; FLAGS: compiler flags added after the common ones
find_program(CORVANE_CLANG clang REQUIRED)
find_program(CORVANE_LLD_LINK lld-link REQUIRED)
set(CORVANE_MICROSOFT_FLAGS
  --target=i686-pc-windows-msvc -fms-extensions -ffreestanding -fno-exceptions -fno-rtti
  -fno-stack-protector -std=c++17 -O1 -Wall -Wextra
  # MinGW's headers pick their x86 paths from _X86_ and a GNU version.
  -D_X86_ -fgnuc-version=4.2.1 -isystem ${CMAKE_FIND_ROOT_PATH}/include)

set(CORVANE_MICROSOFT_LIBS ${CMAKE_BINARY_DIR}/exports/microsoft)
foreach(module kernel32 msvcrt)
  set(def ${CMAKE_SOURCE_DIR}/testbed/addons/system/${module}.def)
  set(lib ${CORVANE_MICROSOFT_LIBS}/${module}.lib)
  # -k: the stdcall names of kernel32 are imported without their @ suffix.
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVANE_MICROSOFT_LIBS}
    COMMAND ${CORVANE_LLVM_DLLTOOL} -k -m i386 -d ${def} -l ${lib}
    DEPENDS ${def}
    COMMENT "${module}.lib for add-ons built the Microsoft way")
  list(APPEND CORVANE_MICROSOFT_SYSTEM_LIBS ${lib})
endforeach()
add_custom_target(corvane_microsoft_system_libs DEPENDS ${CORVANE_MICROSOFT_SYSTEM_LIBS})

function(corvane_microsoft_addon name)
  cmake_parse_arguments(A "" "OUTPUT_DIRECTORY;ENTRY" "SOURCES;INCLUDES;DEPENDS;FLAGS" ${ARGN})
  set(objects "")
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.microsoft)
  set(includes -I${CMAKE_SOURCE_DIR}/include)
  foreach(dir IN LISTS A_INCLUDES)
    list(APPEND includes -I${dir})
  endforeach()
  foreach(source IN LISTS A_SOURCES)
    get_filename_component(path ${source} ABSOLUTE)
    get_filename_component(stem ${source} NAME_WE)
    set(object ${work}/${stem}.obj)
    set(flags ${CORVANE_MICROSOFT_FLAGS} ${A_FLAGS})
    if(source MATCHES "\\.S$")
      set(flags --target=i686-pc-windows-msvc)
    endif()
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
      COMMAND ${CORVANE_CLANG} ${flags} ${includes} -MD -MF ${object}.d -c ${path} -o ${object}
      DEPENDS ${path} ${A_DEPENDS}
      DEPFILE ${object}.d
      COMMENT "Compiling ${source} for ${name}.dll the Microsoft way")
    list(APPEND objects ${object})
  endforeach()
  set(dll ${A_OUTPUT_DIRECTORY}/${name}.dll)
  add_custom_command(OUTPUT ${dll}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${A_OUTPUT_DIRECTORY}
    COMMAND ${CORVANE_LLD_LINK} /nologo /dll /machine:x86 /nodefaultlib /safeseh:no /entry:${A_ENTRY}
            /out:${dll} /implib:${work}/${name}.lib ${objects} ${CORVANE_MSVC_IMPORT} ${CORVANE_MICROSOFT_SYSTEM_LIBS}
    DEPENDS ${objects} ${CORVANE_MSVC_IMPORT} ${CORVANE_MICROSOFT_SYSTEM_LIBS}
    COMMENT "Linking ${name}.dll with lld-link against Corvane.lib")
  add_custom_target(${name} ALL DEPENDS ${dll})
  add_dependencies(${name} corvane_import_libraries corvane_microsoft_system_libs)
endfunction()
