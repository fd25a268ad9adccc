// patch: bytes, results, last-error codes and page protections, in pages of every kind.
#include "patch.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int valueSite();  // PatchableCode.S: B8 01 00 00 00 C3

namespace {

const DWORD kUntouched = 0xDEAD;  // last-error value set before each call, so a code is seen to be set

unsigned addressOf(const void* at) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(at));
}

TEST(Patch, WritesIntoEveryCommittedProtectionAndRestoresIt) {
  const DWORD protections[] = {PAGE_READONLY, PAGE_READWRITE, PAGE_EXECUTE, PAGE_EXECUTE_READ,
                               PAGE_EXECUTE_READWRITE, PAGE_NOACCESS};
  const unsigned char data[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  for (DWORD protection : protections) {
    SCOPED_TRACE(protection);
    Page page(protection, 0x90);
    SetLastError(kUntouched);
    EXPECT_TRUE(patch(page.at + 0x100, data, sizeof data));
    EXPECT_EQ(GetLastError(), kPatchWritten);
    EXPECT_EQ(protectionOf(page.at), protection);
    EXPECT_EQ(bytesAt(page.at + 0xFF, 9), (Bytes{0x90, 1, 2, 3, 4, 5, 6, 7, 0x90}));
  }
}

TEST(Patch, RefusesNullReservedAndFreedAddresses) {
  const unsigned char data[] = {0xAB};
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(nullptr, data, 1));
  EXPECT_EQ(GetLastError(), kPatchNullAddress);
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(0u, 0x90u, 1));
  EXPECT_EQ(GetLastError(), kPatchNullAddress);

  ReservedPage reserved;
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(reserved.at, data, 1));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);

  char* freed = freedPage();
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(freed, data, 1));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(addressOf(freed), 0x90u, 1));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);
}

TEST(Patch, RefusesAViewWhoseProtectionCannotBeRaised) {
  SplitPages pages(0x5A);
  const unsigned char data[] = {1, 2, 3, 4};
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(pages.fixed + 8, data, sizeof data));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);
  EXPECT_EQ(bytesAt(pages.fixed + 8, 4), Bytes(4, 0x5A));
  EXPECT_EQ(protectionOf(pages.fixed), static_cast<DWORD>(PAGE_READONLY));
}

// A range whose second page refuses: nothing is written, not even in the first page.
TEST(Patch, WritesNothingWhenAPageFurtherInTheRangeRefuses) {
  SplitPages pages(0x5A);
  const unsigned char data[] = {1, 2, 3, 4};
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(pages.fixed - 2, data, sizeof data));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);
  EXPECT_EQ(bytesAt(pages.fixed - 2, 4), Bytes(4, 0x5A));
  EXPECT_EQ(protectionOf(pages.changeable), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(protectionOf(pages.fixed), static_cast<DWORD>(PAGE_READONLY));
}

// Two pages of one allocation with different protections: each gets its own back.
TEST(Patch, RestoresEachPageOfARangeToItsOwnProtection) {
  char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD previous;
  ASSERT_TRUE(VirtualProtect(pages, kPageSize, PAGE_EXECUTE_READ, &previous));
  const unsigned char data[] = {0xC3, 0xC3, 0xC3, 0xC3};
  SetLastError(kUntouched);
  EXPECT_TRUE(patch(pages + kPageSize - 2, data, sizeof data));
  EXPECT_EQ(GetLastError(), kPatchWritten);
  EXPECT_EQ(protectionOf(pages), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(protectionOf(pages + kPageSize), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(bytesAt(pages + kPageSize - 3, 6), (Bytes{0, 0xC3, 0xC3, 0xC3, 0xC3, 0}));
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(Patch, ValueOverloadWritesTheLowBytesLowestFirst) {
  struct Case {
    unsigned value;
    unsigned size;
    Bytes expected;  // the six bytes from one before the address
  };
  const Case cases[] = {
      {0x90, 1, {0xCC, 0x90, 0xCC, 0xCC, 0xCC, 0xCC}},
      {0x64F883, 3, {0xCC, 0x83, 0xF8, 0x64, 0xCC, 0xCC}},
      {0xF08B, 2, {0xCC, 0x8B, 0xF0, 0xCC, 0xCC, 0xCC}},
      {0x04244489, 4, {0xCC, 0x89, 0x44, 0x24, 0x04, 0xCC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Page page(PAGE_EXECUTE_READ, 0xCC);
    SetLastError(kUntouched);
    EXPECT_TRUE(patch(addressOf(page.at + 0x10), c.value, c.size));
    EXPECT_EQ(GetLastError(), kPatchWritten);
    EXPECT_EQ(bytesAt(page.at + 0xF, 6), c.expected);
    EXPECT_EQ(protectionOf(page.at), static_cast<DWORD>(PAGE_EXECUTE_READ));
  }
}

TEST(Patch, ValueOverloadRefusesSizesAboveFourAndWritesNothing) {
  Page page(PAGE_READWRITE, 0xCC);
  for (unsigned size : {5u, 8u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    SetLastError(kUntouched);
    EXPECT_FALSE(patch(addressOf(page.at + 0x10), 0x11223344u, size));
    EXPECT_EQ(GetLastError(), kPatchValueTooLong);
    EXPECT_EQ(bytesAt(page.at + 0x10, 8), Bytes(8, 0xCC));
  }
  // The size is checked first, so a null address with a bad size also reports the size.
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(0u, 0x11223344u, 5));
  EXPECT_EQ(GetLastError(), kPatchValueTooLong);
}

TEST(Patch, SizeZeroWritesNothingAndSucceeds) {
  Page page(PAGE_READONLY, 0xCC);
  const unsigned char data[] = {0x00};
  SetLastError(kUntouched);
  EXPECT_TRUE(patch(page.at, data, 0));
  EXPECT_EQ(GetLastError(), kPatchWritten);
  EXPECT_EQ(bytesAt(page.at, 1), Bytes(1, 0xCC));
}

TEST(Patch, RangeWrappingPastTheTopIsRefused) {
  const unsigned char data[16] = {};
  SetLastError(kUntouched);
  EXPECT_FALSE(patch(reinterpret_cast<void*>(static_cast<uintptr_t>(0xFFFFFFF8u)), data, sizeof data));
  EXPECT_EQ(GetLastError(), kPatchProtectionRefused);
}

// The test program's own code: write an operand, see the function return it, protection kept.
TEST(Patch, RewritesCodeOfALoadedModule) {
  unsigned char* site = reinterpret_cast<unsigned char*>(&valueSite);
  DWORD protection = protectionOf(site);
  ASSERT_EQ(bytesAt(site, 6), (Bytes{0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3}));
  EXPECT_EQ(valueSite(), 1);
  SetLastError(kUntouched);
  EXPECT_TRUE(patch(addressOf(site + 1), 0x2A, 4));
  EXPECT_EQ(GetLastError(), kPatchWritten);
  EXPECT_EQ(bytesAt(site, 6), (Bytes{0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3}));
  EXPECT_EQ(protectionOf(site), protection);
  int (*volatile call)() = &valueSite;
  EXPECT_EQ(call(), 42);
}

}  // namespace
