// The stand-in game run without the launcher, and with the launcher's raw writes applied in process.
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "testbed/game/PeFile.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <cstring>
#include <sstream>
#include <vector>

using namespace GameReport;

namespace {

std::string testbedPath(const std::string& relative) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string bin = path;
  bin.resize(bin.rfind('\\'));
  return bin + "\\..\\testbed\\" + relative;
}

std::string hex(uint32_t value, int digits = 8) {
  char text[16];
  snprintf(text, sizeof text, "%0*lX", digits, (unsigned long)value);
  return text;
}

std::string rvaText(uint32_t rva) {
  return hex(rva, 1);
}

std::string hexOf(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) text += hex(c, 2);
  return text;
}

// ---- The game's built-in race behaviour, case by case: what a run line must say.
const char* const kSkins[] = {"Human", "Orc", "Undead", "NightElf"};
const char* const kKeys[] = {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"};

struct Expected {
  std::string text = "-";
  std::string src = "-";
  uint32_t at = 0;
  uint32_t eax = kInEax, ecx = kInEcx, edx = kInEdx, ebx = kInEbx, esi = kInEsi, edi = kInEdi, ebp = kInEbp;
  const char* pointerIn = nullptr;   // register holding the text pointer: any value is accepted there
  int esp = 0;
};

Expected withText(Expected e, const char* text, const char* reg) {
  e.text = text;
  e.src = "game";
  e.pointerIn = reg;
  return e;
}

Expected builtIn(const std::string& site, uint32_t v) {
  Expected e;
  if (site == "race.key") {
    e.eax = v;
    e.at = kExitKey;
    e.esi = kInEcx;
    e.esp = -4;
    if (v != 0) e.eax = v - 1;
    return withText(e, v == 0 ? "RANDOM" : v <= 4 ? kKeys[v - 1] : "UNKNOWN", "ecx");
  }
  if (site == "race.skin") {
    uint32_t s = v >= 100 ? v - 100 : v;
    e.at = kExitSkin;
    e.eax = s == 0 ? 0 : s - 1;
    if (s >= 1 && s <= 4) e.ecx = s - 1;
    return withText(e, s == 0 ? "Default" : s <= 4 ? kSkins[s - 1] : "Unknown", "edx");
  }
  if (site == "race.select") {
    e.eax = v;
    if (v <= 3) {
      e.at = kExitSelectIn;
      return withText(e, kSkins[v], "edx");
    }
    e.at = kExitSelectOut;
    e.esi = kInEcx;
    e.esp = -4;
    return e;
  }
  if (site == "race.clamp") {
    e.eax = v;
    e.at = kExitClamp;
    return withText(e, kSkins[v <= 3 ? v : 0], "ecx");
  }
  if (site == "race.call") {
    e.ecx = v;
    e.at = kExitCall;
    return withText(e, v >= 1 && v <= 4 ? kSkins[v - 1] : "Unknown", "eax");
  }
  if (site == "race.number") {
    e.eax = v;
    e.ecx = kInEbp;
    e.at = kExitNumber;
    e.esp = -4;
    return e;
  }
  if (site == "race.slot" || site == "race.slot12") {
    e.eax = v <= 4 ? v : 0;
    e.edx = kRecordWord1A0;
    e.ecx = 0;   // 01A00A01 is not 13
    e.at = kExitSlotGame;
    return e;
  }
  if (site == "race.pick") {
    e.eax = v;
    e.ecx = v - 1;
    if ((int32_t)(v - 1) > -1) {
      e.edx = v - 1;
      e.at = (int32_t)(v - 1) < 4 ? kExitPickValid : kExitPickInvalid;
    } else {
      e.edx = 0;
      e.at = kExitPickRandom;
    }
    return e;
  }
  if (site == "race.swap") {
    e.eax = v;
    e.esi = kInEcx;
    e.esp = -4;
    e.at = kExitSwapGame;
    return e;
  }
  if (site == "race.limit") {
    e.eax = v;
    e.at = (v & 0xFF) < 4 ? kExitLimitAccept : kExitLimitRefuse;
    return e;
  }
  if (site == "race.cap") {
    e.eax = v;
    e.at = v <= 4 ? kExitCapAccept : kExitCapRefuse;
    return e;
  }
  if (site == "race.count") {
    e.eax = v;
    e.at = kExitCountRefuse;
    if (v <= 4) {
      e.at = kExitCountAccept;
      e.edx = v - 1;
      e.ecx = 4;
    }
    return e;
  }
  if (site == "race.decode") {
    e.eax = v & 0x7F;
    e.ecx = v - 10;
    e.at = kExitDecode;
    return e;
  }
  if (site == "gate.4E3BFA") {
    e.eax = v;
    e.at = v == 0 ? kExitGateARefuseZero : (int32_t)v > 0 ? kExitGateAAccept : kExitGateARefuse;
    return e;
  }
  // gate.59B3E4
  e.eax = v;
  e.at = v == 0 ? kExitGateBRefuse : kExitGateBAccept;
  if (v != 0) e.ecx = 0;
  return e;
}

// The raw blocks after the launcher's writes, with race count n in the byte at 0x3A31F6. The
// six stub sites stay the game's own.
Expected rawPatched(const std::string& site, uint32_t v, uint32_t n) {
  Expected e;
  uint32_t stripped = v >= 100 ? v - 100 : v;
  if (site == "race.slot" || site == "race.slot12") {
    e.ecx = kRecordWord1A4;
    e.edx = site == "race.slot12" ? kSlotKind12 : kInEdx;
    e.eax = site == "race.slot12" ? 0 : stripped;
    e.at = kExitSlotLauncher;
    return e;
  }
  if (site == "race.pick") {
    e.ecx = stripped;
    if (stripped == 0) {
      e.edx = 0;
      e.at = kExitPickRandom;
    } else {
      e.edx = stripped;
      e.at = (int32_t)stripped <= (int32_t)n ? kExitPickValid : kExitPickInvalid;
    }
    return e;
  }
  if (site == "race.swap") {
    e.eax = v;
    e.esi = v;
    e.esp = -4;
    e.at = kExitSwapLauncher;
    return e;
  }
  if (site == "race.limit" || site == "race.cap") {
    e.eax = v;
    e.at = site == "race.limit" ? kExitLimitAccept : kExitCapAccept;
    return e;
  }
  if (site == "race.count") {
    e.eax = v;
    e.edx = v - 1;
    e.at = kExitCountAccept;
    return e;
  }
  if (site == "race.decode") {
    e.eax = (kInEax & 0xFFFFFF00) | (kInEax & 0x7F);
    e.ecx = kInEax - 100;
    e.at = kExitDecode;
    return e;
  }
  if (site == "gate.4E3BFA") {
    e.eax = v;
    e.at = kExitGateAAccept;
    return e;
  }
  if (site == "gate.59B3E4") {
    e.eax = v;
    e.at = kExitGateBAccept;
    return e;
  }
  return builtIn(site, v);
}

// The line's tokens: "TEXT", then key=value pairs.
std::map<std::string, std::string> tokens(const std::string& line) {
  std::map<std::string, std::string> result;
  std::istringstream in(line);
  std::string token;
  in >> token;
  result["text"] = token;
  while (in >> token) {
    size_t equals = token.find('=');
    if (equals != std::string::npos) result[token.substr(0, equals)] = token.substr(equals + 1);
  }
  return result;
}

void expectRaceLine(const std::string& key, const std::string& line, const Expected& e) {
  SCOPED_TRACE(key + "=" + line);
  std::map<std::string, std::string> t = tokens(line);
  EXPECT_EQ(t["text"], e.text);
  EXPECT_EQ(t["src"], e.src);
  EXPECT_EQ(t["at"], rvaText(e.at));
  const std::pair<const char*, uint32_t> regs[] = {{"eax", e.eax}, {"ecx", e.ecx}, {"edx", e.edx}, {"ebx", e.ebx},
                                                   {"esi", e.esi}, {"edi", e.edi}, {"ebp", e.ebp}};
  for (const auto& reg : regs) {
    if (e.pointerIn && strcmp(e.pointerIn, reg.first) == 0) continue;
    EXPECT_EQ(t[reg.first], hex(reg.second)) << reg.first;
  }
  EXPECT_EQ(t["esp"], std::to_string(e.esp));
  EXPECT_EQ(t["stack"], "ok");
}

std::vector<uint32_t> numbers() {
  return {0, 1, 2, 3, 4, 5, 99, 100, 101, 104, 105, 200, 0xFFFFFFFF};
}

std::vector<uint32_t> indexes() {
  return {0, 1, 2, 3, 4, 0xFFFFFFFF};
}

class GameRun : public TempFolderTest {
protected:
  static bool copyInto(const std::string& from, const std::string& folder, const char* name) {
    return CopyFileA(testbedPath(from).c_str(), (folder + "\\" + name).c_str(), FALSE) != 0;
  }

  // A folder with the loader, the given Game.dll, Storm.dll and the game's archives.
  static void layOut(const std::string& folder, const char* game) {
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(copyInto("GameLoader.exe", folder, "GameLoader.exe"));
    ASSERT_TRUE(copyInto(game, folder, "Game.dll"));
    ASSERT_TRUE(copyInto("Storm.dll", folder, "Storm.dll"));
    ASSERT_TRUE(copyInto("game-archives\\War3.mpq", folder, "War3.mpq"));
    ASSERT_TRUE(copyInto("game-archives\\War3x.mpq", folder, "War3x.mpq"));
  }

  // Runs folder\GameLoader.exe with folder current; its exit code.
  static DWORD runLoader(const std::string& folder) {
    ChildOptions options;
    options.folder = folder;
    ChildRun run = runChild("\"" + folder + "\\GameLoader.exe\"", options);
    EXPECT_EQ(run.failure, "");
    return run.ended ? run.exitCode : 0xFFFFFFFF;
  }

  static bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\r\n") != std::string::npos;
  }

  // Everything an unpatched run of the game module at testbed path `game` must report.
  static void expectUnpatchedReport(const std::string& folder, const char* game, const char* user32,
                                    const char* storm) {
    std::map<std::string, std::string> report = GameReport::parse(readFile(folder + "\\" + kFileName));
    ASSERT_EQ(report["end"], "ok");
    EXPECT_EQ(report["report"], "Corvane stand-in game");
    EXPECT_EQ(report["module.same"], "yes");
    EXPECT_EQ(report["module"], report["module.self"]);
    EXPECT_EQ(report["exe"], "GameLoader.exe");
    EXPECT_EQ(report["imports.user32"], user32);
    EXPECT_EQ(report["imports.storm"], storm);

    // Code bytes: exactly the file's, so nothing is patched.
    PeFile image;
    ASSERT_TRUE(image.parse(readFile(testbedPath(game))));
    for (const Region& region : kRegions) {
      std::string bytes;
      ASSERT_TRUE(image.bytesAt(region.rva, region.size, bytes));
      EXPECT_EQ(report["bytes." + rvaText(region.rva)], hexOf(bytes)) << std::hex << region.rva;
    }
    EXPECT_EQ(report["bytes.4E3BFA"], "74077F");
    EXPECT_EQ(report["bytes.59B3E4"], "0F840700000031C9");
    EXPECT_EQ(report["bytes.3A31F6"], "04");
    EXPECT_EQ(report["patched"], "none");
    EXPECT_EQ(report["patched.changed"], "-");
    for (uint32_t site : {0xE5F0u, 0xE5FFu}) {
      std::string call;
      ASSERT_TRUE(image.bytesAt(site, 5, call));
      uint32_t displacement;
      memcpy(&displacement, call.data() + 1, 4);
      EXPECT_EQ(report["target." + rvaText(site)], "game+" + rvaText(site + 5 + displacement));
    }
    EXPECT_EQ(report["target.5A0DE5"], "game+5A0DF0");
    EXPECT_EQ(report["target.559283"], "game+613100");
    for (const char* site : {"3A2853", "58AA02", "5A3D84", "31F5D3", "599BCC"})
      EXPECT_EQ(report[std::string("target.") + site], "-") << site;
    EXPECT_EQ(report["version"], kVersionText);
    EXPECT_EQ(report["version.src"], "game");

    // Window titles, cursor and icon: every call passes through.
    EXPECT_EQ(report["window"], "created");
    EXPECT_EQ(report["title.create"], "Warcraft III");
    EXPECT_EQ(report["title.upper"], "WARCRAFT III");
    EXPECT_EQ(report["title.other"], "Warcraft III ");
    EXPECT_EQ(report.count("title.null"), 1u);
    EXPECT_EQ(report["title.null"], "");
    EXPECT_EQ(report["title.final"], "Warcraft III");
    EXPECT_EQ(report["cursor.corvane.real"], "null");
    EXPECT_EQ(report["cursor.blizzard.real"], "present");
    EXPECT_EQ(report["cursor.blizzard"], "blizzard");
    EXPECT_EQ(report["cursor.other"], "null");
    EXPECT_EQ(report["cursor.arrow"], "arrow");
    EXPECT_EQ(report["icon.corvane.real"], "null");
    EXPECT_EQ(report["icon.war3x.real"].rfind("war3x size=32x32 hash=", 0), 0u) << report["icon.war3x.real"];
    EXPECT_EQ(report["icon.war3x"], report["icon.war3x.real"]);
    EXPECT_EQ(report["icon.other"], "null");
    EXPECT_EQ(report["icon.application"].rfind("application size=", 0), 0u) << report["icon.application"];

    // Archives through the two call sites, then files from them.
    EXPECT_EQ(report["archive.War3.mpq"], "exists=yes result=1 via=E5F0 name=War3.mpq");
    EXPECT_EQ(report["archive.War3x.mpq"], "exists=yes result=1 via=E5FF name=War3x.mpq");
    EXPECT_EQ(report["file.UI\\Widgets\\Glues\\icon-map-test.blp"], "loaded size=32 text=BLP1 War3.mpq icon-map-test.blp");
    EXPECT_EQ(report["file.ui\\widgets\\glues\\ICON-MAP.blp"], "missing");
    EXPECT_EQ(report["file.war3mapIcon.blp"], "loaded size=31 text=BLP1 War3x.mpq war3mapIcon.blp");
    EXPECT_EQ(report["file.Identity.txt"], "loaded size=23 text=War3x.mpq Identity.txt");
    EXPECT_EQ(report["file.Missing\\Nothing.txt"], "missing");
    EXPECT_EQ(report["open.Identity.txt"], "opened size=23 text=War3x.mpq Identity.txt archive=War3x.mpq");
    EXPECT_EQ(report["close.War3.mpq"], "1");
    EXPECT_EQ(report["close.War3x.mpq"], "1");
    std::string trace = readFile(folder + "\\StormTrace.txt");
    EXPECT_TRUE(hasLine(trace, "293 OpenArchiveEx owner=0 \"War3.mpq\" priority=2 flags=0 -> 1 archive=A1")) << trace;
    EXPECT_TRUE(hasLine(trace, "266 OpenArchive \"War3x.mpq\" priority=3 flags=0 -> 1 archive=A2")) << trace;

    // Races: the four built-in ones, n = 4.
    EXPECT_EQ(report["race.count"], "4");
    const char* numberSites[] = {"race.key", "race.skin", "race.call", "race.number", "race.slot",
                                 "race.slot12", "race.pick", "race.swap", "race.limit", "race.cap",
                                 "race.count", "race.decode"};
    for (const char* site : numberSites)
      for (uint32_t v : numbers()) {
        std::string key = std::string(site) + "." + std::to_string(v);
        ASSERT_EQ(report.count(key), 1u) << key;
        expectRaceLine(key, report[key], builtIn(site, v));
      }
    for (const char* site : {"race.select", "race.clamp"})
      for (uint32_t v : indexes()) {
        std::string key = std::string(site) + "." + std::to_string(v);
        ASSERT_EQ(report.count(key), 1u) << key;
        expectRaceLine(key, report[key], builtIn(site, v));
      }
    for (const char* site : {"gate.4E3BFA", "gate.59B3E4"})
      for (uint32_t v : {0u, 1u, 0xFFFFFFFFu}) {
        std::string key = std::string(site) + "." + std::to_string(v);
        ASSERT_EQ(report.count(key), 1u) << key;
        expectRaceLine(key, report[key], builtIn(site, v));
      }
    // Spelled out once, as documented.
    EXPECT_EQ(report["race.key.5"].rfind("UNKNOWN src=game at=58AA46 eax=00000004 ecx=", 0), 0u);
    EXPECT_NE(report["race.key.5"].find(" edx=D2D2D2D2 ebx=B3B3B3B3 esi=C1C1C1C1 edi=D1D1D1D1 ebp=BEBEBEBE esp=-4 stack=ok"),
              std::string::npos);
  }
};

