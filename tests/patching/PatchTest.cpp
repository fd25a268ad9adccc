// patch and its jump and call writers: bytes, results, last-error codes and page protections, in pages
// of every kind. (Code of loaded modules is rewritten and run in every launch test, in the stand-in game;
// the branch encodings at every boundary are BranchEncodingTest's.)
#include "patch.h"
#include "patching/PatchWriters.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

const unsigned char kData[] = {1, 2, 3, 4, 5, 6, 7};

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
  Page pages(PAGE_EXECUTE_READ, 0x5A, 2);
  pages.decommit(1);
  char* edge = pages.at + kPageSize;
  const std::pair<const void*, const char*> cases[] = {
      {nullptr, "false 1"},
      {edge, "false 2"},  // reserved, not committed
      {freedPage(), "false 2"},
      {edge - 2, "false 2"},                              // runs from a committed page into the reserved one
      {reinterpret_cast<void*>(0xFFFFFFFCu), "false 2"},  // wraps past the top
  };
  for (const auto& c : cases) {
    EXPECT_EQ(outcome([&] { return patch(const_cast<void*>(c.first), kData, sizeof kData); }), c.second) << c.first;
  }
  EXPECT_EQ(bytesAt(edge - 8, 8), Bytes(8, 0x5A));
  EXPECT_EQ(protectionOf(pages.at), static_cast<DWORD>(PAGE_EXECUTE_READ));
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

// The value's first size bytes, lowest first; the size is checked before the address.
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
      {0x11223344, 0xFFFFFFFF, "false 3", untouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Page page(PAGE_EXECUTE_READ, 0xCC);
    EXPECT_EQ(outcome([&] { return patch(addressOf(page.at + 0x10), c.value, c.size); }), c.outcome);
    EXPECT_EQ(bytesAt(page.at + 0xF, 6), c.expected);
    EXPECT_EQ(protectionOf(page.at), static_cast<DWORD>(PAGE_EXECUTE_READ));
  }
  EXPECT_EQ(outcome([] { return patch(0u, 0x11223344u, 5); }), "false 3");
  EXPECT_EQ(outcome([] { return patch(0u, 0x90u, 1); }), "false 1");
}

// patchJump's outcome, or patchCall's (which has no result: "true" and the code it left).
std::string branch(uint8_t opcode, const void* site, unsigned target) {
  if (opcode == 0xE8) {
    return outcome([&] {
      patchCall(addressOf(site), target);
      return true;
    });
  }
  return outcome([&] { return patchJump(addressOf(site), target); });
}

// A site on a page that is only reserved, or whose opcode lies on the last byte of the committed page
// before it: a refused opcode fails the branch, a refused operand leaves the new opcode in front of
// nothing written, and patchJump still reports the opcode's success.
TEST(PatchWriters, RefusedWritesLeaveTheSiteOrTheOpcodeOnly) {
  struct Case {
    uint8_t opcode;  // E9: patchJump, E8: patchCall
    int site;        // from the reserved page's start
    int distance;
    const char* outcome;
    Bytes expected;  // the committed page's last two bytes
  };
  const Case cases[] = {
      {0xE9, 0x10, 0x1000, "false 2", {0x5A, 0x5A}}, {0xE9, 0x10, 4, "false 2", {0x5A, 0x5A}},
      {0xE8, 0x10, 0x1000, "true 2", {0x5A, 0x5A}},  {0xE9, -1, 0x1000, "true 2", {0x5A, 0xE9}},
      {0xE9, -1, -0x10, "true 2", {0x5A, 0xEB}},     {0xE8, -1, 0x1000, "true 2", {0x5A, 0xE8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.opcode) + " at " + std::to_string(c.site));
    Page pages(PAGE_EXECUTE_READ, 0x5A, 2);
    pages.decommit(1);
    char* site = pages.at + kPageSize + c.site;
    EXPECT_EQ(branch(c.opcode, site, addressOf(site + c.distance)), c.outcome);
    EXPECT_EQ(bytesAt(pages.at + kPageSize - 2, 2), c.expected);
  }
  EXPECT_EQ(outcome([] { return patchJump(0, 0x1000); }), "false 1");
}

}  // namespace
