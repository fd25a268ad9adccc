// The hooks in one process: window titles, cursors and icons (the program carries the launcher's
// resources), the archive hooks against the stand-in Storm.dll (threads at once included), and the
// launcher's patch sites in a fake game with one site that cannot be written.
#include "patching/HookGlobals.h"
#include "patching/ArchiveHooks.h"
#include "patching/LauncherPatches.h"
#include "patching/PatchWriters.h"
#include "patching/TestPages.h"
#include "patching/WindowHooks.h"
#include "services/StormImports.h"
#include "support/TempFolder.h"
#include "support/TextLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string titleOf(HWND window) {
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// "null", or the icon's width in pixels.
std::string widthOf(HANDLE icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(static_cast<HICON>(icon), &info)) return "null";
  BITMAP colour = {};
  GetObjectA(info.hbmColor, sizeof colour, &colour);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(static_cast<HICON>(icon));
  return std::to_string(colour.bmWidth);
}

// Only the game's own names, in any letter case and without a trailing blank, are replaced. The class
// name is never compared; the caller's module is kept for the cursor.
TEST(WindowHooks, OnlyTheGamesOwnNamesAreReplaced) {
  gModName = "Mod Title";
  const std::pair<const char*, const char*> titles[] = {{"warcraft iii", "Mod Title"},
                                                        {"WarCraft III", "Mod Title"},
                                                        {"Warcraft III ", "Warcraft III "},
                                                        {"Warcraft", "Warcraft"},
                                                        {nullptr, ""}};
  for (const auto& title : titles) {
    SCOPED_TRACE(title.first ? title.first : "null");
    HWND window =
        hookCreateWindowExA(0, "Static", title.first, WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(titleOf(window), title.second);
    SetWindowTextA(window, "before");
    EXPECT_TRUE(hookSetWindowTextA(window, title.first));
    EXPECT_EQ(titleOf(window), title.second);
    DestroyWindow(window);
  }
  gModName = nullptr;

  HINSTANCE exe = GetModuleHandleA(nullptr);
  const HCURSOR launcher = LoadCursorA(exe, "CorvaneCursor.cur"), arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(launcher, nullptr);
  const struct {
    HINSTANCE instance;
    const char* name;
    HCURSOR cursor;
  } cursors[] = {{exe, "blizzardcursor.cur", launcher},
                 {exe, "BlizzardCursor.CUR", launcher},
                 {exe, "BlizzardCursor.cur ", nullptr},
                 {nullptr, "BlizzardCursor.cur", nullptr},
                 {nullptr, IDC_ARROW, arrow}};
  for (size_t i = 0; i < sizeof cursors / sizeof cursors[0]; ++i)
    EXPECT_EQ(hookLoadCursorA(cursors[i].instance, cursors[i].name), cursors[i].cursor) << "cursor row " << i;

  // "war3x.ico": the launcher's icon at the caller's size without a mod icon or when its file is
  // missing, else the file's at the default size.
  const std::string modIcon = testbedFolder() + "mods\\Demo\\icon.ico";
  const struct {
    const char* modIcon;
    const char* name;
    const char* width;
  } icons[] = {{"Corvane.ico", "war3x.ico", "16"},    {"Corvane.ico", "WAR3X.ICO", "16"},
               {"Corvane.ico", "war3x.ico ", "null"}, {modIcon.c_str(), "War3x.ico", "32"},
               {"absent.ico", "war3x.ico", "16"},     {modIcon.c_str(), "war3.ico", "null"}};
  for (const auto& c : icons) {
    gModIcon = c.modIcon;
    EXPECT_EQ(widthOf(hookLoadImageA(exe, c.name, IMAGE_ICON, 16, 16, 0)), c.width) << c.modIcon << ", " << c.name;
  }
  gModIcon = nullptr;
}

const char kIconRequest[] = "UI\\Widgets\\Glues\\icon-map-test.blp";  // in War3.mpq under this name
const char kDataIcon[] = "BLP1 data.mpq war3mapIcon.blp\n";
const char kWar3xIcon[] = "BLP1 War3x.mpq war3mapIcon.blp\n";
const char kWar3Picture[] = "BLP1 War3.mpq icon-map-test.blp\n";

// Opens name through the hook of the game's extended or plain archive open, closes it again and gives
// the hook's result.
DWORD openThroughHook(const char* name, bool extended) {
  HANDLE archive = nullptr;
  DWORD opened =
      extended ? hookOpenArchiveEx(0, name, 2, 0, addressOf(&archive)) : hookOpenArchive(name, 3, 0, &archive);
  if (archive) stormCloseArchive(archive);
  return opened;
}

// A file request through the hook: its result, and the text it gave ("" for none), whose buffer goes
// back to the library.
std::pair<DWORD, std::string> requestThroughHook(const char* name, DWORD extra = 0) {
  void* buffer = nullptr;
  DWORD size = 0;
  DWORD result = hookFileRequest(name, addressOf(&buffer), addressOf(&size), extra, 0);
  std::string text = buffer ? std::string(static_cast<const char*>(buffer), size) : "";
  FARPROC unloadFile = GetProcAddress(GetModuleHandleA("Storm.dll"), MAKEINTRESOURCEA(280));
  if (buffer) reinterpret_cast<BOOL(__stdcall*)(void*)>(reinterpret_cast<void*>(unloadFile))(buffer);
  return {result, text};
}

// War3.mpq stays open as the game's own archive; data.mpq and War3x.mpq hold the map icon, music.mpq not.
class ArchiveHooks : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    for (const char* from : {"game-archives\\War3.mpq", "game-archives\\War3x.mpq", "mods\\Demo\\Mpqs\\data.mpq",
                             "mods\\Demo\\Mpqs\\music.mpq"}) {
      std::string source = testbedFolder() + from;
      ASSERT_TRUE(CopyFileA(source.c_str(), source.substr(source.find_last_of('\\') + 1).c_str(), FALSE)) << from;
    }
    ASSERT_NE(stormOpenArchive("War3.mpq", 1, 0, &game), 0u);
  }
  void TearDown() override {
    stormCloseArchive(game);
    TempFolderTest::TearDown();
  }
  HANDLE game = nullptr;
};