TEST_F(GameRun, UnpatchedGameReportsItsOwnBehaviour) {
  std::string game = folder + "\\game";
  layOut(game, "Game.dll");
  ASSERT_EQ(runLoader(game), 0u);
  expectUnpatchedReport(game, "Game.dll", "import", "import");
}

TEST_F(GameRun, VariantsWithoutUser32OrStormImportsRunTheSameScript) {
  std::string noUser32 = folder + "\\nouser32", noStorm = folder + "\\nostorm";
  layOut(noUser32, "variants\\nouser32\\Game.dll");
  layOut(noStorm, "variants\\nostorm\\Game.dll");
  ASSERT_EQ(runLoader(noUser32), 0u);
  ASSERT_EQ(runLoader(noStorm), 0u);
  {
    SCOPED_TRACE("nouser32");
    expectUnpatchedReport(noUser32, "variants\\nouser32\\Game.dll", "lookup", "import");
  }
  {
    SCOPED_TRACE("nostorm");
    expectUnpatchedReport(noStorm, "variants\\nostorm\\Game.dll", "import", "lookup");
  }
}

TEST_F(GameRun, LoaderExitCodes) {
  std::string noGameMain = folder + "\\nogamemain", empty = folder + "\\empty";
  layOut(noGameMain, "variants\\nogamemain\\Game.dll");
  CreateDirectoryA(empty.c_str(), nullptr);
  ASSERT_TRUE(copyInto("GameLoader.exe", empty, "GameLoader.exe"));
  EXPECT_EQ(runLoader(noGameMain), 3u);
  EXPECT_FALSE(fileExists(noGameMain + "\\" + kFileName));
  EXPECT_EQ(runLoader(empty), 2u);
  EXPECT_FALSE(fileExists(empty + "\\" + kFileName));
}

