// GameMain, the stand-in game's entry: a short scripted game that writes "GameReport.txt".
#include "testbed/game/AddressInfo.h"
#include "testbed/game/Archives.h"
#include "testbed/game/CrashHandling.h"
#include "testbed/game/CursorAndIcon.h"
#include "testbed/game/ImportBinding.h"
#include "testbed/game/PatchSites.h"
#include "testbed/game/RaceCases.h"
#include "testbed/game/Report.h"
#include "testbed/game/SearchList.h"
#include "testbed/game/WindowScene.h"

#include <windows.h>

#include <cstring>

using namespace GameReport;

namespace {
std::string fileNameOf(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  const char* name = strrchr(path, '\\');
  return name ? name + 1 : path;
}

void reportModule(ReportWriter& report, HMODULE module) {
  HMODULE self = GetModuleHandleA("Game.dll");
  report.put("module", hex32((DWORD)module));
  report.put("module.self", hex32((DWORD)self));
  report.put("module.same", module == self ? "yes" : "no");
  report.put("exe", fileNameOf(nullptr));
  report.put("imports.user32", user32Binding());
  report.put("imports.storm", stormBinding());
}

// The game reads its version text through the pointer operand at 0x58BF7F.
std::string reportVersion(ReportWriter& report, HMODULE game) {
  DWORD text;
  memcpy(&text, (const char*)game + kVersionPointer, 4);
  report.put("version", textAt(text));
  report.put("version.src", sourceOf(text, game));
  return textAt(text);
}
}  // namespace

// The cdecl variant leaves its argument on the stack for the caller to remove.
#ifdef GAME_MAIN_CDECL
#define GAME_MAIN_CONVENTION __cdecl
#else
#define GAME_MAIN_CONVENTION __stdcall
#endif

// __stdcall (or __cdecl), one argument: the game module's own handle. TRUE when the whole script ran.
extern "C" BOOL GAME_MAIN_CONVENTION GameMain(HMODULE module) {
  ReportWriter report;
  if (!report.open(kFileName)) return FALSE;
  installGameFilter();
  size_t launcherCalls = traceLines();  // the archive library's calls so far were the launcher's
  report.put("report", "Corvane stand-in game");
  reportModule(report, module);
  reportPatchSites(report, module);
  SceneContent scene;
  scene.version = reportVersion(report, module);

  HWND window = nullptr;
  GamePictures pictures;
  if (bindUser32()) {
    window = openWindow(report, module);
    pictures = reportCursorsAndIcons(report);
  } else {
    report.put("window", "no user32");
  }

  GameArchives archives;
  openArchives(report, archives);
  requestFiles(report);
  scene.races = reportRaces(report, module);

  if (window) {
    scene.icon = pictures.icon;
    scene.cursor = pictures.cursor;
    scene.archives = searchList(launcherCalls);
    showScene(report, window, scene);
    closeWindow(window, module);
  }
  if (pictures.icon) DestroyIcon(pictures.icon);
  closeArchives(report, archives);
  report.put("end", "ok");
  return TRUE;
}