// Stand-ins for the library's functions of four, five and seven arguments, all giving gAnswer.
DWORD gAnswer = 0;
struct Answer {
  static DWORD __stdcall four(DWORD, DWORD, DWORD, DWORD) { return gAnswer; }
  static DWORD __stdcall five(DWORD, DWORD, DWORD, DWORD, DWORD) { return gAnswer; }
  static DWORD __stdcall seven(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) { return gAnswer; }
};

// Each row opens an archive through the hook of the game's extended or plain open, then asks for a
// file. Map-icon requests are answered with war3mapIcon.blp of the archive opened last, whether the
// library opened it or not; when it cannot give one, and for every other name, the plain lookup
// answers. In the last rows one ordinal of the library answers with bytes above the lowest (a jump over
// its first bytes): the extended open and the two file requests keep the low byte, the plain open
// gives 1 for any answer but 0, and a map icon answer whose low byte is 0 leaves the request to the
// plain lookup.
TEST_F(ArchiveHooks, MapIconsComeFromTheArchiveOpenedLast) {
  struct Case {
    const char* opened;
    bool extended;
    WORD ordinal;  // answering gAnswer, or 0
    DWORD answer;
    const char* requested;
    DWORD opens;
    std::pair<DWORD, std::string> request;
  };
  const Case cases[] = {
      {"data.mpq", true, 0, 0, kIconRequest, 1, {1, kDataIcon}},
      {"missing.mpq", false, 0, 0, kIconRequest, 0, {1, kWar3Picture}},
      {"War3x.mpq", false, 0, 0, "ui\\widgets\\glues\\ICON-MAP", 1, {1, kWar3xIcon}},
      {"missing.mpq", true, 0, 0, kIconRequest, 0, {1, kWar3Picture}},
      {"music.mpq", true, 0, 0, kIconRequest, 1, {1, kWar3Picture}},
      {"data.mpq", false, 0, 0, "ui\\widgets\\glues\\icon-ma", 1, {0, ""}},
      {"data.mpq", false, 0, 0, "Identity.txt", 1, {1, "War3.mpq Identity.txt\n"}},
      {"data.mpq", true, 293, 0x100, kIconRequest, 0, {1, kDataIcon}},
      {"data.mpq", true, 293, 0x1FF, kIconRequest, 0xFF, {1, kDataIcon}},
      {"missing.mpq", false, 266, 0x100, kIconRequest, 1, {1, kWar3Picture}},
      {"data.mpq", false, 281, 0x100, kIconRequest, 1, {1, kWar3Picture}},
      {"data.mpq", false, 281, 0x1FF, kIconRequest, 1, {0xFF, ""}},
      {"data.mpq", false, 279, 0x100, "Identity.txt", 1, {0, ""}},
      {"data.mpq", false, 279, 0x1FF, "Identity.txt", 1, {0xFF, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.opened) + ", " + c.requested + ", " + std::to_string(c.ordinal));
    void* entry = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("Storm.dll"), MAKEINTRESOURCEA(c.ordinal)));
    const Bytes saved = c.ordinal ? bytesAt(entry, 5) : Bytes();
    void* answer = c.ordinal == 266   ? reinterpret_cast<void*>(&Answer::four)
                   : c.ordinal == 281 ? reinterpret_cast<void*>(&Answer::seven)
                                      : reinterpret_cast<void*>(&Answer::five);
    gAnswer = c.answer;
    if (c.ordinal) {
      ASSERT_TRUE(patchJump(addressOf(entry), addressOf(answer)));
    }
    EXPECT_EQ(openThroughHook(c.opened, c.extended), c.opens);
    EXPECT_EQ(requestThroughHook(c.requested), c.request);
    if (c.ordinal) putBytes(entry, saved);
  }
  // The last archive is opened at priority 0 with flags 0; the game's own buffer, size, extra bytes and
  // overlapped go to the library as they came.
  openThroughHook("War3x.mpq", true);
  EXPECT_EQ(requestThroughHook(kIconRequest, 4).second, kWar3xIcon);
  std::vector<std::string> trace = linesOf(readFile("StormTrace.txt"));
  ASSERT_GE(trace.size(), 4u);
  EXPECT_EQ(trace[trace.size() - 4].find("266 OpenArchive \"War3x.mpq\" priority=0 flags=0 -> 1"), 0u)
      << trace[trace.size() - 4];
  EXPECT_NE(trace[trace.size() - 3].find("\"war3mapIcon.blp\" extra=4 scope=0 -> 1"), std::string::npos)
      << trace[trace.size() - 3];
}

