// StringUtils: exact block sizes, null propagation and in-place trimming.
#include "StringUtils.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <string>

TEST(StringUtils, StrlocGivesZeroFilledBlockOfExactSize) {
  char* block = StringUtils::strloc(37);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(_msize(block), 37u);
  for (int i = 0; i < 37; ++i) EXPECT_EQ(block[i], 0) << i;
  free(block);
}

TEST(StringUtils, StruniteJoinsIntoBlockOfExactSize) {
  char* path = StringUtils::strunite(3, ".\\mods\\", "Foo", "\\");
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path, ".\\mods\\Foo\\");
  EXPECT_EQ(strlen(path), 11u);
  EXPECT_EQ(_msize(path), 12u);
  free(path);

  char* empty = StringUtils::strunite(1, "");
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(_msize(empty), 1u);
  free(empty);

  char* many = StringUtils::strunite(5, "a", "", "bc", "", "d");
  ASSERT_NE(many, nullptr);
  EXPECT_STREQ(many, "abcd");
  EXPECT_EQ(_msize(many), 5u);
  free(many);
}

TEST(StringUtils, StruniteYieldsNullForNoneOrAnyNullPiece) {
  EXPECT_EQ(StringUtils::strunite(0, "ignored"), nullptr);
  EXPECT_EQ(StringUtils::strunite(2, nullptr, "manifest.json"), nullptr);
  EXPECT_EQ(StringUtils::strunite(2, "a", nullptr), nullptr);
  EXPECT_EQ(StringUtils::strunite(3, "a", "b", nullptr), nullptr);
  // The launcher feeds one null result into the next join.
  char* folder = StringUtils::strunite(3, ".\\mods\\", nullptr, "\\");
  EXPECT_EQ(StringUtils::strunite(2, folder, "manifest.json"), nullptr);
}

TEST(StringUtils, TrimNulsBothEndsInPlace) {
  char text[] = "  ab c \t";
  char* result = StringUtils::trim(text);
  EXPECT_EQ(result, text + 2);
  EXPECT_STREQ(result, "ab c");
  EXPECT_EQ(std::string(text, sizeof text), std::string("\0\0ab c\0\0\0", 9));
}

TEST(StringUtils, TrimOfWhitespaceOnlyPointsAtTerminator) {
  char text[] = "   ";
  char* result = StringUtils::trim(text);
  EXPECT_EQ(result, text + 3);
  EXPECT_EQ(std::string(text, sizeof text), std::string(4, '\0'));

  char mixed[] = "\t\n\v\f\r ";
  EXPECT_EQ(StringUtils::trim(mixed), mixed + 6);
}

TEST(StringUtils, TrimOfEmptyTextTouchesNothingOutsideIt) {
  char guarded[3] = {'X', '\0', 'Y'};
  char* result = StringUtils::trim(guarded + 1);
  EXPECT_EQ(result, guarded + 1);
  EXPECT_EQ(guarded[0], 'X');
  EXPECT_EQ(guarded[2], 'Y');
}

TEST(StringUtils, TrimKeepsHighBytes) {
  char text[] = "\xA0name\xA0";
  char* result = StringUtils::trim(text);
  EXPECT_EQ(result, text);
  EXPECT_STREQ(result, "\xA0name\xA0");
}