// The launcher's raw writes of the race extension and its two runs of NOPs, applied here in
// process to a loaded Game.dll: every block they touch must become a complete path to a capture
// point with the registers and stack the written bytes say. The stub sites stay the game's.
struct RawWrite {
  uint32_t rva;
  const char* bytes;   // hex, one blank between bytes
};
const RawWrite kRawWrites[] = {
  {0x55958F, "56"}, {0x559590, "8B F0"}, {0x559592, "EB 29"}, {0x5BED8E, "EB 1B"},
  {0x55926A, "8B 89"}, {0x55926C, "A4 01 00 00"}, {0x559270, "83 F8 64"}, {0x559273, "72 03"},
  {0x559275, "83 E8 64"}, {0x559278, "83 FA 0C"}, {0x55927B, "75 02"}, {0x55927D, "31 C0"},
  {0x55927F, "89 44 24 04"}, {0x559283, "E9 68 9E 0B 00"}, {0x3A31E2, "EB 2E"},
  {0x3A31E4, "90"}, {0x3A31E5, "83 F9 00"}, {0x3A31E8, "75"}, {0x3A31F6, "02"},
  {0x3A3210, "90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90 90"},
  {0x3A322B, "8E"}, {0x3A3210, "EB 18"}, {0x3A3212, "83 F9 64"}, {0x3A3215, "72 CD"},
  {0x3A3217, "83 E9 64"}, {0x3A321A, "EB C8"}, {0x5C0A1B, "90 90 90 90 90 90"},
  {0x5C0A25, "90 90 90 90 90"}, {0x3C11E5, "80"}, {0x3C11EA, "64"}, {0x3C11B7, "8B"},
  {0x3C11B9, "90 90 90 90 90"}, {0x5BF4E3, "00"}, {0x4E3BFA, "90 90 EB"},
  {0x59B3E4, "90 90 90 90 90 90 90 90"},
};

