// The strings StringUtils and CmdLine hand out: blocks of exactly the documented size on msvcrt's heap,
// released with msvcrt's free (the texts themselves: the string and command-line tests). The options the
// test gives the launcher: -mod AbiCheck -abiText  two words  -abiNumber -42 -abiSwitch TRUE -abiZero 0
#include "Checks.h"
#include "CmdLine.h"
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
  checkText("strunite with a null later string", nullptr, StringUtils::strunite(2, "a", nullptr));

  char* raw = CmdLine::GetString("abiText", false);
  checkText("CmdLine::GetString without trimming keeps the spaces", " two words ", raw);
  checkNumber("CmdLine::GetString's block is msvcrt's, of value length + 1", 12, raw ? _msize(raw) : 0);
  free(raw);
  checkTrue("CmdLine::GetBool of TRUE answers in AL", CmdLine::GetBool("abiSwitch"));
}
