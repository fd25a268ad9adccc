// Pure text scanning: whitespace trimming and option look-up in a command-line text.
#include "services/internal/TextScan.h"

#include <cstring>

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

char* trimInPlace(char* text) {
  size_t length = strlen(text);
  size_t first = 0;
  while (isBlank(text[first])) text[first++] = '\0';
  for (size_t i = length; i > 0 && isBlank(text[i - 1]); --i) text[i - 1] = '\0';
  return text + first;
}

static char foldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the key with the text at position, over the key's full length, ignoring ASCII case.
static bool keyMatches(const char* text, const char* dash, const char* name, size_t nameLength) {
  size_t offset = 0;
  if (dash) {
    if (text[0] != '-') return false;
    offset = 1;
  }
  for (size_t i = 0; i < nameLength; ++i) {
    if (foldAscii(text[offset + i]) != foldAscii(name[i])) return false;
  }
  return true;
}

namespace {

// Where the scan of a command line starts: after the first double quote at index 1 or later, if any
// (a quoted program path), else at its start.
size_t scanStart(const char* commandLine) {
  if (commandLine[0] == '\0') return 0;
  const char* quote = strchr(commandLine + 1, '"');
  return quote ? static_cast<size_t>(quote - commandLine) + 1 : 0;
}

// The index in text just past the first key of option name with a space before it and, after it, a
// space (or with endAllowed the end of the text); 0 when there is none.
size_t findKey(const char* text, size_t textLength, const char* name, bool endAllowed) {
  // The key is the name itself when it starts with a dash, otherwise a dash and the name.
  const char* dash = name[0] == '-' ? nullptr : "-";
  size_t nameLength = strlen(name);
  size_t keyLength = nameLength + (dash ? 1 : 0);
  for (size_t at = 1; at + keyLength <= textLength; ++at) {
    if (text[at - 1] != ' ') continue;
    bool ended = at + keyLength == textLength;
    if (ended ? !endAllowed : text[at + keyLength] != ' ') continue;
    if (keyMatches(text + at, dash, name, nameLength)) return at + keyLength;
  }
  return 0;
}

}  // namespace

bool findOptionValue(const char* commandLine, const char* name, size_t* start, size_t* length) {
  if (!commandLine || !name) return false;
  size_t first = scanStart(commandLine);
  const char* text = commandLine + first;
  size_t textLength = strlen(text);
  size_t keyEnd = findKey(text, textLength, name, false);
  if (keyEnd == 0) return false;

  size_t valueStart = keyEnd + 1;
  if (valueStart >= textLength) return false;
  size_t valueEnd = valueStart;
  while (valueEnd < textLength && !(text[valueEnd] == ' ' && text[valueEnd + 1] == '-' && text[valueEnd + 2] != ' ')) {
    ++valueEnd;
  }
  if (valueEnd == valueStart) return false;
  *start = first + valueStart;
  *length = valueEnd - valueStart;
  return true;
}

bool findSwitch(const char* commandLine, const char* name) {
  if (!commandLine || !name) return false;
  const char* text = commandLine + scanStart(commandLine);
  return findKey(text, strlen(text), name, true) != 0;
}
