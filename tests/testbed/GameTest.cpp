// The stand-in Game.dll as the launcher's tests rely on it: the game's code at every offset the launcher
// patches in every variant, calling the harness and naming the game's texts through relocated operands;
// a run without the launcher, whose report must tell the game's own behaviour from the launcher's; and
// the launcher's race patches applied in process, which must make complete paths to the capture points.
#include "launcher/Globals.h"
#include "launcher/LaunchHarness.h"
#include "patching/RacePatches.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <cstring>
#include <memory>

using namespace GameReport;

namespace {

std::string hex(uint32_t value, int digits = 8) {
  char text[16];
  snprintf(text, sizeof text, "%0*lX", digits, (unsigned long)value);
  return text;
}

// A game module mapped for reading, its imports left unbound and its initialisation not run; the
// loader relocates it when its base is taken.
using Mapped = std::unique_ptr<std::remove_pointer<HMODULE>::type, decltype(&FreeLibrary)>;
Mapped mapGame(const std::string& relative) {
  Mapped module(LoadLibraryExA((testbedFolder() + relative).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES),
                &FreeLibrary);
  EXPECT_NE(module.get(), nullptr) << relative << ": error " << GetLastError();
  return module;
}

const unsigned char* at(HMODULE module, uint32_t rva) {
  return (const unsigned char*)module + rva;
}

uint32_t word(HMODULE module, uint32_t rva) {
  uint32_t value;
  memcpy(&value, at(module, rva), 4);
  return value;
}

uint32_t branchTarget(HMODULE module, uint32_t rva) {
  return rva + 5 + word(module, rva + 1);
}

// The text at the address an operand holds, or "(outside the module)": an operand the loader did not
// relocate points into the module at its preferred base instead.
std::string textThrough(HMODULE module, uint32_t address) {
  MEMORY_BASIC_INFORMATION memory = {};
  if (!VirtualQuery((void*)address, &memory, sizeof memory) || memory.AllocationBase != module)
    return "(outside the module)";
  return std::string((const char*)address, strnlen((const char*)address, 256));
}

// The sites the race runs enter: each a block of the game's code after padding.
const uint32_t kEntries[] = {kEntryKey,    kEntrySkin,  kEntrySelect, kEntryClamp, kEntryCall,
                             kEntryNumber, kEntrySlot,  kEntryPick,   kEntrySwap,  kEntryLimit,
                             kEntryCap,    kEntryCount, kEntryDecode, kEntryGateA, kEntryGateB};
// Every capture point: a call into the harness, where the race runs come out.
const uint32_t kCapturePoints[] = {
    kExitKey,          kExitSkin,         kExitSelectIn,    kExitSelectOut,   kExitClamp,           kExitCall,
    kExitNumber,       kExitSlotLauncher, kExitSlotGame,    kExitPickRandom,  kExitPickValid,       kExitPickInvalid,
    kExitSwapLauncher, kExitSwapGame,     kExitLimitAccept, kExitLimitRefuse, kExitCapAccept,       kExitCapRefuse,
    kExitCountAccept,  kExitCountRefuse,  kExitDecode,      kExitGateAAccept, kExitGateARefuseZero, kExitGateARefuse,
    kExitGateBAccept,  kExitGateBRefuse};

// The texts the game's code names through the operands that hold their addresses.
const std::pair<uint32_t, const char*> kTexts[] = {{0x58AA19, "RANDOM"},  {0x58AA20, "UNKNOWN"},
                                                   {0x5A3DA2, "Default"}, {0x5A3DA9, "Unknown"},
                                                   {0x5A0E01, "Unknown"}, {kVersionPointer, kVersionText}};
// All variants mapped at once: every one after the first lies away from the preferred base, so an
// operand without a relocation points outside its module.
TEST(GameImage, FixedCodeLiesAtItsOffsetsInEveryVariant) {
  std::vector<Mapped> variants;
  for (const char* variant : {"Game.dll", "variants\\nogamemain\\Game.dll", "variants\\cdecl\\Game.dll",
                              "variants\\nouser32\\Game.dll", "variants\\nostorm\\Game.dll"}) {
    SCOPED_TRACE(variant);
    variants.push_back(mapGame(variant));
    HMODULE game = variants.back().get();
    ASSERT_NE(game, nullptr);
    if (variants.size() > 1) {
      ASSERT_NE((DWORD)game, 0x6F000000u) << "not relocated";
    }
    for (uint32_t entry : kEntries) {
      EXPECT_EQ(*at(game, entry - 1), 0xCC) << "the block at " << std::hex << entry << " starts earlier";
      EXPECT_NE(*at(game, entry), 0xCC) << "the block at " << std::hex << entry << " starts later";
    }

    // Every capture point calls one routine outside the fixed code, which drops the call's return address.
    uint32_t harness = branchTarget(game, kCapturePoints[0]);
    EXPECT_GT(harness, 0x613105u);
    for (uint32_t point : kCapturePoints) {
      EXPECT_EQ(*at(game, point), 0xE8) << std::hex << point;
      EXPECT_EQ(branchTarget(game, point), harness) << std::hex << point;
    }
    EXPECT_EQ(std::string((const char*)at(game, harness), 2), "\x8F\x05");  // pop dword [abs]

    for (const auto& text : kTexts)
      EXPECT_EQ(textThrough(game, word(game, text.first)), text.second) << std::hex << text.first;
  }
}

using Report = std::map<std::string, std::string>;

// All race runs of a report (the driver's count for its number of races) reached a capture point with
// the stack as that point's contract says.
void expectEveryRunKeptItsStack(Report& report, size_t count) {
  size_t runs = 0;
  for (const auto& entry : report) {
    const std::string& key = entry.first;
    if ((key.rfind("race.", 0) != 0 || key == "race.count") && key.rfind("gate.", 0) != 0) continue;
    ++runs;
    EXPECT_EQ(entry.second.substr(entry.second.find(" stack=")), " stack=ok") << key;
  }
  EXPECT_EQ(runs, count);
}

class GameRun : public TempFolderTest {};

// Without the launcher every value the launch tests see changed must be the game's own: the code
// bytes as the loader maps them, the calls going where the game's code sends them, the game's texts, cursor
// and icon; else the launch tests could pass on a report that cannot tell.
TEST_F(GameRun, WithoutTheLauncherTheReportShowsTheGamesOwnBehaviour) {
  for (const char* file : {"GameLoader.exe", "Game.dll", "Storm.dll"}) copyInto(testbedFolder() + file, file);
  ChildRun run = runChild("\"" + folder + "\\GameLoader.exe\"");
  ASSERT_EQ(run.failure, "");
  ASSERT_EQ(run.exitCode, 0u);
  Report report = parse(readFile(kFileName));
  ASSERT_EQ(report["end"], "ok");

  // The game's archives are not there: its two call sites reach ordinals 293 and 266 all the same.
  Lines storm = linesOf(readFile("StormTrace.txt"));
  storm.resize(2);
  EXPECT_EQ(storm, (Lines{"293 OpenArchiveEx owner=0 \"War3.mpq\" priority=2 flags=0 -> 0 why=\"cannot open file\"",
                          "266 OpenArchive \"War3x.mpq\" priority=3 flags=0 -> 0 why=\"cannot open file\""}));
  Mapped file = mapGame("Game.dll");
  ASSERT_NE(file.get(), nullptr);
  for (const Region& region : kRegions) {
    std::string text;
    for (uint32_t i = 0; i < region.size; ++i) text += hex(*at(file.get(), region.rva + i), 2);
    EXPECT_EQ(report["bytes." + hex(region.rva, 1)], text);
  }
  Report own = parse(
      "exe=GameLoader.exe\nmodule.same=yes\nimports.user32=import\nimports.storm=import\npatched=none\n"
      "patched.changed=-\nversion.src=game\nwindow=created\ntitle.create=Warcraft III\ntitle.upper=WARCRAFT III\n"
      "title.other=Warcraft III \ntitle.null=\ntitle.final=Warcraft III\ncursor.corvane.real=null\n"
      "cursor.blizzard.real=present\ncursor.blizzard=blizzard\ncursor.other=null\ncursor.arrow=arrow\n"
      "icon.corvane.real=null\nicon.other=null\nrace.count=4\ntarget.5A0DE5=game+5A0DF0\n"
      "target.559283=game+613100\ntarget.3A2853=-\ntarget.58AA02=-\ntarget.5A3D84=-\ntarget.31F5D3=-\n"
      "target.599BCC=-\n");
  own["version"] = kVersionText;
  own["icon.war3x"] = report["icon.war3x.real"];
  for (uint32_t site : {0xE5F0u, 0xE5FFu})
    own["target." + hex(site, 1)] = "game+" + hex(branchTarget(file.get(), site), 1);
  for (const auto& value : own)
    EXPECT_EQ(report.count(value.first) ? report[value.first] : "(none)", value.second) << value.first;
  EXPECT_EQ(report["icon.war3x"].rfind("war3x size=32x32 hash=", 0), 0u) << report["icon.war3x"];
  // One run spelled out, as documented (ECX points into the game's key table).
  EXPECT_EQ(report["race.key.5"].rfind("UNKNOWN src=game at=58AA46 eax=00000004 ecx=", 0), 0u) << report["race.key.5"];
  expectEveryRunKeptItsStack(report, 174);
}

// installRacePatches as the launcher calls it, on Game.dll loaded here, with two races; then GameMain
// runs every race site.
TEST_F(GameRun, TheLaunchersRacePatchesMakeCompletePathsInTheGamesBlocks) {
  HMODULE game = LoadLibraryExA((testbedFolder() + "Game.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(game, nullptr);
  auto gameMain = (BOOL(__stdcall*)(HMODULE))(void*)GetProcAddress(game, "GameMain");
  ASSERT_NE(gameMain, nullptr);
  gGameBase = (DWORD)game;
  gRaceSkins = {"S1", "S2"};
  gRaceKeys = {"K1", "K2"};
  installRacePatches();
  EXPECT_TRUE(gameMain(game));
  FreeLibrary(game);

  Report report = parse(readFile(kFileName));
  ASSERT_EQ(report["end"], "ok");
  EXPECT_EQ(report["patched"], "partial");  // the launcher's other patches are not made here
  EXPECT_EQ(report["race.count"], "2");
  EXPECT_EQ(report["race.key.2"].rfind("K2 src=exe at=58AA46 ", 0), 0u) << report["race.key.2"];
  EXPECT_EQ(report["race.skin.1"].rfind("S1 src=exe at=5A3DB7 ", 0), 0u) << report["race.skin.1"];
  expectEveryRunKeptItsStack(report, 186);
}

}  // namespace
