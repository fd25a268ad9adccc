// patch: bytes, results, last-error codes and page protections, in pages of every kind. (Code of loaded
// modules is rewritten and run in every launch test, in the stand-in game.)
#include "patch.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

const unsigned char kData[] = {1, 2, 3, 4, 5, 6, 7};

unsigned addressOf(const void* at) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(at));
}

TEST(Patch, WritesIntoEveryCommittedProtectionAndRestoresIt) {
  for (DWORD protection :
       {PAGE_READONLY, PAGE_READWRITE, PAGE_EXECUTE, PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE, PAGE_NOACCESS}) {
    SCOPED_TRACE(protection);
    Page page(protection, 0x90);
    EXPECT_EQ(outcome([&] { return patch(page.at + 0x100, kData, sizeof kData); }), "true 0");
    EXPECT_EQ(protectionOf(page.at), protection);
    EXPECT_EQ(bytesAt(page.at + 0xFF, 9), (Bytes{0x90, 1, 2, 3, 4, 5, 6, 7, 0x90}));
  }
  Page page(PAGE_READONLY, 0xCC);
  EXPECT_EQ(outcome([&] { return patch(page.at, kData, 0); }), "true 0");
  EXPECT_EQ(bytesAt(page.at, 1), Bytes(1, 0xCC));
}

// Each refused range leaves every byte as it was, even in a first page that could have been written.
TEST(Patch, RefusesRangesThatCannotAllBeWritten) {
  Page reserved(kReservedOnly, 0);
  SplitPages pages(0x5A);
  const std::pair<const void*, const char*> cases[] = {
      {nullptr, "false 1"},
      {reserved.at, "false 2"},
      {freedPage(), "false 2"},
      {pages.fixed + 8, "false 2"},                       // a view whose protection cannot be raised
      {pages.fixed - 2, "false 2"},                       // runs from a writable page into that view
      {reinterpret_cast<void*>(0xFFFFFFFCu), "false 2"},  // wraps past the top
  };
  for (const auto& c : cases) {
    EXPECT_EQ(outcome([&] { return patch(const_cast<void*>(c.first), kData, sizeof kData); }), c.second) << c.first;
  }
  EXPECT_EQ(bytesAt(pages.fixed - 8, 24), Bytes(24, 0x5A));
  EXPECT_EQ(protectionOf(pages.changeable), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(protectionOf(pages.fixed), static_cast<DWORD>(PAGE_READONLY));
}

// Two pages of one allocation with different protections: each gets its own back.
TEST(Patch, RestoresEachPageOfARangeToItsOwnProtection) {
  Page pages(PAGE_READWRITE, 0, 2);
  setProtection(pages.at, PAGE_EXECUTE_READ);
  EXPECT_EQ(outcome([&] { return patch(pages.at + kPageSize - 2, kData, 4); }), "true 0");
  EXPECT_EQ(protectionOf(pages.at), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(protectionOf(pages.at + kPageSize), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(bytesAt(pages.at + kPageSize - 3, 6), (Bytes{0, 1, 2, 3, 4, 0}));
}

TEST(Patch, ValueOverloadWritesTheLowBytesLowestFirst) {
  struct Case {
    unsigned value;
    unsigned size;
    const char* outcome;
    Bytes expected;  // the six bytes from one before the address
  };
  const Bytes untouched(6, 0xCC);
  const Case cases[] = {
      {0x90, 1, "true 0", {0xCC, 0x90, 0xCC, 0xCC, 0xCC, 0xCC}},
      {0xF08B, 2, "true 0", {0xCC, 0x8B, 0xF0, 0xCC, 0xCC, 0xCC}},
      {0x64F883, 3, "true 0", {0xCC, 0x83, 0xF8, 0x64, 0xCC, 0xCC}},
      {0x04244489, 4, "true 0", {0xCC, 0x89, 0x44, 0x24, 0x04, 0xCC}},
      {0x11223344, 5, "false 3", untouched},
      {0x11223344, 8, "false 3", untouched},
      {0x11223344, 0xFFFFFFFF, "false 3", untouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Page page(PAGE_EXECUTE_READ, 0xCC);
    EXPECT_EQ(outcome([&] { return patch(addressOf(page.at + 0x10), c.value, c.size); }), c.outcome);
    EXPECT_EQ(bytesAt(page.at + 0xF, 6), c.expected);
    EXPECT_EQ(protectionOf(page.at), static_cast<DWORD>(PAGE_EXECUTE_READ));
  }
  // The size is checked before the address.
  EXPECT_EQ(outcome([] { return patch(0u, 0x11223344u, 5); }), "false 3");
  EXPECT_EQ(outcome([] { return patch(0u, 0x90u, 1); }), "false 1");
  EXPECT_EQ(outcome([] { return patch(addressOf(freedPage()), 0x90u, 1); }), "false 2");
}

}  // namespace
