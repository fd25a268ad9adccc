// The built stand-in game modules read from disk: fixed code, imports, exports, variants.
#include "support/TempFolder.h"
#include "testbed/game/PeFile.h"
#include "testbed/game/Report.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

std::string testbedPath(const std::string& relative) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string bin = path;
  bin.resize(bin.rfind('\\'));
  return bin + "\\..\\testbed\\" + relative;
}

const char* const kVariants[] = {"Game.dll", "variants\\nogamemain\\Game.dll", "variants\\nouser32\\Game.dll",
                                 "variants\\nostorm\\Game.dll"};

// One block of the game's code: its RVA and its bytes, "??" where a byte depends on the link
// (displacements to the harness and import stubs, absolute addresses of the game's data).
struct Block {
  uint32_t rva;
  const char* bytes;
};

const Block kBlocks[] = {
  {0xE5D0, "56 8B 74 24 08 FF 76 20 FF 76 1C FF 76 18 FF 76 14 FF 76 10 FF 76 0C FF 76 08 FF 76 04 FF 76 00"
           " E8 ?? ?? ?? ?? 89 46 24 C7 46 28 00 00 00 00 E8 ?? ?? ?? ?? 89 46 28 5E C2 04 00"},
  {0x31F510, "E8 ?? ?? ?? ?? CC"},
  {0x31F530, "E8 ?? ?? ?? ?? CC"},
  {0x31F5D3, "83 F8 03 77 0C 8B 14 85 ?? ?? ?? ?? E9 4C FF FF FF 56 8B F1 EB 30 CC"},
  {0x31F619, "E8 ?? ?? ?? ?? CC"},
  {0x3A2853, "83 F8 03 77 0C 8B 0C 85 ?? ?? ?? ?? E9 AC CC F7 FF 8B 0D ?? ?? ?? ?? E9 A1 CC F7 FF CC"},
  {0x3A31E2, "89 C8 49 83 F9 FF 7F 0A 31 D2 E8 ?? ?? ?? ?? CC CC CC 83 F9 04 89 CA EB 15 CC"},
  {0x3A3210, "8D 41 01 EB 15 CC"},
  {0x3A3229, "CC 0F 8C 05 00 00 00 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
  {0x3C11B7, "89 C8 25 FF 00 00 00 EB 25 CC"},
  {0x3C11E5, "83 E0 7F 83 E9 0A E8 ?? ?? ?? ?? CC"},
  {0x4E3BF8, "85 C0 74 07 7F 0A E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
  {0x55926A, "8B 91 A0 01 00 00 83 F8 04 76 03 83 E0 00 83 FA 0D 74 02 31 C9 89 44 24 08 E9 78 9E 0B 00 CC"},
  {0x55958F, "56 8B F1 EB 0E CC"},
  {0x5595A2, "E8 ?? ?? ?? ?? CC"},
  {0x5595BD, "E8 ?? ?? ?? ?? CC"},
  {0x58AA02, "56 8B F1 85 C0 74 0F 48 83 F8 03 77 10 8B 0C 85 ?? ?? ?? ?? EB 2E B9 ?? ?? ?? ?? EB 27"
             " B9 ?? ?? ?? ?? EB 20 CC"},
  {0x58AA46, "E8 ?? ?? ?? ?? CC"},
  {0x58BF7E, "B8 ?? ?? ?? ?? C3 CC"},
  {0x599BCC, "50 8B CD 0F 1F 00 E8 ?? ?? ?? ?? CC"},
  {0x59B3E2, "85 C0 0F 84 07 00 00 00 31 C9 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
  {0x5A0DE5, "E8 06 00 00 00 E8 ?? ?? ?? ?? CC 8D 41 FF 83 F8 03 77 08 8B 04 85 ?? ?? ?? ?? C3"
             " B8 ?? ?? ?? ?? C3 CC"},
  {0x5A3D84, "83 F8 64 72 03 83 E8 64 85 C0 74 11 48 83 F8 03 77 12 89 C1 8B 14 8D ?? ?? ?? ?? EB 16"
             " BA ?? ?? ?? ?? EB 0F BA ?? ?? ?? ?? EB 08 CC"},
  {0x5A3DB7, "E8 ?? ?? ?? ?? CC"},
  {0x5BED8E, "3C 04 72 19 E8 ?? ?? ?? ?? CC"},
  {0x5BEDAB, "E8 ?? ?? ?? ?? CC"},
  {0x5BF4DF, "83 F8 04 77 05 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
  {0x5C0A18, "83 F8 04 0F 87 0E 00 00 00 89 C2 FF CA B9 04 00 00 00 E8 ?? ?? ?? ?? E8 ?? ?? ?? ?? CC"},
  {0x6130F0, "E8 ?? ?? ?? ?? CC"},
  {0x613100, "E8 ?? ?? ?? ??"},
};

// Every capture point: a call into the harness.
const uint32_t kCapturePoints[] = {
  0x31F510, 0x31F530, 0x31F619, 0x3A31EC, 0x3A3230, 0x3A3235, 0x3C11EB, 0x4E3BFE, 0x4E3C03, 0x4E3C08,
  0x5595A2, 0x5595BD, 0x58AA46, 0x599BD2, 0x59B3EC, 0x59B3F1, 0x5A0DEA, 0x5A3DB7, 0x5BED92, 0x5BEDAB,
  0x5BF4E4, 0x5BF4E9, 0x5C0A2A, 0x5C0A2F, 0x6130F0, 0x613100,
};

// Operands holding the absolute address of a built-in text or table: each needs a base relocation.
const uint32_t kAbsoluteOperands[] = {0x31F5DB, 0x3A285B, 0x3A2866, 0x58AA12, 0x58AA19, 0x58AA20,
                                      0x58BF7F, 0x5A0DFB, 0x5A0E01, 0x5A3D9B, 0x5A3DA2, 0x5A3DA9};

class GameImage : public ::testing::Test {
protected:
  bool load(const char* relative, PeFile& image) {
    std::string bytes = readFile(testbedPath(relative));
    return !bytes.empty() && image.parse(bytes);
  }

  static uint32_t word(const PeFile& image, uint32_t rva) {
    std::string bytes;
    uint32_t value = 0;
    if (image.bytesAt(rva, 4, bytes)) memcpy(&value, bytes.data(), 4);
    return value;
  }

  static uint32_t branchTarget(const PeFile& image, uint32_t rva) {
    return rva + 5 + word(image, rva + 1);
  }

  // The NUL-terminated text at the address held in the operand at operandRva.
  static std::string textThrough(const PeFile& image, uint32_t operandRva) {
    uint32_t rva = word(image, operandRva) - image.imageBase();
    std::string text, byte;
    while (text.size() < 256 && image.bytesAt(rva + text.size(), 1, byte) && byte[0] != '\0') text += byte;
    return text;
  }

  static void expectBlock(const PeFile& image, const Block& block) {
    SCOPED_TRACE(block.bytes);
    std::string pattern = block.bytes;
    std::vector<std::string> tokens;
    for (size_t at = 0; at < pattern.size(); at += 3) tokens.push_back(pattern.substr(at, 2));
    std::string actual, before;
    ASSERT_TRUE(image.bytesAt(block.rva, tokens.size(), actual)) << std::hex << block.rva;
    ASSERT_TRUE(image.bytesAt(block.rva - 1, 1, before));
    EXPECT_EQ((unsigned char)before[0], 0xCC) << "the block at " << std::hex << block.rva << " starts later";
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (tokens[i] == "??") continue;
      EXPECT_EQ((unsigned)(unsigned char)actual[i], std::stoul(tokens[i], nullptr, 16))
          << "byte at " << std::hex << block.rva + i;
    }
  }

  static const PeImport* importOf(const std::vector<PeImport>& imports, const char* dll) {
    for (const PeImport& import : imports)
      if (_stricmp(import.dll.c_str(), dll) == 0) return &import;
    return nullptr;
  }

  static std::set<std::string> namesOf(const PeImport* import) {
    std::set<std::string> names;
    if (import)
      for (const PeImportEntry& e : import->entries) names.insert(e.byOrdinal ? "#" + std::to_string(e.ordinal) : e.name);
    return names;
  }
};

TEST_F(GameImage, FixedCodeLiesAtItsOffsetsInEveryVariant) {
  for (const char* variant : kVariants) {
    SCOPED_TRACE(variant);
    PeFile image;
    ASSERT_TRUE(load(variant, image));
    EXPECT_EQ(image.imageBase(), 0x6F000000u);
    ASSERT_FALSE(image.sections().empty());
    EXPECT_EQ(image.sections()[0].name, ".text");
    EXPECT_EQ(image.sections()[0].rva, 0x1000u);
    std::string fill;
    ASSERT_TRUE(image.bytesAt(0x1000, 16, fill));
    EXPECT_EQ(fill, std::string(16, '\xCC'));
    for (const Block& block : kBlocks) expectBlock(image, block);

    // Every capture point calls the same routine, outside the fixed code.
    uint32_t harness = branchTarget(image, kCapturePoints[0]);
    EXPECT_GT(harness, 0x613105u);
    for (uint32_t point : kCapturePoints) {
      std::string op;
      ASSERT_TRUE(image.bytesAt(point, 1, op));
      EXPECT_EQ((unsigned char)op[0], 0xE8) << std::hex << point;
      EXPECT_EQ(branchTarget(image, point), harness) << std::hex << point;
    }
    std::string pop;
    ASSERT_TRUE(image.bytesAt(harness, 2, pop));
    EXPECT_EQ(pop, "\x8F\x05");   // pop dword [abs]: drops the capture point's return address

    // Jump targets between blocks.
    EXPECT_EQ(branchTarget(image, 0x559283), 0x613100u);
    EXPECT_EQ(branchTarget(image, 0x5A0DE5), 0x5A0DF0u);
    EXPECT_EQ(branchTarget(image, 0x31F5DF), 0x31F530u);
    EXPECT_EQ(branchTarget(image, 0x3A285F), 0x31F510u);
    EXPECT_EQ(branchTarget(image, 0x3A286A), 0x31F510u);

    // The built-in races and texts, through the operands that name them, each relocated.
    for (uint32_t at : {0x31F5DBu, 0x3A285Bu, 0x5A0DFBu, 0x5A3D9Bu}) {
      uint32_t table = word(image, at) - image.imageBase();
      const char* skins[] = {"Human", "Orc", "Undead", "NightElf"};
      for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(textThrough(image, table + 4 * i), skins[i]) << std::hex << at;
    }
    EXPECT_EQ(word(image, 0x3A2866), word(image, 0x3A285B));   // the clamp's entry 0
    uint32_t keys = word(image, 0x58AA12) - image.imageBase();
    const char* keyTexts[] = {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(textThrough(image, keys + 4 * i), keyTexts[i]);
    EXPECT_EQ(textThrough(image, 0x58AA19), "RANDOM");
    EXPECT_EQ(textThrough(image, 0x58AA20), "UNKNOWN");
    EXPECT_EQ(textThrough(image, 0x5A3DA2), "Default");
    EXPECT_EQ(textThrough(image, 0x5A3DA9), "Unknown");
    EXPECT_EQ(textThrough(image, 0x5A0E01), "Unknown");
    EXPECT_EQ(textThrough(image, GameReport::kVersionPointer), GameReport::kVersionText);
    std::vector<uint32_t> relocations = image.relocations();
    for (uint32_t operand : kAbsoluteOperands)
      EXPECT_NE(std::find(relocations.begin(), relocations.end(), operand), relocations.end())
          << "no relocation for " << std::hex << operand;
    std::string count;
    ASSERT_TRUE(image.bytesAt(GameReport::kRaceCountByte, 1, count));
    EXPECT_EQ(count, "\x04");
  }
}

TEST_F(GameImage, ArchiveCallSitesGoThroughTheStormImportSlots) {
  PeFile image;
  ASSERT_TRUE(load("Game.dll", image));
  const PeImport* storm = importOf(image.imports(), "Storm.dll");
  ASSERT_NE(storm, nullptr);
  // call at the site -> jmp dword [slot] -> the slot of the ordinal.
  for (auto [site, ordinal] : {std::pair<uint32_t, uint16_t>{0xE5F0, 293}, {0xE5FF, 266}}) {
    uint32_t stub = branchTarget(image, site);
    std::string jump;
    ASSERT_TRUE(image.bytesAt(stub, 2, jump)) << std::hex << site;
    EXPECT_EQ(jump, "\xFF\x25") << std::hex << site;
    uint32_t slot = word(image, stub + 2) - image.imageBase();
    const PeImportEntry* found = nullptr;
    for (const PeImportEntry& e : storm->entries)
      if (e.slotRva == slot) found = &e;
    ASSERT_NE(found, nullptr) << std::hex << site;
    EXPECT_TRUE(found->byOrdinal);
    EXPECT_EQ(found->ordinal, ordinal);
  }
}

TEST_F(GameImage, ImportsAndExportsOfGameAndVariants) {
  const std::set<std::string> stormOrdinals = {"#252", "#253", "#264", "#265", "#266", "#267",
                                               "#269", "#275", "#279", "#280", "#293"};
  const char* hooked[] = {"CreateWindowExA", "SetWindowTextA", "LoadCursorA", "LoadImageA"};

  PeFile game, noGameMain, noUser32, noStorm;
  ASSERT_TRUE(load(kVariants[0], game));
  ASSERT_TRUE(load(kVariants[1], noGameMain));
  ASSERT_TRUE(load(kVariants[2], noUser32));
  ASSERT_TRUE(load(kVariants[3], noStorm));

  auto gameImports = game.imports();
  std::set<std::string> user32 = namesOf(importOf(gameImports, "user32.dll"));
  for (const char* name : hooked) EXPECT_TRUE(user32.count(name)) << name;
  EXPECT_EQ(namesOf(importOf(gameImports, "Storm.dll")), stormOrdinals);
  EXPECT_EQ(game.exportNames(), std::vector<std::string>{"GameMain"});

  // No GameMain: nothing exported, the same imports.
  auto imports = noGameMain.imports();
  EXPECT_TRUE(noGameMain.exportNames().empty());
  EXPECT_EQ(namesOf(importOf(imports, "user32.dll")), user32);
  EXPECT_EQ(namesOf(importOf(imports, "Storm.dll")), stormOrdinals);

  // No user32 descriptor at all; Storm and GameMain as in Game.dll.
  imports = noUser32.imports();
  EXPECT_EQ(importOf(imports, "user32.dll"), nullptr);
  EXPECT_EQ(namesOf(importOf(imports, "Storm.dll")), stormOrdinals);
  EXPECT_EQ(noUser32.exportNames(), std::vector<std::string>{"GameMain"});

  // No Storm.dll descriptor; user32 and GameMain as in Game.dll.
  imports = noStorm.imports();
  EXPECT_EQ(importOf(imports, "Storm.dll"), nullptr);
  EXPECT_EQ(namesOf(importOf(imports, "user32.dll")), user32);
  EXPECT_EQ(noStorm.exportNames(), std::vector<std::string>{"GameMain"});

  // The other descriptors are the same in all four.
  for (PeFile* variant : {&noGameMain, &noUser32, &noStorm}) {
    std::set<std::string> expected, actual;
    for (const PeImport& i : gameImports)
      if (_stricmp(i.dll.c_str(), "user32.dll") && _stricmp(i.dll.c_str(), "Storm.dll")) expected.insert(i.dll);
    for (const PeImport& i : variant->imports())
      if (_stricmp(i.dll.c_str(), "user32.dll") && _stricmp(i.dll.c_str(), "Storm.dll")) actual.insert(i.dll);
    EXPECT_EQ(actual, expected);
  }
}

}  // namespace
