// Register, stack and exit contract of the six race stubs, entered with every register chosen.
#include "patching/RaceStubHarness.h"

#include "patching/HookGlobals.h"
#include "patching/RacePatches.h"
#include "patching/RaceStubs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStackWords = 1024;
constexpr int kTop = 1000;  // the stub starts with ESP at this word; the words below are its room

uint32_t sentinel(int word)
{
    return 0x5A5A0000u + static_cast<uint32_t>(word);
}

uint32_t address(const void* p)
{
    return reinterpret_cast<uint32_t>(p);
}

uint32_t address(void (*f)())
{
    return reinterpret_cast<uint32_t>(f);
}

// Every register distinct, so a register moved into another one shows.
RaceRegisters incoming(uint32_t eax)
{
    RaceRegisters in;
    in.edi = 0xD7D6D5D4;
    in.esi = 0x50515253;
    in.ebp = 0xB7B6B5B4;
    in.esp = 0;  // set by enterStub
    in.ebx = 0xB0B1B2B3;
    in.edx = 0xD0D1D2D3;
    in.ecx = 0xC0C1C2C3;
    in.eax = eax;
    return in;
}

// Runs the stub on a stack buffer of this frame (inside the thread's stack) filled with sentinels.
RaceCapture enterStub(void (*stub)(), bool byCall, RaceRegisters& in)
{
    uint32_t stack[kStackWords];
    for (int i = 0; i < kStackWords; ++i)
        stack[i] = sentinel(i);
    in.esp = address(&stack[kTop]);
    std::memset(&gRaceCapture, 0xEE, sizeof gRaceCapture);
    enterRaceStub(stub, byCall ? 1 : 0, &in);
    return gRaceCapture;
}

// What a stub that changes nothing would leave: the registers as they came, the stack untouched.
RaceCapture unchanged(const RaceRegisters& in, uint32_t exit)
{
    RaceCapture want;
    want.registers = in;
    want.exit = exit;
    for (int i = 0; i < 4; ++i)
        want.stack[i] = sentinel(kTop + i);
    return want;
}

void pushed(RaceCapture& want, const RaceRegisters& in, uint32_t value)
{
    want.registers.esp = in.esp - 4;
    want.stack[0] = value;
    for (int i = 1; i < 4; ++i)
        want.stack[i] = sentinel(kTop + i - 1);
}

std::string describe(const RaceCapture& c)
{
    const RaceRegisters& r = c.registers;
    char text[256];
    std::snprintf(text, sizeof text,
                  "eax=%08X ebx=%08X ecx=%08X edx=%08X esi=%08X edi=%08X ebp=%08X esp=%08X exit=%u "
                  "stack=%08X %08X %08X %08X",
                  r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi, r.ebp, r.esp, c.exit, c.stack[0], c.stack[1],
                  c.stack[2], c.stack[3]);
    return text;
}

class RaceStubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        useRaces({"Human", "Orc", "Undead", "NightElf"}, {"HUMAN", "ORC", "UNDEAD", "NIGHT_ELF"});
        gRaceKeyResume = address(captureKeyResume);
        gRaceSkinResume = address(captureSkinResume);
        gRaceSkinSelectResume = address(captureSkinSelectResume);
        gRaceSkinSelectOutResume = address(captureSkinSelectOutResume);
        gRaceSkinClampResume = address(captureSkinClampResume);
        gRaceNumberResume = address(captureNumberResume);
    }

    void TearDown() override
    {
        gRaceSkins.clear();
        gRaceKeys.clear();
    }

    // The texts are copied, so an entry is recognised by its own pointer, not by equal text.
    void useRaces(const std::vector<std::string>& skins, const std::vector<std::string>& keys)
    {
        skinTexts = skins;
        keyTexts = keys;
        gRaceSkins.clear();
        gRaceKeys.clear();
        for (const std::string& s : skinTexts)
            gRaceSkins.push_back(s.c_str());
        for (const std::string& k : keyTexts)
            gRaceKeys.push_back(k.c_str());
        gRaceSkinCount = static_cast<unsigned int>(gRaceSkins.size());
        gRaceKeyCount = static_cast<unsigned int>(gRaceKeys.size());
    }

    void useNumberedRaces(int count)
    {
        std::vector<std::string> skins, keys;
        for (int i = 1; i <= count; ++i) {
            skins.push_back("Skin" + std::to_string(i));
            keys.push_back("KEY" + std::to_string(i));
        }
        useRaces(skins, keys);
    }

    const char* key(int entry) const { return gRaceKeys[entry]; }
    const char* skin(int entry) const { return gRaceSkins[entry]; }

    // EAX = race number; ECX = key; EAX = number - 1 (0 for 0); incoming ESI pushed; ESI = incoming ECX.
    void checkKeyStub(uint32_t number, const char* wantKey, uint32_t wantEax)
    {
        SCOPED_TRACE("raceKeyStub, number " + std::to_string(number));
        RaceRegisters in = incoming(number);
        RaceCapture got = enterStub(raceKeyStub, false, in);
        RaceCapture want = unchanged(in, ExitKeyResume);
        want.registers.eax = wantEax;
        want.registers.ecx = address(wantKey);
        want.registers.esi = in.ecx;
        pushed(want, in, in.esi);
        EXPECT_EQ(describe(got), describe(want));
    }

    // EAX = race number (+100); EDX = skin; EAX as given; ECX = the index only when the table was read.
    void checkSkinStub(uint32_t number, const char* wantSkin, uint32_t wantEax, bool tableRead)
    {
        SCOPED_TRACE("raceSkinStub, number " + std::to_string(number));
        RaceRegisters in = incoming(number);
        RaceCapture got = enterStub(raceSkinStub, false, in);
        RaceCapture want = unchanged(in, ExitSkinResume);
        want.registers.eax = wantEax;
        want.registers.edx = address(wantSkin);
        if (tableRead)
            want.registers.ecx = wantEax;
        EXPECT_EQ(describe(got), describe(want));
    }

    // In range: EDX = skin, nothing else. Out of range: incoming ESI pushed, ESI = incoming ECX.
    void checkSelectStub(uint32_t index, const char* wantSkin)
    {
        SCOPED_TRACE("raceSkinSelectStub, index " + std::to_string(index));
        RaceRegisters in = incoming(index);
        RaceCapture got = enterStub(raceSkinSelectStub, false, in);
        RaceCapture want;
        if (wantSkin != nullptr) {
            want = unchanged(in, ExitSkinSelectResume);
            want.registers.edx = address(wantSkin);
        } else {
            want = unchanged(in, ExitSkinSelectOutResume);
            want.registers.esi = in.ecx;
            pushed(want, in, in.esi);
        }
        EXPECT_EQ(describe(got), describe(want));
    }

    // ECX = skin of the index, or of entry 0; nothing else.
    void checkClampStub(uint32_t index, const char* wantSkin)
    {
        SCOPED_TRACE("raceSkinClampStub, index " + std::to_string(index));
        RaceRegisters in = incoming(index);
        RaceCapture got = enterStub(raceSkinClampStub, false, in);
        RaceCapture want = unchanged(in, ExitSkinClampResume);
        want.registers.ecx = address(wantSkin);
        EXPECT_EQ(describe(got), describe(want));
    }

    // Called with ECX = race number; returns with EAX = skin, everything else as it came.
    void checkSkinCall(uint32_t number, const char* wantSkin)
    {
        SCOPED_TRACE("raceSkinCall, number " + std::to_string(number));
        RaceRegisters in = incoming(0xA0A1A2A3);
        in.ecx = number;
        RaceCapture got = enterStub(raceSkinCall, true, in);
        RaceCapture want = unchanged(in, ExitReturned);
        want.registers.eax = address(wantSkin);
        EXPECT_EQ(describe(got), describe(want));
    }

    // EAX = race number (+100) -> EAX stripped and pushed, ECX = EBP.
    void checkNumberStub(uint32_t number, uint32_t wantEax)
    {
        SCOPED_TRACE("raceNumberStub, number " + std::to_string(number));
        RaceRegisters in = incoming(number);
        RaceCapture got = enterStub(raceNumberStub, false, in);
        RaceCapture want = unchanged(in, ExitNumberResume);
        want.registers.eax = wantEax;
        want.registers.ecx = in.ebp;
        pushed(want, in, wantEax);
        EXPECT_EQ(describe(got), describe(want));
    }

    std::vector<std::string> skinTexts;
    std::vector<std::string> keyTexts;
};

TEST_F(RaceStubTest, FixedTextsAndLookups)
{
    EXPECT_STREQ(gRandomRaceKey, "RANDOM");
    EXPECT_STREQ(gDefaultRaceSkin, "Default");
    EXPECT_STREQ(gUnknownRaceKey, "UNKNOWN");
    EXPECT_STREQ(gUnknownRaceSkin, "Unknown");
    EXPECT_EQ(raceKeyAt(0), key(0));
    EXPECT_EQ(raceKeyAt(3), key(3));
    EXPECT_EQ(raceSkinAt(0), skin(0));
    EXPECT_EQ(raceSkinAt(3), skin(3));
    EXPECT_STREQ(raceKeyAt(3), "NIGHT_ELF");
    EXPECT_STREQ(raceSkinAt(2), "Undead");
}

