// CmdLine against the options the test gives the launcher:
//   -mod AbiCheck -abiText  two words  -abiNumber -42 -abiSwitch TRUE -abiZero 0 -abiLast
#include "Checks.h"
#include "CmdLine.h"
#include "Report.h"

#include <stdlib.h>

void checkCmdLine() {
  char* mod = CmdLine::GetString("mod", true);
  checkText("CmdLine::GetString(\"mod\", true)", "AbiCheck", mod);
  char* raw = CmdLine::GetString("abiText", false);
  checkText("CmdLine::GetString without trimming keeps the spaces", " two words ", raw);
  checkNumber("CmdLine::GetString's block is msvcrt's, of value length + 1", 12, raw ? _msize(raw) : 0);
  free(raw);
  checkText("CmdLine::GetString with trimming", "two words", CmdLine::GetString("abiText", true));
  checkText("CmdLine::GetString with a dashed, upper-case name", "two words", CmdLine::GetString("-ABITEXT", true));
  checkText("CmdLine::GetString of an option written last", nullptr, CmdLine::GetString("abiLast", false));
  checkText("CmdLine::GetString of an absent option", nullptr, CmdLine::GetString("absent", true));
  checkNumber("CmdLine::GetInt", -42, CmdLine::GetInt("abiNumber"));
  checkNumber("CmdLine::GetInt of an absent option", 0, CmdLine::GetInt("absent"));
  checkTrue("CmdLine::GetBool of TRUE", CmdLine::GetBool("abiSwitch"));
  checkTrue("CmdLine::GetBool of 0", !CmdLine::GetBool("abiZero"));
  checkTrue("CmdLine::GetBool of a bare switch written last", !CmdLine::GetBool("abiLast"));
  checkTrue("CmdLine::GetBool of -42", !CmdLine::GetBool("abiNumber"));
}
