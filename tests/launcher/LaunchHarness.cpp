// Running the launcher as a child process: folders, copies, and the warning boxes it raises.
#include "launcher/LaunchHarness.h"

#include "support/ChildProcess.h"
#include "testbed/game/Report.h"

#include <windows.h>

void layOutGame(const std::string& gameModule) {
  const std::pair<const char*, std::string> standard[] = {{"Corvane.exe", "bin\\Corvane.exe"},
                                                          {"Storm.dll", "testbed\\Storm.dll"},
                                                          {"Corvane.mpq", "testbed\\Corvane.mpq"},
                                                          {"Game.dll", "testbed\\" + gameModule}};
  for (const auto& [path, source] : standard)
    if (!fileExists(path) && !(path == std::string("Game.dll") && gameModule.empty()))
      copyTree(binFolder() + "..\\" + source, path);
}

void writeMod(const std::string& name, const char* manifest) {
  if (manifest) writeFile("mods\\" + name + "\\manifest.json", manifest);
  else std::filesystem::create_directories(hostPath("mods\\" + name));
}

void copyInto(const std::string& source, const std::string& path) {
  copyTree(source, path);
}

static std::string windowText(HWND window) {
  char text[1024];
  int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

static std::string readAndDismiss(HWND box) {
  std::string read = windowText(box) + (GetWindow(box, GW_OWNER) ? " (owned)" : "") +
                     (GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) ? "" : " (not OK only)") + ": ";
  for (HWND text = nullptr; (text = FindWindowExA(box, text, "Static", nullptr));) read += windowText(text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  for (int round = 0; round < 1000 && IsWindow(box); ++round) Sleep(20);
  EXPECT_FALSE(IsWindow(box)) << "the warning box \"" << read << "\" was still open after 20 s of OK";
  return read;
}

LaunchResult launch(const std::string& arguments, bool traced) {
  for (const char* file : {"LaunchTrace.txt", "StormTrace.txt", GameReport::kFileName}) DeleteFileA(file);
  ChildOptions options;
  options.environment = {{"CORVANE_TRACE", traced ? "LaunchTrace.txt" : ""}};
  char folder[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, folder);
  ChildProcess launcher;
  EXPECT_TRUE(launcher.start(
      "\"" + std::string(folder) + "\\Corvane.exe\"" + (arguments.empty() ? "" : " ") + arguments, options))
      << launcher.failure();
  auto ours = [&](HWND box) {
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    return owner == launcher.id() && IsWindowVisible(box);
  };
  LaunchResult result = {false, 0, {}};
  result.ended = launcher.finish([&] {
    HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr);
    while (box && !ours(box)) box = FindWindowExA(nullptr, box, "#32770", nullptr);
    if (box) result.boxes.push_back(readAndDismiss(box));
  });
  EXPECT_TRUE(result.ended) << launcher.failure();
  result.exitCode = launcher.exitCode();
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

Lines LaunchFixture::trace() {
  return linesOf(readFile("LaunchTrace.txt"));
}

Lines LaunchFixture::stormTrace() {
  return linesOf(readFile("StormTrace.txt"));
}

LaunchFixture::Report LaunchFixture::report() {
  return GameReport::parse(readFile(GameReport::kFileName));
}
