// Start-up to GameMain: Corvane.exe with the sample mod (splash off) against the stand-in game's loader,
// GameLoader.exe, given the same mod work: it loads Game.dll, the mod's enabled add-on and its archives
// and the engine archive, at the launcher's priorities, and calls GameMain. Both run in the same game
// folder, alternately; GameMain's first act is to create "GameReport.txt", so the time from process
// creation until that file appears is the start-up, and the ratio is the launcher's own cost. Extra
// runs with the launcher's start-up trace and its clock give each phase in milliseconds.
#include "bench/BenchSupport.h"
#include "support/ChildProcess.h"
#include "support/WholeFile.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const char kReport[] = "GameReport.txt";
const char kTrace[] = "StartupTrace.txt";
// What the launcher loads and opens for the sample mod (its trace lists them): the enabled add-on, the
// three archives at their priorities, then the engine archive.
const char kModWork[] =
    ".\\mods\\Demo\\Addons\\DemoTools.dll .\\mods\\Demo\\Mpqs\\data.mpq=10 .\\mods\\Demo\\Mpqs\\patch.mpq=20 "
    ".\\mods\\Demo\\Mpqs\\music.mpq=21 Corvane.mpq=9";

std::string programFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, length);
  return self.substr(0, self.find_last_of('\\') + 1);
}

bool copy(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
  fprintf(stderr, "startup_bench: cannot copy %s\n", from.c_str());
  return false;
}

// The game folder: launcher, stand-ins, bare loader and the sample mod with its splash turned off.
bool layOut() {
  std::string bin = programFolder(), testbed = bin + "..\\testbed\\", demo = testbed + "mods\\Demo\\";
  bool ok = copy(bin + "Corvane.exe", "Corvane.exe") && copy(testbed + "Storm.dll", "Storm.dll") &&
            copy(testbed + "Corvane.mpq", "Corvane.mpq") && copy(testbed + "Game.dll", "Game.dll") &&
            copy(testbed + "GameLoader.exe", "GameLoader.exe");
  for (const char* folder : {"mods", "mods\\Demo", "mods\\Demo\\Addons", "mods\\Demo\\Mpqs"})
    CreateDirectoryA(folder, nullptr);
  for (const char* file : {"icon.ico", "logo.bmp", "Addons\\DemoTools.dll", "Addons\\DemoDisabled.dll",
                           "Mpqs\\data.mpq", "Mpqs\\patch.mpq", "Mpqs\\music.mpq"})
    ok = ok && copy(demo + file, std::string("mods\\Demo\\") + file);
  std::string manifest = readWholeFile((demo + "manifest.json").c_str());
  // "Preview" comes first in the sample manifest: its "Enable" is the first one.
  size_t enable = manifest.find("\"Enable\": true");
  if (!ok || enable == std::string::npos) return false;
  manifest.replace(enable, 14, "\"Enable\": false");
  writeText("mods\\Demo\\manifest.json", manifest);
  return true;
}

struct Run {
  double start;     // before CreateProcess
  double gameMain;  // GameReport.txt seen; 0 when it never appeared
  double end;
  DWORD exitCode;
};

Run runOnce(const std::string& program, const std::string& arguments, bool traced) {
  DeleteFileA(kReport);
  DeleteFileA("StormTrace.txt");
  DeleteFileA(kTrace);
  ChildOptions options;
  options.environment = {{"CORVANE_TRACE", traced ? kTrace : ""}, {"CORVANE_TRACE_CLOCK", traced ? "1" : ""}};
  char folder[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, folder);
  std::string command = "\"" + std::string(folder) + "\\" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  ChildProcess child;
  Run run = {nowMs(), 0, 0, 0};
  if (!child.start(command, options)) {
    fprintf(stderr, "startup_bench: %s\n", child.failure().c_str());
    return run;
  }
  while (child.withinLimit()) {
    if (GetFileAttributesA(kReport) != INVALID_FILE_ATTRIBUTES) {
      run.gameMain = nowMs();
      break;
    }
    if (child.waitFor(1)) break;
  }
  if (!child.finish()) printNote("start-up: " + child.failure());
  run.end = nowMs();
  run.exitCode = child.exitCode();
  return run;
}

