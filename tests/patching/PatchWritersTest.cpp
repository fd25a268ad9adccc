// patchJump and patchCall: encodings at every boundary, partial writes, and branches across modules.
#include "patching/PatchWriters.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int farJumpSite();    // PatchableCode.S: returns 2
extern "C" int farCallSite();    // returns 3
extern "C" int farJumpTarget();  // returns 11

namespace {

const DWORD kUntouched = 0xDEAD;

unsigned addressOf(const void* at) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(at));
}

int run(const void* code) {
  return reinterpret_cast<int (*)()>(const_cast<void*>(code))();
}

// mov eax, value; ret
Bytes returning(unsigned char value) {
  return Bytes{0xB8, value, 0x00, 0x00, 0x00, 0xC3};
}

TEST(PatchJump, ChoosesTheFormAtEachBoundaryAndLands) {
  struct Case {
    int distance;  // target - site
    Bytes expected;
  };
  const Case cases[] = {
      {129, {0xEB, 0x7F}},
      {130, {0xE9, 0x7D, 0x00, 0x00, 0x00}},
      {-121, {0xEB, 0x85}},
      {-122, {0xE9, 0x81, 0xFF, 0xFF, 0xFF}},
      {2, {0xEB, 0x00}},
      {-1, {0xEB, 0xFD}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    Page page(PAGE_EXECUTE_READ, 0xCC);
    char* site = page.at + 0x400;
    char* target = site + c.distance;
    if (c.distance <= -6 || c.distance >= 6) putBytes(target, returning(0x5C));
    SetLastError(kUntouched);
    EXPECT_TRUE(patchJump(addressOf(site), addressOf(target)));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(bytesAt(site, c.expected.size()), c.expected);
    EXPECT_EQ(bytesAt(site + c.expected.size(), 1), Bytes(1, 0xCC));  // nothing written beyond
    EXPECT_EQ(protectionOf(site), static_cast<DWORD>(PAGE_EXECUTE_READ));
    if (c.distance <= -6 || c.distance >= 6) {
      EXPECT_EQ(run(site), 0x5C);
    }
  }
}

TEST(PatchJump, TargetEqualToSiteIsAShortJumpToItself) {
  Page page(PAGE_EXECUTE_READ, 0xCC);
  EXPECT_TRUE(patchJump(addressOf(page.at + 0x20), addressOf(page.at + 0x20)));
  EXPECT_EQ(bytesAt(page.at + 0x20, 3), (Bytes{0xEB, 0xFE, 0xCC}));
}

TEST(PatchCall, WritesACallThatReturnsToTheFollowingByte) {
  Page page(PAGE_EXECUTE_READ, 0xCC);
  char* site = page.at + 0x100;
  char* target = page.at + 0x40;  // 0x40 - 0x105 = -0xC5
  putBytes(target, returning(0x33));
  putBytes(site, Bytes{0x90, 0x90, 0x90, 0x90, 0x90, 0xC3});
  SetLastError(kUntouched);
  patchCall(addressOf(site), addressOf(target));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(bytesAt(site, 6), (Bytes{0xE8, 0x3B, 0xFF, 0xFF, 0xFF, 0xC3}));
  EXPECT_EQ(protectionOf(site), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(run(site), 0x33);
  // Short distances still take the long call form.
  char* close = page.at + 0x200;
  patchCall(addressOf(close), addressOf(close + 7));
  EXPECT_EQ(bytesAt(close, 5), (Bytes{0xE8, 0x02, 0x00, 0x00, 0x00}));
}

TEST(PatchWriters, FailedOpcodeWriteLeavesTheSiteUnchanged) {
  SplitPages pages(0x5A);
  unsigned site = addressOf(pages.fixed + 0x10);
  SetLastError(kUntouched);
  EXPECT_FALSE(patchJump(site, site + 0x1000));
  EXPECT_EQ(GetLastError(), 2u);
  SetLastError(kUntouched);
  EXPECT_FALSE(patchJump(site, site + 4));
  EXPECT_EQ(GetLastError(), 2u);
  SetLastError(kUntouched);
  patchCall(site, site + 0x1000);
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_EQ(bytesAt(pages.fixed + 0x10, 5), Bytes(5, 0x5A));

  SetLastError(kUntouched);
  EXPECT_FALSE(patchJump(0, 0x1000));
  EXPECT_EQ(GetLastError(), 1u);
}

// Opcode on the last byte of a writable page, operand on the following page that refuses: the new
// opcode stays in front of the old operand bytes, and patchJump still reports the opcode's success.
TEST(PatchWriters, FailedOperandWriteLeavesTheNewOpcode) {
  {
    SplitPages pages(0x5A);
    unsigned site = addressOf(pages.fixed - 1);
    SetLastError(kUntouched);
    EXPECT_TRUE(patchJump(site, site + 0x1000));
    EXPECT_EQ(GetLastError(), 2u);  // left by the refused operand write
    EXPECT_EQ(bytesAt(pages.fixed - 2, 6), (Bytes{0x5A, 0xE9, 0x5A, 0x5A, 0x5A, 0x5A}));
  }
  {
    SplitPages pages(0x5A);
    unsigned site = addressOf(pages.fixed - 1);
    EXPECT_TRUE(patchJump(site, site - 0x10));
    EXPECT_EQ(bytesAt(pages.fixed - 2, 3), (Bytes{0x5A, 0xEB, 0x5A}));
  }
  {
    SplitPages pages(0x5A);
    unsigned site = addressOf(pages.fixed - 1);
    patchCall(site, site + 0x1000);
    EXPECT_EQ(bytesAt(pages.fixed - 2, 6), (Bytes{0x5A, 0xE8, 0x5A, 0x5A, 0x5A, 0x5A}));
  }
}

// Jumps and calls between the test program's code and a DLL's, in both directions.
TEST(PatchWriters, BranchesAcrossModulesReachTheirTargets) {
  HMODULE dll = LoadLibraryA("NoImports.dll");
  ASSERT_NE(dll, nullptr);
  const void* bareValue = reinterpret_cast<const void*>(GetProcAddress(dll, "bareValue"));
  ASSERT_NE(bareValue, nullptr);
  ASSERT_EQ(run(bareValue), 7);
  unsigned dllSite = addressOf(bareValue);
  unsigned exeSite = addressOf(reinterpret_cast<const void*>(&farJumpSite));
  unsigned exeCallSite = addressOf(reinterpret_cast<const void*>(&farCallSite));
  unsigned exeTarget = addressOf(reinterpret_cast<const void*>(&farJumpTarget));
  ASSERT_GT(dllSite - exeSite, 0x10000u);  // far apart, the DLL above
  DWORD dllProtection = protectionOf(bareValue);

  EXPECT_TRUE(patchJump(exeSite, dllSite));
  EXPECT_EQ(bytesAt(reinterpret_cast<const void*>(&farJumpSite), 5), relativeBranch(0xE9, exeSite, dllSite));
  int (*volatile jumpSite)() = &farJumpSite;
  EXPECT_EQ(jumpSite(), 7);

  patchCall(exeCallSite, dllSite);
  Bytes call = relativeBranch(0xE8, exeCallSite, dllSite);
  call.push_back(0xC3);  // the original ret follows the call
  EXPECT_EQ(bytesAt(reinterpret_cast<const void*>(&farCallSite), 6), call);
  int (*volatile callSite)() = &farCallSite;
  EXPECT_EQ(callSite(), 7);

  EXPECT_TRUE(patchJump(dllSite, exeTarget));
  EXPECT_EQ(bytesAt(bareValue, 5), relativeBranch(0xE9, dllSite, exeTarget));
  EXPECT_EQ(protectionOf(bareValue), dllProtection);
  EXPECT_EQ(run(bareValue), 11);
  EXPECT_EQ(jumpSite(), 11);  // through the DLL and back
  FreeLibrary(dll);
}

}  // namespace
