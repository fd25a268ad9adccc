// Register, stack and exit contract of the six race stubs, entered with every register chosen.
#include "patching/RaceStubHarness.h"

#include "patching/HookGlobals.h"
#include "patching/RacePatches.h"
#include "patching/RaceStubs.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kStackWords = 1024;
const int kTop = 1000;  // the stub starts with ESP at this word; the words below are its room

uint32_t sentinel(int word) {
  return 0x5A5A0000u + static_cast<uint32_t>(word);
}

// The stub pushed value: ESP one word lower, the value on top of the sentinels.
void push(RaceCapture& want, uint32_t value) {
  want.registers.esp -= 4;
  want.stack[0] = value;
  for (int i = 1; i < 4; ++i) want.stack[i] = sentinel(kTop + i - 1);
}

enum Stub { Key, Skin, Select, Clamp, Call, Number };
const char* const kStubNames[] = {"key", "skin", "select", "clamp", "call", "number"};
// The text a row expects: an entry of the race tables, or one of these.
enum Text { Random = -1, Default = -2, Unknown = -3, Out = -4 };

struct Case {
  uint32_t in;   // the race number or index, in EAX (in ECX for the call)
  int text;      // for the number stub: unused
  uint32_t eax;  // EAX left by the key, skin and number stubs
};

std::string describe(const RaceCapture& c) {
  const RaceRegisters& r = c.registers;
  char text[256];
  std::snprintf(text, sizeof text,
                "eax=%08X ebx=%08X ecx=%08X edx=%08X esi=%08X edi=%08X ebp=%08X esp=%08X exit=%u "
                "stack=%08X %08X %08X %08X",
                r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi, r.ebp, r.esp, c.exit, c.stack[0], c.stack[1], c.stack[2],
                c.stack[3]);
  return text;
}

class RaceStubTest : public ::testing::Test {
protected:
  void SetUp() override {
    gRaceKeyResume = addressOf(captureKeyResume);
    gRaceSkinResume = addressOf(captureSkinResume);
    gRaceSkinSelectResume = addressOf(captureSkinSelectResume);
    gRaceSkinSelectOutResume = addressOf(captureSkinSelectOutResume);
    gRaceSkinClampResume = addressOf(captureSkinClampResume);
    gRaceNumberResume = addressOf(captureNumberResume);
  }
  void TearDown() override {
    gRaceSkins.clear();
    gRaceKeys.clear();
  }

  // The texts are copied, so an entry is recognised by its own pointer, not by equal text.
  void useRaces(int count) {
    skinTexts.clear();
    keyTexts.clear();
    for (int i = 1; i <= count; ++i) {
      skinTexts.push_back("Skin" + std::to_string(i));
      keyTexts.push_back("KEY" + std::to_string(i));
    }
    gRaceSkins.clear();
    gRaceKeys.clear();
    for (const std::string& s : skinTexts) gRaceSkins.push_back(s.c_str());
    for (const std::string& k : keyTexts) gRaceKeys.push_back(k.c_str());
    gRaceSkinCount = count;
    gRaceKeyCount = count;
  }

  uint32_t textAddress(Stub stub, int text) const {
    if (text == Out || stub == Number) return 0;  // no text expected
    if (text == Random) return addressOf(gRandomRaceKey);
    if (text == Default) return addressOf(gDefaultRaceSkin);
    if (text == Unknown) return addressOf(stub == Key ? gUnknownRaceKey : gUnknownRaceSkin);
    return addressOf(stub == Key ? gRaceKeys[text] : gRaceSkins[text]);
  }

