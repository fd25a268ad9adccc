// The game's main window: created, retitled, read back, showing what the game read, destroyed.
#pragma once

#include "testbed/game/ReportWriter.h"
#include "testbed/game/Scene.h"

#include <windows.h>

// Registers the window class, creates the visible main window (an 800x600 client area) titled
// "Warcraft III" and retitles it, reporting window= and the title.* lines. Null when it could not be made.
HWND openWindow(ReportWriter& report, HINSTANCE game);
// Paints content, with the window's own title, and reports scene.archive.* and scene=shown. Asked
// through the environment, it also saves the client area as a bitmap (CORVANE_GAME_CAPTURE=FILE:
// scene.capture=) and keeps the window up until FILE exists, a minute at most (CORVANE_GAME_HOLD=FILE:
// scene.hold=).
void showScene(ReportWriter& report, HWND window, SceneContent content);
// Pumps messages until the window has been up for about 1.5 seconds, then destroys it.
void closeWindow(HWND window, HINSTANCE game);
