// Exception codes in words, with the details the platform gives for memory faults and C++ exceptions.
#include "launcher/crash/ExceptionText.h"

#include "patching/internal/ReadableSpan.h"

#include <cstring>

namespace {

const struct {
  DWORD code;
  const char* words;
} kCodes[] = {
    {EXCEPTION_ACCESS_VIOLATION, "access violation"},
    {EXCEPTION_IN_PAGE_ERROR, "in-page error"},
    {EXCEPTION_STACK_OVERFLOW, "stack overflow"},
    {0xE06D7363, "C++ exception"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero"},
    {EXCEPTION_INT_OVERFLOW, "integer overflow"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
    {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction"},
    {EXCEPTION_BREAKPOINT, "breakpoint"},
    {EXCEPTION_SINGLE_STEP, "single step"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "datatype misalignment"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "array bounds exceeded"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "floating-point division by zero"},
    {EXCEPTION_FLT_INVALID_OPERATION, "floating-point invalid operation"},
    {EXCEPTION_FLT_OVERFLOW, "floating-point overflow"},
    {EXCEPTION_FLT_UNDERFLOW, "floating-point underflow"},
    {EXCEPTION_FLT_INEXACT_RESULT, "floating-point inexact result"},
    {EXCEPTION_FLT_STACK_CHECK, "floating-point stack check"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "noncontinuable exception"},
    {EXCEPTION_INVALID_DISPOSITION, "invalid disposition"},
    {0xC0000374, "heap corruption"},
    {0xC0000409, "stack buffer overrun"},
};

const DWORD kCxxMagic = 0x19930520;  // the ABI versions 0x19930520..0x19930522 lay the throw out alike

DWORD wordAt(DWORD address) {
  if (readableSpan(reinterpret_cast<const void*>(address)) < 4) return 0;
  DWORD value;
  memcpy(&value, reinterpret_cast<const void*>(address), 4);
  return value;
}

// The thrown object's type: ThrowInfo -> CatchableTypeArray -> first CatchableType -> TypeDescriptor,
// whose name ".?AVruntime_error@std@@" is written "std::runtime_error".
void describeThrownType(ReportLines& out, const EXCEPTION_RECORD& record) {
  if (record.NumberParameters < 3 || record.ExceptionInformation[0] - kCxxMagic > 2) return;
  DWORD types = wordAt(record.ExceptionInformation[2] + 12);
  DWORD type = wordAt(types) ? wordAt(wordAt(types + 4) + 4) : 0;
  DWORD nameAt = type ? type + 8 : 0;
  size_t span = nameAt ? readableSpan(reinterpret_cast<const void*>(nameAt)) : 0;
  const char* name = reinterpret_cast<const char*>(nameAt);
  if (span < 8 || !memchr(name, 0, span < 256 ? span : 256) || strncmp(name, ".?A", 3) != 0) return;
  const char* first = name + 4;  // past ".?AV" (class) or ".?AU" (struct)
  const char* end = strstr(first, "@@");
  if (!end) return;
  out.text(" ");
  // Scopes are written innermost first: print them back to front.
  for (const char* part = end; part > first;) {
    const char* start = part;
    while (start > first && start[-1] != '@') --start;
    out.text(start, part - start);
    part = start > first ? start - 1 : first;
    if (part > first) out.text("::");
  }
}

}  // namespace

void describeException(ReportLines& out, const EXCEPTION_RECORD& record) {
  const char* words = nullptr;
  for (const auto& entry : kCodes)
    if (entry.code == record.ExceptionCode) words = entry.words;
  if (!words) {
    out.text("exception 0x").hex(record.ExceptionCode);
    return;
  }
  out.text(words);
  bool memory = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION || record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR;
  if (memory && record.NumberParameters >= 2) {
    DWORD kind = record.ExceptionInformation[0];
    out.text(kind == 0 ? " reading" : kind == 1 ? " writing" : kind == 8 ? " executing" : " at");
    out.text(" 0x").hex(record.ExceptionInformation[1]);
  }
  if (record.ExceptionCode == 0xE06D7363) describeThrownType(out, record);
}
