// Corvane add-on interface: the game's archive library Storm.dll, one wrapper per ordinal.
#pragma once

#include <windows.h>

// Each wrapper passes its arguments on unchanged; bool results are true for any non-zero result of
// the library. Name buffers are declared constant but the library writes them.
namespace Storm {
bool OpenArchive(const char* name, DWORD priority, DWORD flags, HANDLE* archive);             // 266
bool CloseArchive(HANDLE archive);                                                            // 252
bool GetArchiveName(HANDLE archive, const char* buffer, DWORD size);                          // 275
bool OpenFile(const char* name, HANDLE* file);                                                // 267
bool OpenFileEx(HANDLE archive, const char* name, DWORD option, HANDLE* file);                // 268
bool CloseFile(HANDLE file);                                                                  // 253
DWORD GetFileSize(HANDLE file, DWORD* high);                                                  // 265
bool GetFileArchive(HANDLE file, HANDLE* archive);                                            // 264
bool GetFileName(HANDLE file, const char* buffer, DWORD size);                                // 276
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method);                   // 271
bool ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped);  // 269
LCID SetLocale(LCID locale);                                                                  // 272
bool GetBasePath(char* buffer, DWORD size);                                                   // 273
bool SetBasePath(const char* path);                                                           // 270
}  // namespace Storm
