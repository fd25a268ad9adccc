// Corvane add-on interface: command-line queries.
#pragma once

// Options are written "-name value". Every query scans the process's command line afresh.
namespace CmdLine {
// The value of the option as a new zero-filled msvcrt heap block, trimmed when trim is true; null
// when the option is absent or its value is empty. The caller owns the block.
char* GetString(const char* name, bool trim);
// The value converted by atoi; 0 when the option is absent.
int GetInt(const char* name);
// True for the values "t" and "true" in any letter case, and for values whose atoi is above 0.
bool GetBool(const char* name);
}  // namespace CmdLine