TEST_F(GameRun, LauncherRawWritesMakeCompletePathsInTheGamesBlocks) {
  HMODULE game = LoadLibraryExA(testbedPath("Game.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(game, nullptr);
  auto gameMain = (BOOL(__stdcall*)(HMODULE))(void*)GetProcAddress(game, "GameMain");
  ASSERT_NE(gameMain, nullptr);
  for (const RawWrite& write : kRawWrites) {
    std::string bytes;
    for (const char* hexByte = write.bytes; *hexByte; hexByte += hexByte[2] ? 3 : 2)
      bytes += (char)std::stoul(std::string(hexByte, 2), nullptr, 16);
    char* at = (char*)game + write.rva;
    DWORD old;
    ASSERT_TRUE(VirtualProtect(at, bytes.size(), PAGE_EXECUTE_READWRITE, &old));
    memcpy(at, bytes.data(), bytes.size());
    VirtualProtect(at, bytes.size(), old, &old);
  }
  EXPECT_TRUE(gameMain(game));
  FreeLibrary(game);

  std::map<std::string, std::string> report = GameReport::parse(readFile(kFileName));
  ASSERT_EQ(report["end"], "ok");
  EXPECT_EQ(report["patched"], "partial");
  EXPECT_EQ(report["patched.changed"],
            "4E3BFA,59B3E4,55958F,5BED8E,55926A,3A31E2,3A31F6,3A3210,3A322B,5C0A1B,5C0A25,3C11E5,3C11EA,3C11B7,"
            "3C11B9,5BF4E3");
  EXPECT_EQ(report["bytes.55926A"], "8B89A401000083F864720383E86483FA0C750231C089442404E9689E0B00");
  EXPECT_EQ(report["bytes.3A3210"], "EB1883F96472CD83E964EBC89090909090909090909090909090");
  EXPECT_EQ(report["target.559283"], "game+6130F0");
  EXPECT_EQ(report["race.count"], "2");

  const uint32_t n = 2;
  const char* sites[] = {"race.key", "race.skin", "race.call", "race.number", "race.slot", "race.slot12",
                         "race.pick", "race.swap", "race.limit", "race.cap", "race.count", "race.decode"};
  for (const char* site : sites)
    for (uint32_t v : {0u, 1u, 2u, 3u, 4u, 5u, 99u, 100u, 101u, 102u, 104u, 105u, 200u, 0xFFFFFFFFu}) {
      std::string key = std::string(site) + "." + std::to_string(v);
      ASSERT_EQ(report.count(key), 1u) << key;
      expectRaceLine(key, report[key], rawPatched(site, v, n));
    }
  for (const char* site : {"gate.4E3BFA", "gate.59B3E4"})
    for (uint32_t v : {0u, 1u, 0xFFFFFFFFu}) {
      std::string key = std::string(site) + "." + std::to_string(v);
      ASSERT_EQ(report.count(key), 1u) << key;
      expectRaceLine(key, report[key], rawPatched(site, v, n));
    }
  // Spelled out: 102 is race 2 of two, 103 is past the end, -101 passes the signed "at most two".
  EXPECT_EQ(tokens(report["race.pick.102"])["at"], "3A3235");
  EXPECT_EQ(tokens(report["race.pick.3"])["at"], "3A3230");
  EXPECT_EQ(tokens(report["race.pick.4294967295"])["ecx"], "FFFFFF9B");
}

}  // namespace
