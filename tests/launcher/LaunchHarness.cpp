// Running the launcher as a child process: folders, copies, and the warning boxes it raises.
#include "launcher/LaunchHarness.h"

#include "support/ChildProcess.h"
#include "testbed/game/Report.h"

#include <windows.h>

const char* const kLaunchTrace = "LaunchTrace.txt";
const char* const kDefaultVersion = "Corvane (Version 2.0.0 Build 1)";

std::string binFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string testbedFolder() {
  return binFolder() + "..\\testbed\\";
}

void makeFolders(const std::string& path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

void copyInto(const std::string& source, const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos) makeFolders(path.substr(0, slash));
  ASSERT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << source << " -> " << path;
}

void layOutGame(const std::string& gameModule) {
  copyInto(binFolder() + "Corvane.exe", "Corvane.exe");
  copyInto(testbedFolder() + "Storm.dll", "Storm.dll");
  copyInto(testbedFolder() + "Corvane.mpq", "Corvane.mpq");
  if (!gameModule.empty()) copyInto(testbedFolder() + gameModule, "Game.dll");
}

void writeMod(const std::string& name, const char* manifest) {
  makeFolders("mods\\" + name);
  if (manifest) writeFile("mods\\" + name + "\\manifest.json", manifest);
}

static std::string windowText(HWND window) {
  char text[1024];
  int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

static std::string className(HWND window) {
  char name[256];
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

struct BoxSearch {
  DWORD process;
  HWND found;
};

static BOOL CALLBACK findBox(HWND window, LPARAM parameter) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || className(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The box's message: its one static control that carries text.
static BOOL CALLBACK collectText(HWND child, LPARAM parameter) {
  std::string* text = reinterpret_cast<std::string*>(parameter);
  std::string piece = windowText(child);
  if (className(child) == "Static" && !piece.empty()) *text += piece;
  return TRUE;
}

static WarningBox readAndDismiss(HWND box) {
  WarningBox read;
  read.caption = windowText(box);
  EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&read.text));
  read.owned = GetWindow(box, GW_OWNER) != nullptr;
  read.okOnly = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  for (int round = 0; round < 1000 && IsWindow(box); ++round) Sleep(20);
  return read;
}

LaunchResult launch(const std::string& arguments, bool traced) {
  LaunchResult result = {false, 0, {}};
  char folder[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, folder);
  std::string commandLine = "\"" + std::string(folder) + "\\Corvane.exe\"";
  if (!arguments.empty()) commandLine += " " + arguments;

  // Each launch's traces and report are its own.
  for (const char* file : {kLaunchTrace, "StormTrace.txt", GameReport::kFileName}) DeleteFileA(file);
  ChildOptions options;
  options.environment = {{"CORVANE_TRACE", traced ? kLaunchTrace : ""}};
  options.limitMs = 300000;  // one hung launch must not stall the whole program
  ChildProcess launcher;
  EXPECT_TRUE(launcher.start(commandLine, options)) << launcher.failure();
  result.ended = launcher.finish([&] {
    BoxSearch search = {launcher.id(), nullptr};
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) result.boxes.push_back(readAndDismiss(search.found));
  });
  result.exitCode = launcher.exitCode();
  EXPECT_TRUE(result.ended) << launcher.failure();
  return result;
}

std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : linesOf(text))
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  return found;
}

Lines operator+(Lines first, const Lines& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::string addonResultsProblems(const std::string& path, size_t checks) {
  Lines lines = linesOf(readFile(path));
  if (lines.empty()) return "the add-on wrote no results";
  std::string problems;
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i].compare(0, 3, "ok ") != 0) problems += lines[i] + "\n";
  std::string end = "end " + std::to_string(checks);
  if (lines.size() != checks + 1 || lines.back() != end)
    problems += lines.back() + " after " + std::to_string(lines.size() - 1) + " lines, not " + end + "\n";
  return problems;
}

std::string lineAt(const Lines& lines, size_t index) {
  if (index < lines.size()) return lines[index];
  return "<no line " + std::to_string(index) + ": " + std::to_string(lines.size()) + " lines>";
}

Lines startupLines(bool warnings) {
  return {
      "game loaded",
      "imports user32.dll 0",
      "redirect CreateWindowExA 0",
      "redirect SetWindowTextA 0",
      "redirect LoadCursorA 0",
      "redirect LoadImageA 0",
      "imports Storm.dll 0",
      "redirect #279 0",
      "patch 0x4E3BFA written",
      "patch 0x4E3BFC written",
      "patch 0x59B3E4 written",
      "patch 0xE5F0 written",
      "patch 0xE5FF written",
      "patch 0x58BF7F written",
      warnings ? "settings ShowMpqMessage on" : "settings ShowMpqMessage off",
      "crash report armed",
  };
}

Lines launchLines(unsigned races, const std::string& splash) {
  return {
      "races " + std::to_string(races), "splash " + splash,  "GameMain found",
      "archive Corvane.mpq 9 opened",   "GameMain returned",
  };
}

Lines manifestLine(const std::string& mod, const char* outcome) {
  return {"manifest .\\mods\\" + mod + "\\manifest.json " + outcome};
}

std::string mpqLine(const std::string& path, unsigned priority, const std::string& outcome) {
  return "266 OpenArchive \"" + path + "\" priority=" + std::to_string(priority) + " flags=0 -> " + outcome;
}

std::string firstWord(const std::string& value) {
  return value.substr(0, value.find(' '));
}

void LaunchFixture::addAddon(const std::string& mod, const std::string& name, const char* dll) {
  copyInto(binFolder() + dll, mods(mod + "\\Addons\\" + name + ".dll"));
}

void LaunchFixture::addArchive(const std::string& mod, const std::string& name, const std::string& from) {
  copyInto(testbedFolder() + "mods\\Demo\\Mpqs\\" + from + ".mpq", mods(mod + "\\Mpqs\\" + name + ".mpq"));
}

Lines LaunchFixture::trace() {
  return linesOf(readFile(kLaunchTrace));
}

Lines LaunchFixture::stormTrace() {
  return linesOf(readFile("StormTrace.txt"));
}

Lines LaunchFixture::launcherStormLines() {
  Lines lines;
  for (const std::string& line : stormTrace()) {
    if (line.compare(0, 4, "293 ") == 0) break;
    lines.push_back(line);
  }
  return lines;
}

LaunchFixture::Report LaunchFixture::report() {
  return GameReport::parse(readFile(GameReport::kFileName));
}

void LaunchFixture::expectRaces(Report& game, const Lines& skins, const Lines& keys) {
  EXPECT_EQ(game["race.count"], std::to_string(skins.size()));
  for (size_t i = 0; i < skins.size(); ++i) {
    EXPECT_EQ(firstWord(game["race.skin." + std::to_string(i + 1)]), skins[i]) << "race " << i + 1;
    EXPECT_EQ(firstWord(game["race.key." + std::to_string(i + 1)]), lineAt(keys, i)) << "race " << i + 1;
  }
}

void LaunchFixture::expectStandardRaces(Report& game) {
  expectRaces(game, {"Human", "Orc", "Undead", "NightElf"}, {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"});
}
