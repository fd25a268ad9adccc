// The call trace: one line per call appended to StormTrace.txt in the current folder.
#pragma once

#include <stdint.h>

// Builds one line piece by piece; the destructor appends it with CR LF and closes the file again, so
// every line is on disk when the call returns and the file follows the current folder. The thread's
// last-error value survives the write. Line format: Trace.cpp.
class TraceLine {
public:
  TraceLine(unsigned ordinal, const char* function);
  ~TraceLine();

  void text(const char* value);                   //  "value"  (null: null)
  void text(const char* key, const char* value);  //  key="value"
  void number(const char* key, uint64_t value);   //  key=123
  void signedNumber(const char* key, int64_t value);
  void handle(char kind, const void* raw, unsigned id);                   //  A3, null or unknown
  void handle(const char* key, char kind, const void* raw, unsigned id);  //  key=A3
  void result(uint64_t value);                                            //  -> 123

private:
  void append(const char* piece);
  void appendKey(const char* key);  //  " key="
  void appendQuoted(const char* value);
  void appendDecimal(uint64_t value);
  void appendHandle(char kind, const void* raw, unsigned id);

  char line[8192];
  unsigned length;
};
