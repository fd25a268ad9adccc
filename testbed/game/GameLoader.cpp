// GameLoader.exe [ADD-ON.dll | ARCHIVE=PRIORITY]...: loads Game.dll from the current folder, then, in
// the order given, the add-ons and the archives (through Storm.dll, which Game.dll brought), as the
// launcher loads a mod's (the start-up benchmark's baseline does the mod's work too), calls
// GameMain(module) and releases the game module.
// Exit codes: 0 when GameMain was called, 2 when Game.dll did not load, 3 when it has no GameMain.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  char folder[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return 2;
  std::string path = std::string(folder) + "\\Game.dll";
  // The game's own imports (Storm.dll) are looked for next to it first, not next to this program.
  HMODULE game = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!game) return 2;
  auto openArchive = (BOOL(__stdcall*)(const char*, DWORD, DWORD, HANDLE*))(void*)GetProcAddress(
      GetModuleHandleA("Storm.dll"), MAKEINTRESOURCEA(266));
  for (int i = 1; i < argc; ++i) {
    const char* priority = strrchr(argv[i], '=');
    HANDLE archive = nullptr;
    if (!priority) LoadLibraryA(argv[i]);
    else if (openArchive)
      openArchive(std::string(argv[i], priority - argv[i]).c_str(), atoi(priority + 1), 0, &archive);
  }
  auto gameMain = (BOOL(__stdcall*)(HMODULE))(void*)GetProcAddress(game, "GameMain");
  if (!gameMain) {
    FreeLibrary(game);
    return 3;
  }
  gameMain(game);
  FreeLibrary(game);
  return 0;
}
