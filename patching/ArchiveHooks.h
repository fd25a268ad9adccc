// Hooks around the archive library: the game's two archive-open call sites and its file requests.
#pragma once

#include <windows.h>

// The archive library's file-request ordinal: the game's import of it is redirected to hookFileRequest.
const WORD kFileRequestOrdinal = 279;

// Reached through the call written into the game at its extended archive open; records the name
// (second argument) and forwards to ordinal 293. Returns the low byte of its result.
DWORD __stdcall hookOpenArchiveEx(DWORD first, const char* name, DWORD third, DWORD fourth, DWORD fifth);
// Reached through the call written into the game at its plain archive open; records the name and
// forwards to ordinal 266. Returns 1 when it succeeded, else 0.
DWORD __stdcall hookOpenArchive(const char* name, DWORD priority, DWORD flags, HANDLE* archive);
// Replaces the game's import of ordinal 279. Requests for the map-icon pictures are answered first
// with "war3mapIcon.blp" from the archive opened last; everything else goes to ordinal 279.
DWORD __stdcall hookFileRequest(const char* name, DWORD second, DWORD third, DWORD fourth, DWORD fifth);
