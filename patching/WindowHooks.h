// Replacements for the game module's user32 imports that give the game the mod's title, cursor and icon.
#pragma once

#include <windows.h>

// Each has the signature and convention of the user32 function it replaces and reaches that function
// through the launcher's own imports. They read gModName and gModIcon.
HWND WINAPI hookCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL WINAPI hookSetWindowTextA(HWND window, LPCSTR text);
HCURSOR WINAPI hookLoadCursorA(HINSTANCE instance, LPCSTR cursorName);
HANDLE WINAPI hookLoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