  // Runs the stub on a stack buffer of this frame filled with sentinels, every register distinct, and
  // compares all it leaves with what the row expects.
  void check(Stub stub, const Case& row) {
    SCOPED_TRACE(std::string(kStubNames[stub]) + " stub, " + std::to_string(row.in));
    uint32_t stack[kStackWords];
    for (int i = 0; i < kStackWords; ++i) stack[i] = sentinel(i);
    RaceRegisters in = {0xD7D6D5D4, 0x50515253, 0xB7B6B5B4, addressOf(&stack[kTop]),
                        0xB0B1B2B3, 0xD0D1D2D3, 0xC0C1C2C3, row.in};
    if (stub == Call) {
      in.eax = 0xA0A1A2A3;
      in.ecx = row.in;
    }
    void (*const stubs[])() = {raceKeyStub,       raceSkinStub, raceSkinSelectStub,
                               raceSkinClampStub, raceSkinCall, raceNumberStub};
    std::memset(&gRaceCapture, 0xEE, sizeof gRaceCapture);
    enterRaceStub(stubs[stub], stub == Call ? 1 : 0, &in);

    RaceCapture want = {in, 0, {sentinel(kTop), sentinel(kTop + 1), sentinel(kTop + 2), sentinel(kTop + 3)}};
    RaceRegisters& out = want.registers;
    uint32_t text = textAddress(stub, row.text);
    switch (stub) {
      case Key:  // EAX = number - 1 (0 for 0), ECX = key; incoming ESI pushed, ESI = incoming ECX
        want.exit = ExitKeyResume;
        out.eax = row.eax;
        out.ecx = text;
        out.esi = in.ecx;
        push(want, in.esi);
        break;
      case Skin:  // EAX = index, EDX = skin; ECX = the index only when the table was read
        want.exit = ExitSkinResume;
        out.eax = row.eax;
        out.edx = text;
        if (row.text >= 0) out.ecx = row.eax;
        break;
      case Select:  // in range: EDX = skin; out of range: incoming ESI pushed, ESI = incoming ECX
        want.exit = row.text == Out ? ExitSkinSelectOutResume : ExitSkinSelectResume;
        if (row.text != Out) {
          out.edx = text;
          break;
        }
        out.esi = in.ecx;
        push(want, in.esi);
        break;
      case Clamp:  // ECX = skin of the index, or of entry 0
        want.exit = ExitSkinClampResume;
        out.ecx = text;
        break;
      case Call:  // returns with EAX = skin
        want.exit = ExitReturned;
        out.eax = text;
        break;
      case Number:  // EAX stripped of the offset and pushed, ECX = EBP
        want.exit = ExitNumberResume;
        out.eax = row.eax;
        out.ecx = in.ebp;
        push(want, row.eax);
        break;
    }
    EXPECT_EQ(describe(gRaceCapture), describe(want));
  }

  std::vector<std::string> skinTexts;
  std::vector<std::string> keyTexts;
};

// Numbers of 100 and more lose the offset once for the skin and number stubs, never for the others.
TEST_F(RaceStubTest, EveryStubWithTablesOfOneFourAnd255Races) {
  struct Table {
    int races;
    Stub stub;
    std::vector<Case> cases;
  };
  const uint32_t kAll = 0xFFFFFFFF;
  const Table tables[] = {
      {4, Key, {{0, Random, 0}, {1, 0, 0}, {2, 1, 1}, {4, 3, 3}, {5, Unknown, 4}}},
      {4, Key, {{101, Unknown, 100}, {kAll, Unknown, kAll - 1}}},
      {4, Skin, {{0, Default, 0}, {100, Default, 0}, {1, 0, 0}, {101, 0, 0}, {4, 3, 3}, {104, 3, 3}}},
      {4, Skin, {{5, Unknown, 4}, {99, Unknown, 98}, {200, Unknown, 99}, {kAll, Unknown, 0xFFFFFF9A}}},
      {4, Select, {{0, 0, 0}, {3, 3, 0}, {4, Out, 0}, {100, Out, 0}, {kAll, Out, 0}}},
      {4, Clamp, {{0, 0, 0}, {2, 2, 0}, {3, 3, 0}, {4, 0, 0}, {kAll, 0, 0}}},
      {4, Call, {{1, 0, 0}, {4, 3, 0}, {0, Unknown, 0}, {5, Unknown, 0}, {101, Unknown, 0}, {kAll, Unknown, 0}}},
      {4, Number, {{0, 0, 0}, {1, 0, 1}, {99, 0, 99}, {100, 0, 0}, {101, 0, 1}, {200, 0, 100}, {kAll, 0, 0xFFFFFF9B}}},
      {1, Key, {{1, 0, 0}, {2, Unknown, 1}}},
      {1, Skin, {{1, 0, 0}, {101, 0, 0}, {2, Unknown, 1}}},
      {1, Select, {{0, 0, 0}, {1, Out, 0}}},
      {1, Clamp, {{0, 0, 0}, {1, 0, 0}}},
      {1, Call, {{1, 0, 0}, {2, Unknown, 0}}},
      {255, Key, {{255, 254, 254}, {256, Unknown, 255}, {100, 99, 99}}},
      {255, Skin, {{255, 154, 154}, {99, 98, 98}, {199, 98, 98}}},
      {255, Select, {{254, 254, 0}, {255, Out, 0}}},
      {255, Clamp, {{254, 254, 0}, {255, 0, 0}}},
      {255, Call, {{255, 254, 0}, {256, Unknown, 0}}},
  };
  for (const Table& table : tables) {
    SCOPED_TRACE(std::to_string(table.races) + " races");
    useRaces(table.races);
    for (const Case& c : table.cases) check(table.stub, c);
  }
}

}  // namespace
