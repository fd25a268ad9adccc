// Every byte installRacePatches writes into a fake game image, and that it writes nothing else.
#include "patching/HookGlobals.h"
#include "patching/RacePatches.h"
#include "patching/RaceStubs.h"
#include "patching/TestPages.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Write {
  uint32_t offset;
  Bytes bytes;
};

Bytes nops(int count) {
  return Bytes(count, 0x90);
}

// The bytes the game module must hold afterwards, in the order they are written (later ones win).
std::vector<Write> expectedWrites(uint32_t base, uint8_t countByte) {
  auto jumpTo = [base](uint32_t site, void (*stub)()) { return relativeBranch(0xE9, base + site, addressOf(stub)); };
  return {
      {0x3A2853, jumpTo(0x3A2853, raceSkinClampStub)},
      {0x55958F, {0x56, 0x8B, 0xF0, 0xEB, 0x29}},
      {0x5BED8E, {0xEB, 0x1B}},
      {0x55926A, {0x8B, 0x89, 0xA4, 0x01, 0x00, 0x00, 0x83, 0xF8, 0x64, 0x72, 0x03, 0x83, 0xE8, 0x64, 0x83,
                  0xFA, 0x0C, 0x75, 0x02, 0x31, 0xC0, 0x89, 0x44, 0x24, 0x04, 0xE9, 0x68, 0x9E, 0x0B, 0x00}},
      {0x3A31E2, {0xEB, 0x2E, 0x90, 0x83, 0xF9, 0x00, 0x75}},
      {0x3A31F6, {countByte}},
      {0x3A3210, nops(26)},
      {0x3A322B, {0x8E}},
      {0x3A3210, {0xEB, 0x18, 0x83, 0xF9, 0x64, 0x72, 0xCD, 0x83, 0xE9, 0x64, 0xEB, 0xC8}},  // over the nops
      {0x599BCC, jumpTo(0x599BCC, raceNumberStub)},
      {0x599BD1, {0x90}},
      {0x5C0A1B, nops(6)},
      {0x5C0A25, nops(5)},
      {0x3C11E5, {0x80}},
      {0x3C11EA, {0x64}},
      {0x3C11B7, {0x8B}},
      {0x3C11B9, nops(5)},
      {0x5BF4E3, {0x00}},
      {0x58AA02, jumpTo(0x58AA02, raceKeyStub)},
      {0x5A3D84, jumpTo(0x5A3D84, raceSkinStub)},
      {0x31F5D3, jumpTo(0x31F5D3, raceSkinSelectStub)},
      {0x5A0DE5, relativeBranch(0xE8, base + 0x5A0DE5, addressOf(raceSkinCall))},
  };
}

Bytes expectedImage(uint32_t base, uint8_t countByte) {
  Bytes image(kFakeGameSize, kFakeGameFill);
  for (const Write& w : expectedWrites(base, countByte)) std::memcpy(&image[w.offset], w.bytes.data(), w.bytes.size());
  return image;
}

class RaceInstallTest : public ::testing::Test {
protected:
  void TearDown() override {
    gRaceSkins.clear();
    gRaceKeys.clear();
    gGameBase = 0;
  }
  void install(const FakeGame& game, int skins, int keys) {
    gRaceSkins.assign(skins, "Skin");
    gRaceKeys.assign(keys, "KEY");
    gGameBase = game.base;
    installRacePatches();
  }
};

// The count byte is the low byte of the skin count (300 races give 2C); the resume addresses follow the
// game's base. A run whose first bytes lie on a page that is not committed stops at its first failed
// byte, although the rest of it lies on a committed page; every later row is still written.
TEST_F(RaceInstallTest, WritesExactlyTheTable) {
  struct Case {
    int skins;
    int keys;
    uint8_t countByte;
    uint32_t holeEnd;              // the page that is not committed ends here, inside a run; 0: none
    uint32_t keptFirst, keptLast;  // bytes of that run past the hole that must stay as they were
  };
  // Run 0x3A3210..0x3A3229 (0x3A321A..0x3A321B are written again by a later row); run 0x5C0A1B..0x5C0A20.
  const Case cases[] = {{4, 4, 0x04, 0, 1, 0},
                        {1, 1, 0x01, 0, 1, 0},
                        {255, 255, 0xFF, 0, 1, 0},
                        {300, 300, 0x2C, 0, 1, 0},
                        {2, 3, 0x02, 0, 1, 0},
                        {4, 4, 0x04, 0x3A321A, 0x3A321C, 0x3A3229},
                        {4, 4, 0x04, 0x5C0A1E, 0x5C0A1E, 0x5C0A20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.skins) + " skins, " + std::to_string(c.keys) + " keys, hole " +
                 std::to_string(c.holeEnd));
    FakeGame game(c.holeEnd);
    ASSERT_NE(game.memory, nullptr);
    install(game, c.skins, c.keys);
    EXPECT_EQ(gRaceSkinCount, static_cast<unsigned int>(c.skins));
    EXPECT_EQ(gRaceKeyCount, static_cast<unsigned int>(c.keys));
    Bytes want = expectedImage(game.base, c.countByte);
    for (uint32_t offset = c.keptFirst; offset <= c.keptLast; ++offset) want[offset] = kFakeGameFill;
    EXPECT_EQ(game.differences(want), "");
    EXPECT_EQ(protectionOf(reinterpret_cast<void*>(game.base + 0x55926A)), static_cast<DWORD>(PAGE_EXECUTE_READ));
    const uint32_t resumes[] = {gRaceKeyResume,           gRaceSkinResume,      gRaceSkinSelectResume,
                                gRaceSkinSelectOutResume, gRaceSkinClampResume, gRaceNumberResume};
    const uint32_t offsets[] = {0x58AA46, 0x5A3DB7, 0x31F530, 0x31F619, 0x31F510, 0x599BD2};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(resumes[i] - game.base, offsets[i]) << i;
  }
}

}  // namespace
