// The archive library's functions as imported at load time by ordinal (see Storm.def).
#pragma once

#include <windows.h>

// The library's own convention: the callee removes the arguments; every result is 32 bits.
extern "C" {
DWORD __stdcall stormCloseArchive(HANDLE archive);                                                            // 252
DWORD __stdcall stormCloseFile(HANDLE file);                                                                  // 253
DWORD __stdcall stormGetFileArchive(HANDLE file, HANDLE* archive);                                            // 264
DWORD __stdcall stormGetFileSize(HANDLE file, DWORD* high);                                                   // 265
DWORD __stdcall stormOpenArchive(const char* name, DWORD priority, DWORD flags, HANDLE* archive);             // 266
DWORD __stdcall stormOpenFile(const char* name, HANDLE* file);                                                // 267
DWORD __stdcall stormOpenFileEx(HANDLE archive, const char* name, DWORD option, HANDLE* file);                // 268
DWORD __stdcall stormReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped);  // 269
DWORD __stdcall stormSetBasePath(const char* path);                                                           // 270
DWORD __stdcall stormSetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method);                    // 271
DWORD __stdcall stormSetLocale(LCID locale);                                                                  // 272
DWORD __stdcall stormGetBasePath(char* buffer, DWORD size);                                                   // 273
DWORD __stdcall stormGetArchiveName(HANDLE archive, char* buffer, DWORD size);                                // 275
DWORD __stdcall stormGetFileName(HANDLE file, char* buffer, DWORD size);                                      // 276
}
