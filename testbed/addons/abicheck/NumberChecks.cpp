// Numbers read and written by the documents with the x87 unit at each precision a caller may leave it at
// (24 bits in a game thread once Direct3D has set it, 53 the platform's, 64 MinGW's start), against what
// RapidJSON 1.1.0 on x86-64 makes of the same file (Numbers.h, made by NumberReference at build time).
// What a document read shows whole in the text it writes back. Through the interface the numbers are
// read with GetFloat, and given to PushBackDouble as their bits on the stack: qemu's emulation of the x87
// unit rounds a double loaded on it to the precision set, where a processor loads it as it is.
#include "CJSON_Exp.h"
#include "Checks.h"
#include "Numbers.h"
#include "ProbeCall.h"
#include "Report.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kNumbers[] = ".\\configs\\abicheck-numbers.json";
const char kDoubles[] = ".\\configs\\abicheck-doubles.json";
const unsigned short kPrecisionBits = 0x0300;

unsigned short controlWord() {
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void setControlWord(unsigned short word) {
  __asm__ volatile("fldcw %0" : : "m"(word));
}

unsigned bitsOf(float value) {
  unsigned bits;
  memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

void checkNumbers() {
  const struct {
    const char* name;
    unsigned short bits;
  } precisions[] = {{"24-bit", 0x0000}, {"53-bit", 0x0200}, {"64-bit", 0x0300}};
  const void* pushBackDouble =
      reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(nullptr), "?PushBackDouble@CJSON_Exp@@QAEXN@Z"));
  const unsigned short start = controlWord();
  CreateDirectoryA(".\\configs", nullptr);
  for (const auto& precision : precisions) {
    writeText(kNumbers, kNumbersText);
    writeText(kDoubles, "[]");
    const unsigned short set = static_cast<unsigned short>((start & ~kPrecisionBits) | precision.bits);
    setControlWord(set);
    CJSON_Exp numbers("abicheck-numbers.json", false);
    unsigned same = 0;  // numbers read as the reference reads them, up to the first that is not
    while (same < kNumberCount && bitsOf(numbers[static_cast<int>(same)].GetFloat()) == kNumbersRead[same].asFloat)
      ++same;
    numbers.Clear("none");  // no such member: the tree is written back as it was read
    CJSON_Exp doubles("abicheck-doubles.json", false);
    for (unsigned i = 0; i < kNumberCount; ++i) {
      unsigned long words[2];
      memcpy(words, &kNumbersRead[i].asDouble, sizeof words);
      ProbeResult ignored;
      probeCall(pushBackDouble, &doubles, words, 2, &ignored);
    }
    const unsigned short left = controlWord();
    setControlWord(start);

    char name[128];
    auto named = [&](const char* what) {
      _snprintf(name, sizeof name, "x87 at %s: %s", precision.name, what);
      return name;
    };
    checkNumber(named("numbers read as the reference reads them"), kNumberCount, same);
    checkFile(named("the numbers read, written back as the reference writes them"), kNumbers, kNumbersWritten);
    checkFile(named("doubles written as the reference writes them"), kDoubles, kDoublesWritten);
    checkNumber(named("the control word is left as the caller set it"), set, left);
  }
}
