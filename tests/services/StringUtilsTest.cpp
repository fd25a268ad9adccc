// StringUtils: exact block sizes, null propagation and in-place trimming.
#include "StringUtils.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <string>

namespace {

// "text (block size)", or "null"; the block is released.
std::string block(char* text) {
  if (!text) return "null";
  std::string described = std::string(text) + " (" + std::to_string(_msize(text)) + ")";
  free(text);
  return described;
}

TEST(StringUtils, StrlocAndStruniteGiveBlocksOfExactSize) {
  char* zeros = StringUtils::strloc(37);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(std::string(zeros, 37), std::string(37, '\0'));
  EXPECT_EQ(block(zeros), " (37)");

  EXPECT_EQ(block(StringUtils::strunite(3, ".\\mods\\", "Foo", "\\")), ".\\mods\\Foo\\ (12)");
  EXPECT_EQ(block(StringUtils::strunite(1, "")), " (1)");
  EXPECT_EQ(block(StringUtils::strunite(5, "a", "", "bc", "", "d")), "abcd (5)");
  // None, or any null piece, gives null: the launcher feeds one null result into the next join.
  EXPECT_EQ(block(StringUtils::strunite(0, "ignored")), "null");
  EXPECT_EQ(block(StringUtils::strunite(2, nullptr, "manifest.json")), "null");
  EXPECT_EQ(block(StringUtils::strunite(2, "a", nullptr)), "null");
  EXPECT_EQ(block(StringUtils::strunite(3, "a", "b", nullptr)), "null");
}

// Whitespace at both ends becomes NUL in place; the result points past the leading run. The text sits
// between two guard bytes that must stay.
TEST(StringUtils, TrimNulsBothEndsInPlace) {
  struct Case {
    std::string text;
    size_t result;      // offset of the result in the text
    std::string after;  // the whole text afterwards
  };
  const Case cases[] = {
      {"  ab c \t", 2, std::string("\0\0ab c\0\0", 8)},
      {"   ", 3, std::string(3, '\0')},
      {"\t\n\v\f\r ", 6, std::string(6, '\0')},
      {"", 0, ""},
      {"\xA0name\xA0", 0, "\xA0name\xA0"},
  };
  for (const Case& c : cases) {
    std::string guarded = "X" + c.text + '\0' + "Y";
    char* result = StringUtils::trim(&guarded[1]);
    EXPECT_EQ(result - &guarded[1], static_cast<ptrdiff_t>(c.result)) << c.text;
    EXPECT_EQ(guarded, "X" + c.after + '\0' + "Y") << c.text;
  }
}

}  // namespace
