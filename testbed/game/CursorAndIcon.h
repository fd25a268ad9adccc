// The game's cursor and icon loads, through its import table, told apart from what the real user32
// functions give for the launcher's and the game's own resources.
#pragma once

#include "testbed/game/ReportWriter.h"

// cursor.* and icon.* lines (see README.md).
void reportCursorsAndIcons(ReportWriter& report);
