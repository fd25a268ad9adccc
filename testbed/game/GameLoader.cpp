// GameLoader.exe: loads Game.dll from the current folder, calls GameMain(module), releases it.

// Exit codes: 0 when GameMain was called, 2 when Game.dll did not load, 3 when it has no GameMain.
#include <windows.h>

#include <string>

int main() {
  char folder[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return 2;
  std::string path = std::string(folder) + "\\Game.dll";
  // The game's own imports (Storm.dll) are looked for next to it first, not next to this program.
  HMODULE game = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!game) return 2;
  auto gameMain = (BOOL(__stdcall*)(HMODULE))(void*)GetProcAddress(game, "GameMain");
  if (!gameMain) {
    FreeLibrary(game);
    return 3;
  }
  gameMain(game);
  FreeLibrary(game);
  return 0;
}
