// StringUtils: blocks of exactly the documented size on msvcrt's heap, released with msvcrt's free.
#include "Checks.h"
#include "Report.h"
#include "StringUtils.h"

#include <stdlib.h>
#include <string.h>

void checkStringUtils() {
  char* block = StringUtils::strloc(12);
  const char zeros[12] = {0};
  checkTrue("StringUtils::strloc(12) gives a block", block != nullptr);
  if (block) {
    checkNumber("strloc's block is msvcrt's, of exactly 12 bytes", 12, _msize(block));
    checkBytes("strloc's block is zero-filled", zeros, 12, block, 12);
    free(block);
  }

  char* path = StringUtils::strunite(3, ".\\mods\\", "Abc", "\\");
  checkText("StringUtils::strunite joins three strings", ".\\mods\\Abc\\", path);
  checkNumber("strunite's block holds the text and its terminator only", 12, path ? _msize(path) : 0);
  free(path);
  char* empty = StringUtils::strunite(1, "");
  checkNumber("strunite of one empty string gives a 1-byte block", 1, empty ? _msize(empty) : 0);
  free(empty);
  checkText("strunite with a null first string", nullptr, StringUtils::strunite(2, nullptr, "manifest.json"));
  checkText("strunite with a null later string", nullptr, StringUtils::strunite(2, "a", nullptr));
  checkText("strunite of no strings", nullptr, StringUtils::strunite(0, "a"));

  char text[] = "  ab c \t";
  char* trimmed = StringUtils::trim(text);
  checkPointer("StringUtils::trim points past the leading whitespace", text + 2, trimmed);
  const char after[] = "\0\0ab c\0\0";
  checkBytes("trim turns whitespace at both ends into NUL", after, 9, text, 9);
  char spaces[] = "   ";
  checkPointer("trim of spaces points at the terminator", spaces + 3, StringUtils::trim(spaces));
  checkBytes("trim of spaces clears them", "\0\0\0", 4, spaces, 4);
  char high[] = "x\xA0";
  StringUtils::trim(high);
  checkBytes("trim leaves byte 0xA0", "x\xA0", 3, high, 3);
}
