// The stand-in Game.dll as the launcher's tests rely on it: the game's code at every offset the launcher
// patches, byte for byte in every variant; a run without the launcher, whose report must tell the game's
// own behaviour from the launcher's; and the launcher's race patches applied in process, which must turn
// the game's blocks into complete paths to the capture points.
#include "launcher/Globals.h"
#include "launcher/LaunchHarness.h"
#include "patching/RacePatches.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "testbed/game/PeFile.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

using namespace GameReport;

namespace {

std::string hex(uint32_t value, int digits = 8) {
  char text[16];
  snprintf(text, sizeof text, "%0*lX", digits, (unsigned long)value);
  return text;
}

PeFile image(const std::string& relative) {
  PeFile file;
  EXPECT_TRUE(file.parse(readFile(testbedFolder() + relative))) << relative;
  return file;
}

uint32_t word(const PeFile& file, uint32_t rva) {
  std::string bytes;
  uint32_t value = 0;
  if (file.bytesAt(rva, 4, bytes)) memcpy(&value, bytes.data(), 4);
  return value;
}

uint32_t branchTarget(const PeFile& file, uint32_t rva) {
  return rva + 5 + word(file, rva + 1);
}

// The NUL-terminated text at the address held in the operand at operandRva.
std::string textThrough(const PeFile& file, uint32_t operandRva) {
  uint32_t rva = word(file, operandRva) - file.imageBase();
  std::string text, byte;
  while (text.size() < 256 && file.bytesAt(rva + text.size(), 1, byte) && byte[0] != '\0') text += byte;
  return text;
}

// One block of the game's code: its RVA and its bytes, "??" where a byte depends on the link
// (displacements to the harness and import stubs, absolute addresses of the game's data). The capture
// points are checked below.
struct Block {
  uint32_t rva;
  const char* bytes;
};

const Block kBlocks[] = {
    {0xE5D0,
     "56 8B 74 24 08 FF 76 20 FF 76 1C FF 76 18 FF 76 14 FF 76 10 FF 76 0C FF 76 08 FF 76 04 FF 76 00"
     " E8 ?? ?? ?? ?? 89 46 24 C7 46 28 00 00 00 00 E8 ?? ?? ?? ?? 89 46 28 5E C2 04 00"},
    {0x31F5D3, "83 F8 03 77 0C 8B 14 85 ?? ?? ?? ?? E9 4C FF FF FF 56 8B F1 EB 30 CC"},
    {0x3A2853, "83 F8 03 77 0C 8B 0C 85 ?? ?? ?? ?? E9 AC CC F7 FF 8B 0D ?? ?? ?? ?? E9 A1 CC F7 FF CC"},
    {0x3A31E2, "89 C8 49 83 F9 FF 7F 0A 31 D2 E8 ?? ?? ?? ?? CC CC CC 83 F9 04 89 CA EB 15 CC"},
    {0x3A3210, "8D 41 01 EB 15 CC"},
    {0x3A3229, "CC 0F 8C 05 00 00 00 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
    {0x3C11B7, "89 C8 25 FF 00 00 00 EB 25 CC"},
    {0x3C11E5, "83 E0 7F 83 E9 0A E8 ?? ?? ?? ?? CC"},
    {0x4E3BF8, "85 C0 74 07 7F 0A E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
    {0x55926A, "8B 91 A0 01 00 00 83 F8 04 76 03 83 E0 00 83 FA 0D 74 02 31 C9 89 44 24 08 E9 78 9E 0B 00 CC"},
    {0x55958F, "56 8B F1 EB 0E CC"},
    {0x58AA02,
     "56 8B F1 85 C0 74 0F 48 83 F8 03 77 10 8B 0C 85 ?? ?? ?? ?? EB 2E B9 ?? ?? ?? ?? EB 27 B9 ?? ?? ?? ?? EB 20 CC"},
    {0x58BF7E, "B8 ?? ?? ?? ?? C3 CC"},
    {0x599BCC, "50 8B CD 0F 1F 00 E8 ?? ?? ?? ?? CC"},
    {0x59B3E2, "85 C0 0F 84 07 00 00 00 31 C9 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
    {0x5A0DE5, "E8 06 00 00 00 E8 ?? ?? ?? ?? CC 8D 41 FF 83 F8 03 77 08 8B 04 85 ?? ?? ?? ?? C3 B8 ?? ?? ?? ?? C3 CC"},
    {0x5A3D84,
     "83 F8 64 72 03 83 E8 64 85 C0 74 11 48 83 F8 03 77 12 89 C1 8B 14 8D ?? ?? ?? ?? EB 16"
     " BA ?? ?? ?? ?? EB 0F BA ?? ?? ?? ?? EB 08 CC"},
    {0x5BED8E, "3C 04 72 19 E8 ?? ?? ?? ?? CC"},
    {0x5BF4DF, "83 F8 04 77 05 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
    {0x5C0A18, "83 F8 04 0F 87 0E 00 00 00 89 C2 FF CA B9 04 00 00 00 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
};

// Every capture point: a call into the harness.
const uint32_t kCapturePoints[] = {0x31F510, 0x31F530, 0x31F619, 0x3A31EC, 0x3A3230, 0x3A3235, 0x3C11EB,
                                   0x4E3BFE, 0x4E3C03, 0x4E3C08, 0x5595A2, 0x5595BD, 0x58AA46, 0x599BD2,
                                   0x59B3EC, 0x59B3F1, 0x5A0DEA, 0x5A3DB7, 0x5BED92, 0x5BEDAB, 0x5BF4E4,
                                   0x5BF4E9, 0x5C0A2A, 0x5C0A2F, 0x6130F0, 0x613100};

// The texts the game's code names through the operands that hold their addresses (each relocated);
// the skin tables are read through four operands, the key table through one.
const std::pair<uint32_t, const char*> kTexts[] = {{0x58AA19, "RANDOM"},  {0x58AA20, "UNKNOWN"},
                                                   {0x5A3DA2, "Default"}, {0x5A3DA9, "Unknown"},
                                                   {0x5A0E01, "Unknown"}, {kVersionPointer, kVersionText}};
const char kSkins[] = "Human Orc Undead NightElf";
const std::pair<uint32_t, const char*> kTables[] = {{0x31F5DB, kSkins},  {0x3A285B, kSkins},
                                                    {0x5A0DFB, kSkins},  {0x5A3D9B, kSkins},
                                                    {0x3A2866, "Human"}, {0x58AA12, "HUMAN ORC UNDEAD NIGHT_ELF"}};

TEST(GameImage, FixedCodeLiesAtItsOffsetsInEveryVariant) {
  for (const char* variant : {"Game.dll", "variants\\nogamemain\\Game.dll", "variants\\cdecl\\Game.dll",
                              "variants\\nouser32\\Game.dll", "variants\\nostorm\\Game.dll"}) {
    SCOPED_TRACE(variant);
    PeFile file = image(variant);
    for (const Block& block : kBlocks) {
      std::string actual, pattern = block.bytes;
      ASSERT_TRUE(file.bytesAt(block.rva - 1, pattern.size() / 3 + 2, actual)) << std::hex << block.rva;
      EXPECT_EQ((unsigned char)actual[0], 0xCC) << "the block at " << std::hex << block.rva << " starts later";
      for (size_t i = 0; i < pattern.size(); i += 3) {
        if (pattern[i] == '?') continue;
        EXPECT_EQ((unsigned char)actual[1 + i / 3], std::stoul(pattern.substr(i, 2), nullptr, 16))
            << "byte at " << std::hex << block.rva + i / 3;
      }
    }

    // Every capture point calls one routine outside the fixed code, which drops the call's return address.
    uint32_t harness = branchTarget(file, kCapturePoints[0]);
    EXPECT_GT(harness, 0x613105u);
    for (uint32_t point : kCapturePoints) EXPECT_EQ(branchTarget(file, point), harness) << std::hex << point;
    std::string pop;
    ASSERT_TRUE(file.bytesAt(harness, 2, pop));
    EXPECT_EQ(pop, "\x8F\x05");  // pop dword [abs]

    std::vector<uint32_t> relocations = file.relocations();
    auto relocated = [&](uint32_t operand) {
      return std::find(relocations.begin(), relocations.end(), operand) != relocations.end();
    };
    for (const auto& text : kTexts) {
      EXPECT_EQ(textThrough(file, text.first), text.second) << std::hex << text.first;
      EXPECT_TRUE(relocated(text.first)) << std::hex << text.first;
    }
    for (const auto& table : kTables) {
      uint32_t at = word(file, table.first) - file.imageBase();
      std::string texts = textThrough(file, at);
      for (uint32_t i = 1; texts.size() < strlen(table.second); ++i) texts += " " + textThrough(file, at + 4 * i);
      EXPECT_EQ(texts, table.second) << std::hex << table.first;
      EXPECT_TRUE(relocated(table.first)) << std::hex << table.first;
    }
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
// bytes as in the file, the calls going where the game's code sends them, the game's texts, cursor
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
  PeFile file = image("Game.dll");
  for (const Region& region : kRegions) {
    std::string bytes, text;
    ASSERT_TRUE(file.bytesAt(region.rva, region.size, bytes));
    for (unsigned char c : bytes) text += hex(c, 2);
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
  for (uint32_t site : {0xE5F0u, 0xE5FFu}) own["target." + hex(site, 1)] = "game+" + hex(branchTarget(file, site), 1);
  for (const auto& value : own)
    EXPECT_EQ(report.count(value.first) ? report[value.first] : "(none)", value.second) << value.first;
  EXPECT_EQ(report["icon.war3x"].rfind("war3x size=32x32 hash=", 0), 0u) << report["icon.war3x"];
  // One run spelled out, as documented (ECX points into the game's key table).
  EXPECT_EQ(report["race.key.5"].rfind("UNKNOWN src=game at=58AA46 eax=00000004 ecx=", 0), 0u) << report["race.key.5"];
  expectEveryRunKeptItsStack(report, 174);
}

// The line of a race run after the launcher's race patches with two races, at a site that the raw writes
// change (the stub sites belong to the race stub tests): each register keeps its pattern at entry unless
// the path sets it.
std::string patchedLine(const std::string& site, uint32_t v) {
  uint32_t stripped = v >= 100 ? v - 100 : v;  // the race numbers of the second slot kind
  uint32_t at = kExitDecode, eax = kInEax, ecx = kInEcx, edx = kInEdx, esi = kInEsi;
  int esp = 0;
  if (site == "slot" || site == "slot12") {
    at = kExitSlotLauncher, ecx = kRecordWord1A4, eax = site == "slot" ? stripped : 0;
    if (site == "slot12") edx = kSlotKind12;
  } else if (site == "pick") {
    at = stripped == 0 ? kExitPickRandom : (int32_t)stripped <= 2 ? kExitPickValid : kExitPickInvalid;
    ecx = edx = stripped;
  } else if (site == "swap") {
    at = kExitSwapLauncher, eax = esi = v, esp = -4;
  } else if (site == "limit" || site == "cap" || site == "count") {
    at = site == "limit" ? kExitLimitAccept : site == "cap" ? kExitCapAccept : kExitCountAccept;
    eax = v;
    if (site == "count") edx = v - 1;
  } else {  // decode: ECX is taken from EAX, whose low byte keeps 7 bits, and 100 is taken off it
    eax = (kInEax & 0xFFFFFF00) | (kInEax & 0x7F), ecx = kInEax - 100;
  }
  return "- src=- at=" + hex(at, 1) + " eax=" + hex(eax) + " ecx=" + hex(ecx) + " edx=" + hex(edx) +
         " ebx=" + hex(kInEbx) + " esi=" + hex(esi) + " edi=" + hex(kInEdi) + " ebp=" + hex(kInEbp) +
         " esp=" + std::to_string(esp) + " stack=ok";
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
  for (const char* site : {"slot", "slot12", "pick", "swap", "limit", "cap", "count", "decode"})
    for (uint32_t v : {0u, 1u, 2u, 3u, 4u, 5u, 99u, 100u, 101u, 102u, 104u, 105u, 200u, 0xFFFFFFFFu}) {
      std::string key = "race." + std::string(site) + "." + std::to_string(v);
      EXPECT_EQ(report.count(key) ? report[key] : "(none)", patchedLine(site, v)) << key;
    }
  expectEveryRunKeptItsStack(report, 186);
}

}  // namespace
