// The launcher's own code patches in the game module: two NOP runs, the archive-open calls and the
// version text pointer.
#pragma once

#include <windows.h>

// The launcher's version text, whose address the game module shows unless the mod names its own.
extern const char gLauncherVersionText[];

// One patch site (offset from the game module's base) and whether all of its bytes were written.
struct PatchSiteResult {
  DWORD offset;
  bool written;
};

const unsigned kLauncherPatchSites = 6;

// Writes every site in ascending order of application; a failed site is left as it was and the next
// one is still tried. Fills one result per site, in that order.
void installLauncherPatches(DWORD gameBase, PatchSiteResult (&results)[kLauncherPatchSites]);

// Writes the address of text into the game module's version text pointer; true when all four bytes
// were written. text must stay valid for as long as the game runs.
bool writeVersionText(DWORD gameBase, const char* text);