// A game thread opens archives while another asks for map icons. Names of a megabyte (which no archive
// can have: the plain lookup answers for them) make every copy long, so an unguarded copy of a name
// that the opener frees meanwhile would read released memory and end the program. (One thread beside
// the test's own: 32-bit Wine under qemu's user-mode emulator ends a process running more at once.)
const int kRounds = 400;
const std::string kHugeName(1 << 20, 'x');

DWORD WINAPI openArchives(void*) {
  for (int round = 0; round < kRounds; ++round) {
    bool huge = round % 2;
    openThroughHook(huge ? kHugeName.c_str() : round % 4 < 2 ? "data.mpq" : "War3x.mpq", !huge);
  }
  return 0;
}

TEST_F(ArchiveHooks, ThreadsOpeningAndAskingAtOnceAlwaysGetAnAnswer) {
  HANDLE opener = CreateThread(nullptr, 0, openArchives, nullptr, 0, nullptr);
  ASSERT_NE(opener, nullptr);
  int wrongAnswers = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::string answer = requestThroughHook(kIconRequest).second;
    wrongAnswers += answer != kDataIcon && answer != kWar3xIcon && answer != kWar3Picture;
  }
  // The opener only touches globals, so a hung one can be left behind after the failure.
  ASSERT_EQ(WaitForSingleObject(opener, 300000), WAIT_OBJECT_0)
      << "the archive-opening thread did not finish within 300 s";
  CloseHandle(opener);
  EXPECT_EQ(wrongAnswers, 0);
}

const uint32_t kSites[kLauncherPatchSites] = {0x4E3BFA, 0x4E3BFC, 0x59B3E4, 0xE5F0, 0xE5FF, 0x58BF7F};

// What each site holds once written, in the order of the results.
std::vector<Bytes> siteBytes(uint32_t base, const char* version) {
  uint32_t text = addressOf(version);
  return {{0x90, 0x90},
          {0xEB},
          Bytes(8, 0x90),
          relativeBranch(0xE8, base + 0xE5F0, addressOf(reinterpret_cast<const void*>(&hookOpenArchiveEx))),
          relativeBranch(0xE8, base + 0xE5FF, addressOf(reinterpret_cast<const void*>(&hookOpenArchive))),
          {static_cast<uint8_t>(text), static_cast<uint8_t>(text >> 8), static_cast<uint8_t>(text >> 16),
           static_cast<uint8_t>(text >> 24)}};
}

// One site at a time lies (partly) on a page that is not committed: it is reported failed and left as
// it was, a run stopping at its first failed byte; every other site is still written. The mod's
// version text later goes to the same pointer, with the same outcome.
TEST(LauncherPatches, AFailedSiteIsReportedAndLeftAndTheOthersAreWritten) {
  struct Case {
    uint32_t holeEnd;  // the page that is not committed ends here; 0: none
    bool written[kLauncherPatchSites];
  };
  const Case cases[] = {
      {0, {true, true, true, true, true, true}},
      {0x4E3BFB, {false, true, true, true, true, true}},  // the run's second byte stays unwritten
      {0x59B3E8, {true, true, false, true, true, true}},  // so do the four after the hole
      {0xE5F8, {true, true, true, false, true, true}},
      {0xF5FF, {true, true, true, true, false, true}},    // the hole starts at the second call
      {0x58BF81, {true, true, true, true, true, false}},  // half the pointer: none of it written
  };
  const char version[] = "Mod 2.0";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.holeEnd);
    FakeGame game(c.holeEnd);
    ASSERT_NE(game.memory, nullptr);
    PatchSiteResult results[kLauncherPatchSites];
    installLauncherPatches(game.base, results);
    Bytes want(kFakeGameSize, kFakeGameFill);
    std::vector<Bytes> sites = siteBytes(game.base, gLauncherVersionText);
    for (unsigned i = 0; i < kLauncherPatchSites; ++i) {
      EXPECT_EQ(results[i].offset, kSites[i]);
      EXPECT_EQ(results[i].written, c.written[i]) << std::hex << kSites[i];
      if (c.written[i]) std::copy(sites[i].begin(), sites[i].end(), want.begin() + kSites[i]);
    }
    EXPECT_EQ(game.differences(want), "");

    EXPECT_EQ(outcome([&] { return writeVersionText(game.base, version); }), c.written[5] ? "true 0" : "false 2");
    if (c.written[5]) {
      EXPECT_EQ(bytesAt(reinterpret_cast<void*>(game.base + kSites[5]), 4), siteBytes(game.base, version)[5]);
    }
  }
}

}  // namespace
