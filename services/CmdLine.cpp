// Command-line queries over the process's command line.
#include "CmdLine.h"

#include "services/internal/TextScan.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

// The value as a zero-filled block of exactly its length + 1. When trimmed, the text is moved to the
// start of the block, so the result is always the block itself and the caller may free it.
static char* optionValue(const char* name, bool trim) {
  const char* line = GetCommandLineA();
  size_t start = 0;
  size_t length = 0;
  if (!findOptionValue(line, name, &start, &length)) return nullptr;

  char* block = static_cast<char*>(calloc(length + 1, 1));
  if (!block) return nullptr;
  memcpy(block, line + start, length);
  if (!trim) return block;

  char* text = trimInPlace(block);
  if (text != block) memmove(block, text, strlen(text) + 1);
  memset(block + strlen(block), 0, length + 1 - strlen(block));
  return block;
}

char* CmdLine::GetString(const char* name, bool trim) {
  return optionValue(name, trim);
}

// GetInt and GetBool release their own copy of the value; nobody else sees it.

int CmdLine::GetInt(const char* name) {
  char* value = GetString(name, true);
  if (!value) return 0;
  int number = atoi(value);
  free(value);
  return number;
}

bool CmdLine::GetBool(const char* name) {
  char* value = GetString(name, true);
  if (!value) return false;
  bool set = _stricmp(value, "t") == 0 || _stricmp(value, "true") == 0 || atoi(value) > 0;
  free(value);
  return set;
}
