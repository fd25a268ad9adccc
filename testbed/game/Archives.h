// The game's archives: opened through the two call sites of GameImage.S, then files asked for.
#pragma once

#include "testbed/game/ReportWriter.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The argument of gameOpenArchives; GameImage.S addresses the fields by offset.
struct ArchiveOpenRequest {
  DWORD owner;  // ordinal 293, through the call at 0xE5F0
  const char* pathEx;
  DWORD priorityEx;
  DWORD flagsEx;
  HANDLE* archiveEx;
  const char* path;  // ordinal 266, through the call at 0xE5FF
  DWORD priority;
  DWORD flags;
  HANDLE* archive;
  DWORD resultEx;  // results of the two calls
  DWORD result;
};
static_assert(offsetof(ArchiveOpenRequest, archiveEx) == 16 && offsetof(ArchiveOpenRequest, path) == 20 &&
                  offsetof(ArchiveOpenRequest, archive) == 32 && offsetof(ArchiveOpenRequest, resultEx) == 36 &&
                  offsetof(ArchiveOpenRequest, result) == 40,
              "GameImage.S addresses these by offset");

extern "C" BOOL __stdcall gameOpenArchives(ArchiveOpenRequest* request);

struct GameArchives {
  HANDLE ex = nullptr;     // GameReport::kArchiveEx
  HANDLE plain = nullptr;  // GameReport::kArchive
};

// archive.NAME for both archives (opened whether or not the file exists, as the game does).
void openArchives(ReportWriter& report, GameArchives& archives);
// file.NAME for every GameReport::kLoadedFiles entry, open.NAME for every kOpenedFiles entry.
void requestFiles(ReportWriter& report);
// close.NAME for each archive that was opened.
void closeArchives(ReportWriter& report, GameArchives& archives);