TEST_F(RaceStubTest, KeyStubWithStandardRaces)
{
    checkKeyStub(0, gRandomRaceKey, 0);
    checkKeyStub(1, key(0), 0);
    checkKeyStub(2, key(1), 1);
    checkKeyStub(4, key(3), 3);
    checkKeyStub(5, gUnknownRaceKey, 4);
    checkKeyStub(101, gUnknownRaceKey, 100);  // no 100 offset for keys
    checkKeyStub(0xFFFFFFFF, gUnknownRaceKey, 0xFFFFFFFE);
    EXPECT_STREQ(key(3), "NIGHT_ELF");
}

TEST_F(RaceStubTest, SkinStubWithStandardRaces)
{
    checkSkinStub(0, gDefaultRaceSkin, 0, false);
    checkSkinStub(100, gDefaultRaceSkin, 0, false);
    checkSkinStub(1, skin(0), 0, true);
    checkSkinStub(101, skin(0), 0, true);
    checkSkinStub(4, skin(3), 3, true);
    checkSkinStub(104, skin(3), 3, true);
    checkSkinStub(5, gUnknownRaceSkin, 4, false);
    checkSkinStub(99, gUnknownRaceSkin, 98, false);
    checkSkinStub(200, gUnknownRaceSkin, 99, false);  // the offset comes off once
    checkSkinStub(0xFFFFFFFF, gUnknownRaceSkin, 0xFFFFFF9A, false);
}

TEST_F(RaceStubTest, SkinSelectStubWithStandardRaces)
{
    checkSelectStub(0, skin(0));
    checkSelectStub(3, skin(3));
    checkSelectStub(4, nullptr);
    checkSelectStub(100, nullptr);
    checkSelectStub(0xFFFFFFFF, nullptr);
}

TEST_F(RaceStubTest, SkinClampStubWithStandardRaces)
{
    checkClampStub(0, skin(0));
    checkClampStub(2, skin(2));
    checkClampStub(3, skin(3));
    checkClampStub(4, skin(0));
    checkClampStub(0xFFFFFFFF, skin(0));
}

TEST_F(RaceStubTest, SkinCallWithStandardRaces)
{
    checkSkinCall(1, skin(0));
    checkSkinCall(4, skin(3));
    checkSkinCall(0, gUnknownRaceSkin);
    checkSkinCall(5, gUnknownRaceSkin);
    checkSkinCall(101, gUnknownRaceSkin);  // no 100 offset here
    checkSkinCall(0xFFFFFFFF, gUnknownRaceSkin);
}

TEST_F(RaceStubTest, NumberStubStripsTheOffsetOnce)
{
    checkNumberStub(0, 0);
    checkNumberStub(1, 1);
    checkNumberStub(99, 99);
    checkNumberStub(100, 0);
    checkNumberStub(101, 1);
    checkNumberStub(200, 100);
    checkNumberStub(0xFFFFFFFF, 0xFFFFFF9B);
}

TEST_F(RaceStubTest, OneRaceTable)
{
    useRaces({"Solo"}, {"SOLO"});
    checkKeyStub(1, key(0), 0);
    checkKeyStub(2, gUnknownRaceKey, 1);
    checkSkinStub(1, skin(0), 0, true);
    checkSkinStub(101, skin(0), 0, true);
    checkSkinStub(2, gUnknownRaceSkin, 1, false);
    checkSelectStub(0, skin(0));
    checkSelectStub(1, nullptr);
    checkClampStub(0, skin(0));
    checkClampStub(1, skin(0));
    checkSkinCall(1, skin(0));
    checkSkinCall(2, gUnknownRaceSkin);
}

TEST_F(RaceStubTest, FullTableOf255Races)
{
    useNumberedRaces(255);
    checkKeyStub(255, key(254), 254);
    checkKeyStub(256, gUnknownRaceKey, 255);
    checkKeyStub(100, key(99), 99);
    // Numbers of 100 and more lose the offset first, so 255 reaches entry 154 and 99 is the last plain one.
    checkSkinStub(255, skin(154), 154, true);
    checkSkinStub(99, skin(98), 98, true);
    checkSkinStub(199, skin(98), 98, true);
    checkSelectStub(254, skin(254));
    checkSelectStub(255, nullptr);
    checkClampStub(254, skin(254));
    checkClampStub(255, skin(0));
    checkSkinCall(255, skin(254));
    checkSkinCall(256, gUnknownRaceSkin);
}

} // namespace
