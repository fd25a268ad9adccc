// The archive library's functions that the game calls, by ordinal of Storm.dll (callee cleans up).
#pragma once

// Game.dll reaches them through its import table (import library made from Storm.def); the variant
// that imports nothing from Storm.dll defines them in StormLookedUp.cpp.

#include <windows.h>

extern "C" {
BOOL __stdcall StormCloseArchive(HANDLE archive);                                                            // 252
BOOL __stdcall StormCloseFile(HANDLE file);                                                                  // 253
BOOL __stdcall StormGetFileArchive(HANDLE file, HANDLE* archive);                                            // 264
DWORD __stdcall StormGetFileSize(HANDLE file, DWORD* high);                                                  // 265
BOOL __stdcall StormOpenArchive(const char* path, DWORD priority, DWORD flags, HANDLE* archive);             // 266
BOOL __stdcall StormOpenFile(const char* name, HANDLE* file);                                                // 267
BOOL __stdcall StormReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped);  // 269
BOOL __stdcall StormGetArchiveName(HANDLE archive, char* buffer, DWORD size);                                // 275
BOOL __stdcall StormLoadFile(const char* name, void** buffer, DWORD* size, DWORD extra,
                             LPOVERLAPPED overlapped);  // 279
BOOL __stdcall StormUnloadFile(void* buffer);           // 280
BOOL __stdcall StormOpenArchiveEx(DWORD owner, const char* path, DWORD priority, DWORD flags,
                                  HANDLE* archive);  // 293
}
