// The hand-over to the game: races published and patched in, splash, engine archive, GameMain.
#include "launcher/EngineState.h"

#include "Storm.h"
#include "launcher/Globals.h"
#include "launcher/ModPlan.h"
#include "launcher/Splash.h"
#include "launcher/Trace.h"
#include "patching/RacePatches.h"

static const char* const kStandardSkins[] = {"Human", "Orc", "Undead", "NightElf"};
static const char* const kStandardKeys[] = {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"};
static_assert(sizeof kStandardSkins == sizeof kStandardKeys, "one race key per skin");

// Calls the game's entry with one argument. ESP is saved in a callee-saved register and put back, so
// the stack is right whether the entry removes its argument (stdcall) or leaves it (cdecl).
static void callGameMain(FARPROC gameMain, HMODULE module) {
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl %[module]\n\t"
      "call *%[entry]\n\t"
      "movl %%esi, %%esp"
      :
      : [entry] "r"(gameMain), [module] "r"(module)
      : "eax", "ecx", "edx", "esi", "memory", "cc");
}

void EngineState::launchGame() {
  if (!gameModule) {
    trace("launch skipped");
    return;
  }
  if (raceSkins.empty() && raceKeys.empty()) {
    raceSkins.assign(kStandardSkins, kStandardSkins + 4);
    raceKeys.assign(kStandardKeys, kStandardKeys + 4);
  }
  gRaceSkins = raceSkins;
  gRaceKeys = raceKeys;
  installRacePatches();
  trace("races %u", static_cast<unsigned>(gRaceSkins.size()));
  if (previewEnabled) {
    trace("splash %s", previewLogo ? previewLogo : "built-in");
    showSplash(previewLogo, previewInfo);
  } else {
    trace("splash off");
  }
  FARPROC gameMain = GetProcAddress(gameModule, "GameMain");
  trace("GameMain %s", gameMain ? "found" : "missing");
  if (!gameMain) return;
  HANDLE archive = nullptr;
  bool opened = Storm::OpenArchive(kEngineArchive, kEngineArchivePriority, 0, &archive);
  trace("archive %s %u %s", kEngineArchive, kEngineArchivePriority, opened ? "opened" : "failed");
  callGameMain(gameMain, gameModule);
  trace("GameMain returned");
  FreeLibrary(gameModule);
}
