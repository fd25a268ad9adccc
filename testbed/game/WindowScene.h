// The game's main window: created, retitled, read back, kept on screen for a moment, destroyed.
#pragma once

#include "testbed/game/ReportWriter.h"

#include <windows.h>

// Registers the window class, creates the visible 800x600 main window titled "Warcraft III" and
// retitles it, reporting window= and the title.* lines. Null when the window could not be made.
HWND openWindow(ReportWriter& report, HINSTANCE game);
// Pumps messages until the window has been up for about 1.5 seconds, then destroys it.
void closeWindow(HWND window, HINSTANCE game);
