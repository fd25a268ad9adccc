// Running the launcher as a child process: folders, copies, and the warning boxes it raises.
#include "launcher/LaunchHarness.h"

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <windows.h>

const char* const kLaunchTrace = "LaunchTrace.txt";

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

  ChildOptions options;
  options.environment = {{"CORVANE_TRACE", traced ? kLaunchTrace : ""}};
  options.limitMs = 300000;   // one hung launch must not stall the whole program
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
  };
}

Lines launchLines(unsigned races, const std::string& splash) {
  return {
      "races " + std::to_string(races),
      "splash " + splash,
      "GameMain found",
      "archive Corvane.mpq 9 opened",
      "GameMain returned",
  };
}
