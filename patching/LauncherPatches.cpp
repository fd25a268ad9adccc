// The launcher's code patches in the game module, applied once at start-up.
#include "patching/LauncherPatches.h"

#include "patch.h"
#include "patching/ArchiveHooks.h"
#include "patching/PatchWriters.h"

#include "Version.h"

const char gLauncherVersionText[] = CORVANE_LAUNCHER_VERSION_TEXT;

// Offsets from the game module's base, for the one build of Game.dll the launcher is made for.
static const DWORD kShortJumpRun = 0x4E3BFA;  // 90 90, then EB at the third byte
static const DWORD kShortJumpRunLength = 2;
static const DWORD kShortJumpSite = 0x4E3BFC;
static const DWORD kNopRun = 0x59B3E4;  // eight 90
static const DWORD kNopRunLength = 8;
static const DWORD kOpenArchiveExCall = 0xE5F0;  // call hookOpenArchiveEx
static const DWORD kOpenArchiveCall = 0xE5FF;    // call hookOpenArchive
static const DWORD kVersionTextPointer = 0x58BF7F;

static const unsigned char kNop = 0x90;
static const unsigned char kShortJump = 0xEB;

// One byte per write, the run stopping after the first failed byte.
static bool writeRun(DWORD address, unsigned char value, DWORD length) {
  for (DWORD i = 0; i < length; ++i)
    if (!patch(address + i, value, 1)) return false;
  return true;
}

// patchCall reports nothing; its last write leaves the code of patch, 0 only when both went in.
static bool writeCall(DWORD site, const void* target) {
  patchCall(site, reinterpret_cast<DWORD>(target));
  return GetLastError() == kPatchWritten;
}

void installLauncherPatches(DWORD gameBase, PatchSiteResult (&results)[kLauncherPatchSites]) {
  results[0] = {kShortJumpRun, writeRun(gameBase + kShortJumpRun, kNop, kShortJumpRunLength)};
  results[1] = {kShortJumpSite, patch(gameBase + kShortJumpSite, kShortJump, 1)};
  results[2] = {kNopRun, writeRun(gameBase + kNopRun, kNop, kNopRunLength)};
  results[3] = {kOpenArchiveExCall,
                writeCall(gameBase + kOpenArchiveExCall, reinterpret_cast<const void*>(&hookOpenArchiveEx))};
  results[4] = {kOpenArchiveCall,
                writeCall(gameBase + kOpenArchiveCall, reinterpret_cast<const void*>(&hookOpenArchive))};
  results[5] = {kVersionTextPointer, writeVersionText(gameBase, gLauncherVersionText)};
}

bool writeVersionText(DWORD gameBase, const char* text) {
  DWORD address = reinterpret_cast<DWORD>(text);
  return patch(reinterpret_cast<void*>(gameBase + kVersionTextPointer), &address, 4);
}
