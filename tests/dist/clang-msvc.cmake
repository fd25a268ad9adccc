# clang in Microsoft mode for 32-bit Windows, linking with lld-link: how an add-on author without
# Microsoft's own tools builds add-ons on this machine. MinGW's Windows headers stand in for the Windows
# SDK and there is no Microsoft C runtime here, so a DLL starts at DllMain and links no default library.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET i686-pc-windows-msvc)
# MinGW's headers pick their x86 paths from _X86_ and a GNU version; without a C runtime there is no
# exception handler either.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -D_X86_ -fgnuc-version=4.2.1 -isystem /usr/i686-w64-mingw32/include")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld-link -Wl,/nodefaultlib -Wl,/entry:DllMain")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "No kernel32.lib and the like: the add-on imports Corvane.exe only")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
