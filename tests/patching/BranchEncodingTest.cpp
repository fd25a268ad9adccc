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

// The bytes patchJump writes for a site and target, by the form needsLongJump picks.
Encoded jumpBytes(uint32_t site, uint32_t target) {
  if (needsLongJump(site, target)) return bytesOf(encodeLongJump(site, target));
  return bytesOf(encodeShortJump(site, target));
}

TEST(BranchEncoding, JumpFormAtEachBoundary) {
  const uint32_t site = 0x10001000;
  EXPECT_EQ(jumpBytes(site, site + 129), (Encoded{0xEB, 0x7F}));
  EXPECT_EQ(jumpBytes(site, site + 130), (Encoded{0xE9, 0x7D, 0x00, 0x00, 0x00}));
  EXPECT_EQ(jumpBytes(site, site - 121), (Encoded{0xEB, 0x85}));
  EXPECT_EQ(jumpBytes(site, site - 122), (Encoded{0xE9, 0x81, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(jumpBytes(site, site), (Encoded{0xEB, 0xFE}));
  EXPECT_EQ(jumpBytes(site, site + 1), (Encoded{0xEB, 0xFF}));
  EXPECT_EQ(jumpBytes(site, site + 2), (Encoded{0xEB, 0x00}));
}

// Addresses compare as unsigned numbers: a "short" distance through the wrap is still far.
TEST(BranchEncoding, FarJumpsAcrossTheAddressSpace) {
  EXPECT_TRUE(needsLongJump(0x00000010, 0xFFFFFFF0));
  EXPECT_EQ(jumpBytes(0x00000010, 0xFFFFFFF0), (Encoded{0xE9, 0xDB, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(needsLongJump(0xFFFFFFF0, 0x00000010));
  EXPECT_EQ(jumpBytes(0xFFFFFFF0, 0x00000010), (Encoded{0xE9, 0x1B, 0x00, 0x00, 0x00}));
  EXPECT_EQ(jumpBytes(0x00401000, 0x6A2C5F30), (Encoded{0xE9, 0x2B, 0x4F, 0xEC, 0x69}));
  EXPECT_EQ(jumpBytes(0x6A2C5F30, 0x00401000), (Encoded{0xE9, 0xCB, 0xB0, 0x13, 0x96}));
}

TEST(BranchEncoding, CallsAreAlwaysLong) {
  EXPECT_EQ(bytesOf(encodeCall(0x00401000, 0x00402000)), (Encoded{0xE8, 0xFB, 0x0F, 0x00, 0x00}));
  EXPECT_EQ(bytesOf(encodeCall(0x00401000, 0x00401005)), (Encoded{0xE8, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(bytesOf(encodeCall(0x00401000, 0x00401000)), (Encoded{0xE8, 0xFB, 0xFF, 0xFF, 0xFF}));
}

TEST(BranchEncoding, DisplacementIsCountedFromTheEndOfTheInstruction) {
  EXPECT_EQ(branchDisplacement(0x1000, 5, 0x1005), 0u);
  EXPECT_EQ(branchDisplacement(0x1000, 2, 0x1000), 0xFFFFFFFEu);
  EXPECT_EQ(branchDisplacement(0xFFFFFFFE, 5, 0x00000003), 0u);
}

}  // namespace
