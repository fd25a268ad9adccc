// The game's cursor and icon loads, through its import table.
#pragma once

// Each result is told apart from what the real user32 functions give for known resources.

#include "testbed/game/ReportWriter.h"

#include <windows.h>

// What the game went on with: its icon and cursor as it loaded them through its imports.
struct GamePictures {
  HICON icon = nullptr;      // war3x.ico, 32x32; the caller destroys it
  HCURSOR cursor = nullptr;  // BlizzardCursor.cur (shared)
};

// cursor.* and icon.* lines (see README.md).
GamePictures reportCursorsAndIcons(ReportWriter& report);