// The trace's stamp (milliseconds) of the first or last line that starts with prefix; 0 if none.
double stampOf(const std::string& trace, const std::string& prefix, bool last) {
  double found = 0;
  size_t start = 0;
  while (start < trace.size()) {
    size_t end = trace.find('\n', start);
    if (end == std::string::npos) end = trace.size();
    std::string line = trace.substr(start, end - start);
    start = end + 1;
    size_t blank = line.find(' ');
    if (blank == std::string::npos || line.compare(blank + 1, prefix.size(), prefix) != 0) continue;
    found = atof(line.c_str()) / 1000.0;
    if (!last) break;
  }
  return found;
}

// Phase name -> milliseconds for one traced run; each step ends where its trace line was written.
std::vector<std::pair<std::string, double>> phasesOf(const Run& run, const std::string& trace) {
  double game = stampOf(trace, "game loaded", false), user32 = stampOf(trace, "imports user32.dll", false);
  double storm = stampOf(trace, "redirect #279", false), patches = stampOf(trace, "patch ", true);
  double settings = stampOf(trace, "settings ", false), manifest = stampOf(trace, "manifest ", false);
  double addons = stampOf(trace, "addon ", true), archives = stampOf(trace, "archive .\\mods", true);
  double display = stampOf(trace, "version ", true), races = stampOf(trace, "races ", false);
  double found = stampOf(trace, "GameMain found", false), engine = stampOf(trace, "archive Corvane.mpq", false);
  if (!addons) addons = manifest;
  if (!archives) archives = addons;
  if (!display) display = archives;
  return {
      {"process, static initialisation, Game.dll loaded", game - run.start},
      {"settings read (Open), Mods folder, redirector bound", user32 - game},
      {"import redirections (user32 x4, Storm #279)", storm - user32},
      {"launcher code patches (6 sites)", patches - storm},
      {"settings write-back", settings - patches},
      {"manifest read", manifest - settings},
      {"add-ons loaded", addons - manifest},
      {"archives opened", archives - addons},
      {"name, icon, version", display - archives},
      {"races published and patched", races - display},
      {"splash (off), GameMain looked up", found - races},
      {"engine archive opened", engine - found},
      {"GameMain called until its report appears", run.gameMain - engine},
      {"total to GameMain (traced run)", run.gameMain - run.start},
  };
}

}  // namespace

int main() {
  std::string scratch = makeScratch("startup");
  if (!layOut()) return 2;
  const int rounds = 5, tracedRounds = 3;
  std::vector<double> launcher, loader;
  bool reachedAll = true;
  runOnce("Corvane.exe", "-mod Demo", false);  // warms the file cache and writes the settings file once
  for (int round = 0; round < rounds; ++round) {
    Run corvane = runOnce("Corvane.exe", "-mod Demo", false);
    Run bare = runOnce("GameLoader.exe", kModWork, false);
    reachedAll = reachedAll && corvane.gameMain && bare.gameMain && corvane.exitCode == 1 && bare.exitCode == 0;
    launcher.push_back(corvane.gameMain - corvane.start);
    loader.push_back(bare.gameMain - bare.start);
  }
  std::map<std::string, std::vector<double>> phases;
  std::vector<std::string> order;
  for (int round = 0; round < tracedRounds; ++round) {
    Run traced = runOnce("Corvane.exe", "-mod Demo", true);
    reachedAll = reachedAll && traced.gameMain;
    for (const auto& phase : phasesOf(traced, readWholeFile(kTrace))) {
      if (phases.find(phase.first) == phases.end()) order.push_back(phase.first);
      phases[phase.first].push_back(phase.second);
    }
  }
  printResult("start-up to GameMain: Corvane.exe -mod Demo vs GameLoader.exe with the mod's work", median(launcher),
              median(loader), "ms", 1.15);
  for (const std::string& name : order) printf("phase\t%s\t%.1f\n", name.c_str(), median(phases[name]));
  if (!reachedAll) printNote("start-up: some run did not reach GameMain or ended with an unexpected exit code");
  removeScratch(scratch);
  return reachedAll ? 0 : 1;
}
