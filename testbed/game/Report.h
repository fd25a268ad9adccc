// The stand-in game's report "GameReport.txt": its fixed inputs, the offsets it names, and a reader.
#pragma once

// Every key is described in testbed/game/README.md; the report is one "key=value" per line, the value
// running unchanged to the end of the line (trailing blanks included).

#include <cstdint>
#include <map>
#include <string>

namespace GameReport {

constexpr const char* kFileName = "GameReport.txt";

// ---- Window, cursor, icon
constexpr const char* kWindowClass = "Warcraft III";
constexpr const char* kTitleCreate = "Warcraft III";  // CreateWindowExA          -> title.create
constexpr const char* kTitleUpper = "WARCRAFT III";   // SetWindowTextA           -> title.upper
constexpr const char* kTitleOther = "Warcraft III ";  // with a trailing blank    -> title.other
                                                      // SetWindowTextA(null)     -> title.null
constexpr const char* kCursorGame = "BlizzardCursor.cur";
constexpr const char* kCursorOther = "OtherCursor.cur";
constexpr const char* kCursorLauncher = "CorvaneCursor.cur";
constexpr const char* kIconGame = "war3x.ico";
constexpr const char* kIconOther = "war3.ico";
constexpr const char* kIconLauncher = "Corvane.ico";

// ---- Archives opened through the two call sites, and the files asked for
constexpr const char* kArchiveEx = "War3.mpq";  // through 0xE5F0 (ordinal 293)
constexpr uint32_t kArchiveExPriority = 2;
constexpr const char* kArchive = "War3x.mpq";  // through 0xE5FF (ordinal 266)
constexpr uint32_t kArchivePriority = 3;
// Asked for with ordinal 279 (file.NAME), in this order.
constexpr const char* kLoadedFiles[] = {"UI\\Widgets\\Glues\\icon-map-test.blp", "ui\\widgets\\glues\\ICON-MAP.blp",
                                        "war3mapIcon.blp", "Identity.txt", "Missing\\Nothing.txt"};
// Opened and read with ordinals 267, 265, 269, 264, 275, 253 (open.NAME).
constexpr const char* kOpenedFiles[] = {"Identity.txt"};
// Names a file of names, one a line, asked for like kLoadedFiles (read.NAME).
constexpr const char* kReadsVariable = "CORVANE_GAME_READS";

// ---- Race runs: every register that a case does not set holds its pattern at entry
constexpr uint32_t kInEax = 0xA0A0A0A0;
constexpr uint32_t kInEcx = 0xC1C1C1C1;
constexpr uint32_t kInEdx = 0xD2D2D2D2;
constexpr uint32_t kInEbx = 0xB3B3B3B3;
constexpr uint32_t kInEsi = 0x5E5E5E5E;
constexpr uint32_t kInEdi = 0xD1D1D1D1;
constexpr uint32_t kInEbp = 0xBEBEBEBE;
// [esp + 4 * i] at entry.
constexpr uint32_t kFrame[4] = {0xF0000000, 0xF0000004, 0xF0000008, 0xF000000C};
// race.slot: ECX points at a player record holding these words.
constexpr uint32_t kRecordWord1A0 = 0x01A00A01;
constexpr uint32_t kRecordWord1A4 = 0x01A40A41;
// race.slot12: EDX at entry.
constexpr uint32_t kSlotKind12 = 12;

// Sites entered by the race runs and where they come out.
constexpr uint32_t kEntryKey = 0x58AA02, kExitKey = 0x58AA46;
constexpr uint32_t kEntrySkin = 0x5A3D84, kExitSkin = 0x5A3DB7;
constexpr uint32_t kEntrySelect = 0x31F5D3, kExitSelectIn = 0x31F530, kExitSelectOut = 0x31F619;
constexpr uint32_t kEntryClamp = 0x3A2853, kExitClamp = 0x31F510;
constexpr uint32_t kEntryCall = 0x5A0DE5, kExitCall = 0x5A0DEA;
constexpr uint32_t kEntryNumber = 0x599BCC, kExitNumber = 0x599BD2;
constexpr uint32_t kEntrySlot = 0x55926A, kExitSlotLauncher = 0x6130F0, kExitSlotGame = 0x613100;
constexpr uint32_t kEntryPick = 0x3A31E2, kExitPickRandom = 0x3A31EC, kExitPickValid = 0x3A3235,
                   kExitPickInvalid = 0x3A3230;
constexpr uint32_t kEntrySwap = 0x55958F, kExitSwapLauncher = 0x5595BD, kExitSwapGame = 0x5595A2;
constexpr uint32_t kEntryLimit = 0x5BED8E, kExitLimitAccept = 0x5BEDAB, kExitLimitRefuse = 0x5BED92;
constexpr uint32_t kEntryCap = 0x5BF4DF, kExitCapAccept = 0x5BF4E4, kExitCapRefuse = 0x5BF4E9;
constexpr uint32_t kEntryCount = 0x5C0A18, kExitCountAccept = 0x5C0A2A, kExitCountRefuse = 0x5C0A2F;
constexpr uint32_t kEntryDecode = 0x3C11B7, kExitDecode = 0x3C11EB;
constexpr uint32_t kEntryGateA = 0x4E3BF8, kExitGateAAccept = 0x4E3C08, kExitGateARefuseZero = 0x4E3C03,
                   kExitGateARefuse = 0x4E3BFE;
constexpr uint32_t kEntryGateB = 0x59B3E2, kExitGateBAccept = 0x59B3EC, kExitGateBRefuse = 0x59B3F1;

// The one-byte race count of the game's code; the race runs take their n from it.
constexpr uint32_t kRaceCountByte = 0x3A31F6;
// The instruction whose operand (at +1) is the version text pointer.
constexpr uint32_t kVersionFunction = 0x58BF7E;
constexpr uint32_t kVersionPointer = 0x58BF7F;
constexpr const char* kVersionText = "Warcraft III (Version 1.26a stand-in)";

// ---- Code bytes reported as bytes.RVA (hex RVA, upper case). The last field says whether the region
// takes part in "patched=": the race count byte keeps 04 under the launcher's four standard races.
struct Region {
  uint32_t rva;
  uint32_t size;
  bool decides;
};
constexpr Region kRegions[] = {
    {0xE5F0, 5, true},   {0xE5FF, 5, true},    {0x4E3BFA, 3, true}, {0x59B3E4, 8, true},  {0x3A2853, 5, true},
    {0x58AA02, 5, true}, {0x5A3D84, 5, true},  {0x31F5D3, 5, true}, {0x5A0DE5, 5, true},  {0x55958F, 5, true},
    {0x5BED8E, 2, true}, {0x55926A, 30, true}, {0x3A31E2, 7, true}, {0x3A31F6, 1, false}, {0x3A3210, 26, true},
    {0x3A322B, 1, true}, {0x599BCC, 6, true},  {0x5C0A1B, 6, true}, {0x5C0A25, 5, true},  {0x3C11E5, 1, true},
    {0x3C11EA, 1, true}, {0x3C11B7, 1, true},  {0x3C11B9, 5, true}, {0x5BF4E3, 1, true},
};
// Sites whose first byte may be a call (E8) or jump (E9) with a 32-bit displacement: target.RVA.
constexpr uint32_t kBranchSites[] = {0xE5F0,   0xE5FF,   0x3A2853, 0x58AA02, 0x5A3D84,
                                     0x31F5D3, 0x5A0DE5, 0x599BCC, 0x559283};

// The report as a map from key to value; a later line with the same key wins.
inline std::map<std::string, std::string> parse(const std::string& text) {
  std::map<std::string, std::string> values;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return values;
}

}  // namespace GameReport
