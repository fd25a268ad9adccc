// Window, cursor and icon hooks: the game's own title, cursor and icon are swapped for the mod's.
#include "patching/WindowHooks.h"

#include "patching/HookGlobals.h"
#include "resources/ResourceNames.h"

#include <cstdio>
#include <cstring>

static const char kGameTitle[] = "warcraft iii";
static const char kGameCursor[] = "blizzardcursor.cur";
static const char kGameIcon[] = "war3x.ico";
static const char kLauncherCursor[] = CORVANE_CURSOR;
static const char kLauncherIcon[] = CORVANE_ICON;

// Null and integer resource identifiers (below 0x10000) are not text and never match.
static bool isText(LPCSTR value) {
  return !IS_INTRESOURCE(value);
}

static bool namesMatch(LPCSTR value, const char* literal) {
  return isText(value) && _stricmp(value, literal) == 0;
}

HWND WINAPI hookCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (namesMatch(windowName, kGameTitle)) windowName = gModName;
  return CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}

BOOL WINAPI hookSetWindowTextA(HWND window, LPCSTR text) {
  if (namesMatch(text, kGameTitle)) text = gModName;
  return SetWindowTextA(window, text);
}

// The caller's instance is kept: the launcher's cursor is found when the game passes the executable.
HCURSOR WINAPI hookLoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  if (namesMatch(cursorName, kGameCursor)) cursorName = kLauncherCursor;
  return LoadCursorA(instance, cursorName);
}

static bool fileReadable(const char* path) {
  FILE* file = fopen(path, "r");
  if (!file) return false;
  fclose(file);
  return true;
}

HANDLE WINAPI hookLoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
  if (!namesMatch(name, kGameIcon)) return LoadImageA(instance, name, type, width, height, flags);
  if (gModIcon && _stricmp(gModIcon, kLauncherIcon) == 0)
    return LoadImageA(instance, gModIcon, type, width, height, flags);
  // A mod icon comes from its file at the system's default icon size.
  if (gModIcon && fileReadable(gModIcon))
    return LoadImageA(nullptr, gModIcon, IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE);
  return LoadImageA(instance, kLauncherIcon, type, width, height, flags);
}
