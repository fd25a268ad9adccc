// patchJump and patchCall: encodings at every boundary and partial writes. (Branches between modules run
// in every launch test, from the stand-in game into the launcher's hooks and race stubs.)
#include "patching/PatchWriters.h"

#include "patch.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

unsigned addressOf(const void* at) {
  return static_cast<unsigned>(reinterpret_cast<uintptr_t>(at));
}

int run(const void* code) {
  return reinterpret_cast<int (*)()>(const_cast<void*>(code))();
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

TEST(PatchJump, ChoosesTheFormAtEachBoundaryAndLands) {
  struct Case {
    int distance;  // target - site
    Bytes expected;
  };
  const Case cases[] = {
      {129, {0xEB, 0x7F}},  {130, {0xE9, 0x7D, 0x00, 0x00, 0x00}},
      {-121, {0xEB, 0x85}}, {-122, {0xE9, 0x81, 0xFF, 0xFF, 0xFF}},
      {2, {0xEB, 0x00}},    {-1, {0xEB, 0xFD}},
      {0, {0xEB, 0xFE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.distance);
    Page page(PAGE_EXECUTE_READ, 0xCC);
    char* site = page.at + 0x400;
    bool lands = c.distance <= -6 || c.distance >= 6;  // room for mov eax, 0x5C; ret at the target
    if (lands) putBytes(site + c.distance, Bytes{0xB8, 0x5C, 0x00, 0x00, 0x00, 0xC3});
    EXPECT_EQ(branch(0xE9, site, addressOf(site + c.distance)), "true 0");
    Bytes written = c.expected;
    written.push_back(0xCC);  // nothing written beyond
    EXPECT_EQ(bytesAt(site, written.size()), written);
    EXPECT_EQ(protectionOf(site), static_cast<DWORD>(PAGE_EXECUTE_READ));
    if (lands) {
      EXPECT_EQ(run(site), 0x5C);
    }
  }
}

TEST(PatchCall, WritesACallThatReturnsToTheFollowingByte) {
  Page page(PAGE_EXECUTE_READ, 0xCC);
  char* site = page.at + 0x100;
  putBytes(page.at + 0x40, Bytes{0xB8, 0x33, 0x00, 0x00, 0x00, 0xC3});
  putBytes(site, Bytes{0x90, 0x90, 0x90, 0x90, 0x90, 0xC3});
  EXPECT_EQ(branch(0xE8, site, addressOf(page.at + 0x40)), "true 0");  // 0x40 - 0x105 = -0xC5
  EXPECT_EQ(bytesAt(site, 6), (Bytes{0xE8, 0x3B, 0xFF, 0xFF, 0xFF, 0xC3}));
  EXPECT_EQ(protectionOf(site), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(run(site), 0x33);
  // Short distances still take the long call form.
  EXPECT_EQ(branch(0xE8, page.at + 0x200, addressOf(page.at + 0x207)), "true 0");
  EXPECT_EQ(bytesAt(page.at + 0x200, 5), (Bytes{0xE8, 0x02, 0x00, 0x00, 0x00}));
}

// A site in a view that refuses writes, or whose opcode lies on the last byte of a writable page and
// operand in that view: a refused opcode fails the branch, a refused operand leaves the new opcode in
// front of the old bytes, and patchJump still reports the opcode's success.
TEST(PatchWriters, RefusedWritesLeaveTheSiteOrTheOpcodeOnly) {
  struct Case {
    uint8_t opcode;  // E9: patchJump, E8: patchCall
    int site;        // from the view's start
    int distance;
    const char* outcome;
    Bytes expected;  // from two before the view's start
  };
  const Bytes untouched(0x20, 0x5A);
  const Case cases[] = {
      {0xE9, 0x10, 0x1000, "false 2", untouched},
      {0xE9, 0x10, 4, "false 2", untouched},
      {0xE8, 0x10, 0x1000, "true 2", untouched},
      {0xE9, -1, 0x1000, "true 2", {0x5A, 0xE9, 0x5A, 0x5A, 0x5A, 0x5A}},
      {0xE9, -1, -0x10, "true 2", {0x5A, 0xEB, 0x5A}},
      {0xE8, -1, 0x1000, "true 2", {0x5A, 0xE8, 0x5A, 0x5A, 0x5A, 0x5A}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.opcode) + " at " + std::to_string(c.site));
    SplitPages pages(0x5A);
    char* site = pages.fixed + c.site;
    EXPECT_EQ(branch(c.opcode, site, addressOf(site + c.distance)), c.outcome);
    EXPECT_EQ(bytesAt(pages.fixed - 2, c.expected.size()), c.expected);
  }
  EXPECT_EQ(outcome([] { return patchJump(0, 0x1000); }), "false 1");
}

}  // namespace
