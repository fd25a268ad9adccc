// The call trace: one line per call appended to StormTrace.txt in the current folder, in the format
// that README.md gives (tests and the stand-in game parse it), for example
//   266 OpenArchive ".\mods\Demo\Mpqs\data.mpq" priority=10 flags=0 -> 1 archive=A1
#include "Trace.h"

#include <windows.h>

namespace {
const char* const gTraceFile = "StormTrace.txt";
const unsigned gMaxQuoted = 1024;
}  // namespace

TraceLine::TraceLine(unsigned ordinal, const char* function) : length(0) {
  appendDecimal(ordinal);
  append(" ");
  append(function);
}

void TraceLine::append(const char* piece) {
  while (*piece && length < sizeof line - 3) line[length++] = *piece++;  // room for CR LF and NUL
  line[length] = 0;
}

void TraceLine::appendDecimal(uint64_t value) {
  char text[24];
  char* at = text + sizeof text - 1;
  *at = 0;
  do *--at = (char)('0' + value % 10);
  while (value /= 10);
  append(at);
}

void TraceLine::appendQuoted(const char* value) {
  if (!value) {
    append("null");
    return;
  }
  char quoted[gMaxQuoted + 8];
  unsigned n = 0;
  quoted[n++] = '"';
  unsigned i = 0;
  for (; value[i] && i < gMaxQuoted; ++i) {
    unsigned char c = (unsigned char)value[i];
    quoted[n++] = (c < 0x20 || c == 0x7F || c == '"') ? '?' : (char)c;
  }
  if (value[i]) {
    quoted[n++] = '.';
    quoted[n++] = '.';
    quoted[n++] = '.';
  }
  quoted[n++] = '"';
  quoted[n] = 0;
  append(quoted);
}

void TraceLine::text(const char* value) {
  append(" ");
  appendQuoted(value);
}

void TraceLine::appendKey(const char* key) {
  append(" ");
  append(key);
  append("=");
}

void TraceLine::text(const char* key, const char* value) {
  appendKey(key);
  appendQuoted(value);
}

void TraceLine::number(const char* key, uint64_t value) {
  appendKey(key);
  appendDecimal(value);
}

void TraceLine::signedNumber(const char* key, int64_t value) {
  appendKey(key);
  if (value < 0) append("-");
  appendDecimal(value < 0 ? 0 - (uint64_t)value : (uint64_t)value);
}

void TraceLine::appendHandle(char kind, const void* raw, unsigned id) {
  if (!raw) {
    append("null");
  } else if (!id) {
    append("unknown");
  } else {
    char prefix[2] = {kind, 0};
    append(prefix);
    appendDecimal(id);
  }
}

void TraceLine::handle(char kind, const void* raw, unsigned id) {
  append(" ");
  appendHandle(kind, raw, id);
}

void TraceLine::handle(const char* key, char kind, const void* raw, unsigned id) {
  appendKey(key);
  appendHandle(kind, raw, id);
}

void TraceLine::result(uint64_t value) {
  append(" -> ");
  appendDecimal(value);
}

TraceLine::~TraceLine() {
  DWORD lastError = GetLastError();
  line[length++] = '\r';
  line[length++] = '\n';
  HANDLE file = CreateFileA(gTraceFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {  // a trace that cannot be written must not change the call
    DWORD written;
    ::WriteFile(file, line, length, &written, nullptr);
    CloseHandle(file);
  }
  SetLastError(lastError);
}
