// The jump and call encodings as pure functions of site and target.
#include "patching/internal/BranchEncoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

typedef std::vector<unsigned char> Encoded;

template <typename Branch>
Encoded bytesOf(const Branch& branch) {
  Encoded bytes(sizeof branch);
  std::memcpy(bytes.data(), &branch, sizeof branch);
  return bytes;
}

// The bytes patchJump (E9 rows: by the form needsLongJump picks) or patchCall (E8 rows) writes.
// Addresses compare as unsigned numbers: a "short" distance through the wrap is still far.
TEST(BranchEncoding, FormAndDisplacementAtEachBoundary) {
  struct Case {
    unsigned char kind;
    uint32_t site;
    uint32_t target;
    Encoded expected;
  };
  const uint32_t s = 0x10001000;
  const Case cases[] = {
      {0xE9, s, s + 129, {0xEB, 0x7F}},
      {0xE9, s, s + 130, {0xE9, 0x7D, 0x00, 0x00, 0x00}},
      {0xE9, s, s - 121, {0xEB, 0x85}},
      {0xE9, s, s - 122, {0xE9, 0x81, 0xFF, 0xFF, 0xFF}},
      {0xE9, s, s, {0xEB, 0xFE}},
      {0xE9, s, s + 1, {0xEB, 0xFF}},
      {0xE9, s, s + 2, {0xEB, 0x00}},
      {0xE9, 0x00000010, 0xFFFFFFF0, {0xE9, 0xDB, 0xFF, 0xFF, 0xFF}},
      {0xE9, 0xFFFFFFF0, 0x00000010, {0xE9, 0x1B, 0x00, 0x00, 0x00}},
      {0xE9, 0x00401000, 0x6A2C5F30, {0xE9, 0x2B, 0x4F, 0xEC, 0x69}},
      {0xE9, 0x6A2C5F30, 0x00401000, {0xE9, 0xCB, 0xB0, 0x13, 0x96}},
      {0xE8, 0x00401000, 0x00402000, {0xE8, 0xFB, 0x0F, 0x00, 0x00}},
      {0xE8, 0x00401000, 0x00401005, {0xE8, 0x00, 0x00, 0x00, 0x00}},
      {0xE8, 0x00401000, 0x00401000, {0xE8, 0xFB, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.site << " to " << c.target);
    if (c.kind == 0xE8) {
      EXPECT_EQ(bytesOf(encodeCall(c.site, c.target)), c.expected);
    } else if (needsLongJump(c.site, c.target)) {
      EXPECT_EQ(bytesOf(encodeLongJump(c.site, c.target)), c.expected);
    } else {
      EXPECT_EQ(bytesOf(encodeShortJump(c.site, c.target)), c.expected);
    }
  }
  EXPECT_EQ(branchDisplacement(0xFFFFFFFE, 5, 0x00000003), 0u);
}

}  // namespace
