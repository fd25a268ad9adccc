// The game's cursor and icon loads, through its import table.
#pragma once

// Each result is told apart from what the real user32 functions give for known resources.

#include "testbed/game/ReportWriter.h"

// cursor.* and icon.* lines (see README.md).
void reportCursorsAndIcons(ReportWriter& report);
