// Running the launcher as a child process: folders, copies, and the warning boxes it raises.
#include "launcher/LaunchHarness.h"

#include "support/ChildProcess.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

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
  std::error_code error;
  std::filesystem::create_directories(hostPath(path), error);
}

void copyInto(const std::string& source, const std::string& path) {
  copyTree(source, path);
}

// One entry of a game folder, "PATH=BYTES" or "PATH<SOURCE".
static void place(const std::string& entry) {
  size_t split = entry.find_first_of("=<");
  ASSERT_NE(split, std::string::npos) << "not a game folder entry: " << entry;
  const std::string path = entry.substr(0, split), rest = entry.substr(split + 1);
  if (entry[split] == '=') writeFile(path, rest);
  else if (!rest.empty()) copyTree(binFolder() + "..\\" + rest, path);
}

void layOut(const GameFolder& folder) {
  for (std::string standard : {"Corvane.exe<bin\\Corvane.exe", "Storm.dll<testbed\\Storm.dll",
                               "Corvane.mpq<testbed\\Corvane.mpq", "Game.dll<testbed\\Game.dll"}) {
    const std::string path = standard.substr(0, standard.find('<'));
    auto named = [&](const std::string& entry) { return entry.substr(0, entry.find_first_of("=<")) == path; };
    if (std::none_of(folder.begin(), folder.end(), named)) place(standard);
  }
  for (const std::string& entry : folder) place(entry);
}

std::string manifestEntry(const std::string& mod, const std::string& manifest) {
  return "mods\\" + mod + "\\manifest.json=" + manifest;
}

std::string addonEntry(const std::string& mod, const std::string& name, const std::string& dll) {
  return "mods\\" + mod + "\\Addons\\" + name + ".dll<bin\\" + dll;
}

std::string archiveEntry(const std::string& mod, const std::string& name, const std::string& from) {
  return "mods\\" + mod + "\\Mpqs\\" + name + ".mpq<testbed\\mods\\Demo\\Mpqs\\" + from + ".mpq";
}

void layOutGame(const std::string& gameModule) {
  layOut({"Game.dll<" + (gameModule.empty() ? "" : "testbed\\" + gameModule)});
}

void writeMod(const std::string& name, const char* manifest) {
  if (manifest) writeFile("mods\\" + name + "\\manifest.json", manifest);
  else makeFolders("mods\\" + name);
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
  EXPECT_FALSE(IsWindow(box)) << "the warning box \"" << read.text << "\" was still open after 20 s of OK";
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

// The text of a report value up to its first blank ("HUMAN src=exe at=..." gives HUMAN).
static std::string firstWord(const std::string& value) {
  return value.substr(0, value.find(' '));
}

void LaunchFixture::addAddon(const std::string& mod, const std::string& name, const char* dll) {
  place(addonEntry(mod, name, dll));
}

void LaunchFixture::addArchive(const std::string& mod, const std::string& name, const std::string& from) {
  place(archiveEntry(mod, name, from));
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

std::string LaunchFixture::races(Report& game) {
  std::string races;
  for (int i = 1; i <= atoi(game["race.count"].c_str()); ++i) {
    const std::string skin = "race.skin." + std::to_string(i), key = "race.key." + std::to_string(i);
    if (game.count(skin) && game.count(key))
      races += (races.empty() ? "" : ", ") + firstWord(game[skin]) + " " + firstWord(game[key]);
  }
  return races;
}

void LaunchFixture::expectRaces(Report& game, const Lines& skins, const Lines& keys) {
  std::string expected;
  for (size_t i = 0; i < skins.size() && i < keys.size(); ++i) expected += (i ? ", " : "") + skins[i] + " " + keys[i];
  EXPECT_EQ(races(game), expected);
}
