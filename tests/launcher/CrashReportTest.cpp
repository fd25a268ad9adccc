// The crash report end to end: CrashTest.dll crashes a launch of Corvane.exe as -crash asks; the report
// in Crashes\ names the culprit, its minidump holds the crash, and the game's own filter still ran.
#include "launcher/LaunchHarness.h"

#include <windows.h>

#include <ctime>
#include <regex>

namespace {

enum class Folder { fresh, secondsTaken, notWritable };

// In expected lines "%" stands for the offset of the row's CrashTest.dll export (it faults at its first
// instruction), "#" for a hex number and "*" for any text.
struct CrashCase {
  const char* arguments;  // after -mod Crash -crash
  const char* site;
  Folder folder;
  const char* firstLine;  // of the report; null: no report
  const char* fact;       // another line it holds
  const char* filter;     // the game's filter's crash.filter line, "" when it must not have run
};

#define IN_ADDON "CrashTest.dll (an add-on of the mod Crash) at CrashTest.dll+0x"
const char kWrite10[] = "The game crashed in " IN_ADDON "%: access violation writing 0x00000010";
const char kDump[] = "Minidump: crash-#-#.dmp";

const CrashCase kCases[] = {
    {"game", "", Folder::secondsTaken,
     "The game crashed in Game.dll (the game) at Game.dll+0x2000: access violation writing 0x00000008",
     "  add-on .\\mods\\Crash\\Addons\\CrashTest.dll: loaded at #, no version, *", "C0000005"},
    {"callback", "faultWriting", Folder::fresh, kWrite10, "  # Game.dll+0x#*", "C0000005"},
    {"thread", "faultReading", Folder::fresh, "The game crashed in " IN_ADDON "%: access violation reading 0x0000000C",
     "Thread: # (not the start-up thread)", "C0000005"},
    {"overflow", "exhaustStack", Folder::fresh, "The game crashed in " IN_ADDON "%: stack overflow",
     "Exception: 0xC00000FD stack overflow, at CrashTest.dll+0x%", "C00000FD"},
    {"export", "", Folder::fresh,
     "The game crashed in Corvane.exe (Corvane itself) at Corvane.exe+0x#: access violation reading 0x00000010, "
     "in its exported function SObject_Exp::GetInt (?GetInt@SObject_Exp@@QAEHXZ), called by " IN_ADDON "#",
     "  00400000 #, version 2.0.0.1, no time stamp, *\\Corvane.exe", "C0000005"},
    {"throw", "", Folder::fresh,
     "The game crashed in * (a system DLL) at *: C++ exception CrashTestError, likely caused by " IN_ADDON "#",
     "Exception: 0xE06D7363 C++ exception CrashTestError, at *", "E06D7363"},
    {"callback", "faultWriting", Folder::notWritable,
     "This report is in *\\Local\\Corvane\\Crashes because the game folder * cannot be written.", kWrite10, "C0000005"},
    {"callback -addonfilter load", "faultWriting", Folder::fresh, kWrite10, kDump, "C0000005"},
    {"callback -addonfilter later", "faultWriting", Folder::fresh, kWrite10, kDump, ""},
    {"caught", "", Folder::fresh, nullptr, nullptr, ""},
    {"callback -nocrashreport", "", Folder::fresh, nullptr, nullptr, "C0000005"},
};

// The offset of a CrashTest.dll export, in hex.
std::string siteOf(const char* name) {
  HMODULE image = LoadLibraryExA((testbedFolder() + "CrashTest.dll").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  FARPROC site = image ? GetProcAddress(image, name) : nullptr;
  char offset[16] = "<no export>";
  if (site) snprintf(offset, sizeof offset, "%lX", static_cast<unsigned long>((DWORD)site - (DWORD)image));
  if (image) FreeLibrary(image);
  return offset;
}

bool matches(const std::string& line, const char* pattern, const std::string& site) {
  std::string expression;
  for (const char* c = pattern; *c; ++c) {
    if (*c == '%') expression += site;
    else if (*c == '#') expression += "[0-9A-F]+";
    else if (*c == '*') expression += ".*";
    else expression += std::string(strchr(".()+?[]{}|^$\\", *c) ? "\\" : "") + *c;
  }
  return std::regex_match(line, std::regex(expression));
}

// The thread and code of the minidump's exception stream (type 6).
std::string dumpedException(const std::string& dump) {
  auto word = [&](size_t at) { return at + 4 <= dump.size() ? *reinterpret_cast<const DWORD*>(&dump[at]) : 0ul; };
  char text[32] = "no exception stream";
  for (DWORD i = 0, entry = word(12); i < word(8) && dump.compare(0, 4, "MDMP") == 0; ++i, entry += 12)
    if (word(entry) == 6) snprintf(text, sizeof text, "%lu %08lX", word(word(entry + 8)), word(word(entry + 8) + 8));
  return text;
}

// The report's name for the local time plus seconds.
std::string stamp(int seconds) {
  time_t when = time(nullptr) + seconds;
  char text[32];
  strftime(text, sizeof text, "crash-%Y%m%d-%H%M%S", localtime(&when));
  return text;
}

TEST_F(LaunchFixture, CrashReportNamesTheCulpritAndTheGameFilterStillRuns) {
  layOutGame();
  writeMod("Crash", R"({"Addons": [{"Name": "CrashTest", "Enable": true}], "Preview": {"Enable": false}})");
  copyInto(testbedFolder() + "CrashTest.dll", "mods\\Crash\\Addons\\CrashTest.dll");
  CreateDirectoryA("Local", nullptr);  // the children's %LOCALAPPDATA%
  char localAppData[MAX_PATH] = "";
  GetEnvironmentVariableA("LOCALAPPDATA", localAppData, MAX_PATH);
  SetEnvironmentVariableA("LOCALAPPDATA", (folder + "\\Local").c_str());
  for (const CrashCase& c : kCases) {
    SCOPED_TRACE(c.arguments);
    removeTree("Crashes");
    std::string site = c.site[0] ? siteOf(c.site) : "", text, code;
    std::string reports = c.folder == Folder::notWritable ? "Local\\Corvane\\Crashes" : "Crashes";
    if (c.folder == Folder::notWritable) writeFile("Crashes", "a file where the folder would go");
    if (c.folder == Folder::secondsTaken) CreateDirectoryA("Crashes", nullptr);
    for (int second = -1; c.folder == Folder::secondsTaken && second < 90; ++second)
      writeFile("Crashes\\" + stamp(second) + ".txt", "taken");
    launch(std::string("-mod Crash -crash ") + c.arguments);
    Report game = report();
    EXPECT_EQ(game.count("crash.filter") ? game["crash.filter"] : "", c.filter);
    if (!c.firstLine) {
      EXPECT_FALSE(folderExists("Crashes"));
      EXPECT_EQ(game["end"], c.filter[0] ? "" : "ok");
      continue;
    }
    for (const std::string& name : namesIn(reports))
      if (name.find(".txt") != std::string::npos && readFile(reports + "\\" + name) != "taken") text = name;
    const char* name = c.folder == Folder::secondsTaken ? R"(crash-\d{8}-\d{6}-2\.txt)" : R"(crash-\d{8}-\d{6}\.txt)";
    ASSERT_TRUE(std::regex_match(text, std::regex(name))) << text;  // a name taken in that second gets -2
    std::string stem = reports + "\\" + text.substr(0, text.size() - 4), thread;
    Lines lines = linesOf(readFile(stem + ".txt"));
    std::string first = lines.empty() ? "<an empty report>" : lines[0];
    EXPECT_TRUE(matches(first, c.firstLine, site)) << first;
    size_t facts = 0;
    for (const std::string& line : lines) {
      facts += matches(line, c.fact, site);
      if (line.compare(0, 8, "Thread: ") == 0) thread = line.substr(8, line.find(' ', 8) - 8);
      if (line.compare(0, 13, "Exception: 0x") == 0) code = line.substr(13, 8);
    }
    EXPECT_EQ(facts, 1u) << c.fact;
    // Under qemu's user-mode emulator, Wine suspending the sleeping start-up thread for the minidump can
    // end the process (the emulator's threads share one descriptor table): the thread row's dump is
    // checked where 32-bit code runs natively.
    if (strcmp(c.arguments, "thread") == 0 && getenv("CORVANE_EMULATED")) continue;
    EXPECT_EQ(dumpedException(readFile(stem + ".dmp")), thread + " " + code) << readFile(stem + ".txt");
  }
  SetEnvironmentVariableA("LOCALAPPDATA", localAppData[0] ? localAppData : nullptr);
}

}  // namespace
