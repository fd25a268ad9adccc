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

bool findOptionValue(const char* commandLine, const char* name, size_t* start, size_t* length) {
  if (!commandLine || !name) return false;

  size_t scanStart = 0;
  if (commandLine[0] != '\0') {
    const char* quote = strchr(commandLine + 1, '"');
    if (quote) scanStart = static_cast<size_t>(quote - commandLine) + 1;
  }
  const char* text = commandLine + scanStart;
  size_t textLength = strlen(text);

  // The key is the name itself when it starts with a dash, otherwise a dash and the name.
  const char* dash = name[0] == '-' ? nullptr : "-";
  size_t nameLength = strlen(name);
  size_t keyLength = nameLength + (dash ? 1 : 0);

  for (size_t at = 1; at + keyLength < textLength; ++at) {
    if (text[at - 1] != ' ' || text[at + keyLength] != ' ') continue;
    if (!keyMatches(text + at, dash, name, nameLength)) continue;

    size_t valueStart = at + keyLength + 1;
    if (valueStart >= textLength) return false;
    size_t valueEnd = valueStart;
    while (valueEnd < textLength &&
           !(text[valueEnd] == ' ' && text[valueEnd + 1] == '-' && text[valueEnd + 2] != ' ')) {
      ++valueEnd;
    }
    if (valueEnd == valueStart) return false;
    *start = scanStart + valueStart;
    *length = valueEnd - valueStart;
    return true;
  }
  return false;
}
