// The calling conventions of the exported entry points, checked at the register level: each entry is
// bound at run time by its decorated name and called through probeCall, which records EAX, the bytes
// the callee removed and the x87 register stack. Truth-value arguments carry junk in their upper bytes.
#include "CJSON_Exp.h"
#include "CRedirector.h"
#include "Checks.h"
#include "ProbeCall.h"
#include "Report.h"

#include <stdlib.h>
#include <string.h>

namespace {

const void* entry(const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

ProbeResult probe(const char* name, const void* self, const unsigned long* args, unsigned long count) {
  ProbeResult result = {0xFFFFFFFF, 0xFFFFFFFF, -1, 0xFF, 0.0};
  const void* function = entry(name);
  if (function) probeCall(function, self, args, count, &result);
  checkTrue(name, function != nullptr);
  return result;
}

unsigned long word(const void* pointer) {
  return reinterpret_cast<unsigned long>(pointer);
}

void splitDouble(double value, unsigned long* words) {
  memcpy(words, &value, sizeof value);
}

void checkConstructors() {
  alignas(4) static unsigned char storage[8];
  memset(storage, 0xCC, sizeof storage);
  unsigned long args[] = {word("abicheck-probe.json"), 0xABCDEF01};
  ProbeResult made = probe("??0CJSON_Exp@@QAE@PBD_N@Z", storage, args, 2);
  checkNumber("CJSON_Exp constructor returns this in EAX", word(storage), made.eax);
  checkNumber("CJSON_Exp constructor removes its 8 argument bytes", 8, made.popped);
  checkFile("constructor: create true is the low byte of its slot", ".\\configs\\abicheck-probe.json", "");
  ProbeResult destroyed = probe("??1CJSON_Exp@@QAE@XZ", storage, nullptr, 0);
  checkNumber("CJSON_Exp destructor removes nothing", 0, destroyed.popped);

  memset(storage, 0xCC, sizeof storage);
  unsigned long noCreate[] = {word("abicheck-never.json"), 0xABCDEF00};
  probe("??0CJSON_Exp@@QAE@PBD_N@Z", storage, noCreate, 2);
  checkNoFile("constructor: create false is the low byte of its slot", ".\\configs\\abicheck-never.json");

  alignas(4) static unsigned char redirector[16];
  memset(redirector, 0xCC, sizeof redirector);
  ProbeResult built = probe("??0CRedirector@@QAE@XZ", redirector, nullptr, 0);
  const unsigned char expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xCC, 0xCC, 0xCC, 0xCC};
  checkNumber("CRedirector constructor returns this in EAX", word(redirector), built.eax);
  checkNumber("CRedirector constructor removes nothing", 0, built.popped);
  checkBytes("CRedirector constructor nulls its 12 bytes and no more", expected, 16, redirector, 16);
}

void checkAssignments() {
  CRedirector source;
  source.module = reinterpret_cast<HINSTANCE>(0x11111111);
  source.apiModule = reinterpret_cast<HINSTANCE>(0x22222222);
  source.importAddressTable = reinterpret_cast<DWORD*>(0x33333333);
  CRedirector copy;
  unsigned long from[] = {word(&source)};
  ProbeResult copied = probe("??4CRedirector@@QAEAAV0@ABV0@@Z", &copy, from, 1);
  checkNumber("CRedirector copy assignment returns this", word(&copy), copied.eax);
  checkNumber("CRedirector copy assignment removes 4 bytes", 4, copied.popped);
  checkBytes("CRedirector copy assignment copies the three fields", &source, 12, &copy, 12);
  CRedirector moved;
  ProbeResult movedResult = probe("??4CRedirector@@QAEAAV0@$$QAV0@@Z", &moved, from, 1);
  checkNumber("CRedirector move assignment returns this", word(&moved), movedResult.eax);
  checkNumber("CRedirector move assignment removes 4 bytes", 4, movedResult.popped);
  checkBytes("CRedirector move assignment copies and keeps the source", &source, 12, &moved, 12);

  CRedirector zeroed;
  zeroed = source;
  unsigned long size[] = {sizeof zeroed};
  ProbeResult filled = probe("?__autoclassinit2@CRedirector@@QAEXI@Z", &zeroed, size, 1);
  checkNumber("CRedirector::__autoclassinit2 removes 4 bytes", 4, filled.popped);
  checkTrue("CRedirector::__autoclassinit2 zero-fills",
            !zeroed.module && !zeroed.apiModule && !zeroed.importAddressTable);
}

void checkDocumentEntries() {
  CJSON_Exp doc("abicheck-probe.json", true);
  CJSON_Exp other("abicheck-probe-other.json", true);
  unsigned long source[] = {word(&doc)};
  alignas(4) static unsigned char shared[4];
  memcpy(shared, &other, 4);
  ProbeResult assigned = probe("??4CJSON_Exp@@QAEAAV0@ABV0@@Z", shared, source, 1);
  checkNumber("CJSON_Exp::operator= returns this", word(shared), assigned.eax);
  checkNumber("CJSON_Exp::operator= removes 4 bytes", 4, assigned.popped);

  unsigned long setArgs[5] = {word("d"), 0, 0, 0x12345601};
  splitDouble(-2.75, setArgs + 1);
  ProbeResult set = probe("?SetDouble@CJSON_Exp@@QAEXPBDN_N@Z", &doc, setArgs, 4);
  checkNumber("SetDouble removes 16 bytes (name, 8-byte double, bool slot)", 16, set.popped);
  checkFile("SetDouble's double argument", ".\\configs\\abicheck-probe.json", "{\n    \"d\": -2.75\n}");

  unsigned long name[] = {word("d")};
  ProbeResult node = probe("??ACJSON_Exp@@QAEAAUSObject_Exp@@PBD@Z", &doc, name, 1);
  checkNumber("operator[](const char*) removes 4 bytes", 4, node.popped);
  const SObject_Exp* handle = reinterpret_cast<const SObject_Exp*>(node.eax);
  checkTrue("operator[] returns the node's reference in EAX", handle && const_cast<SObject_Exp*>(handle)->IsDouble());
  ProbeResult asDouble = probe("?GetDouble@SObject_Exp@@QAENXZ", handle, nullptr, 0);
  checkNumber("GetDouble leaves one value on the x87 stack", 7, asDouble.fpuTop);
  checkDouble("GetDouble returns in ST0", -2.75, asDouble.st0);
  checkNumber("GetDouble removes nothing", 0, asDouble.popped);
  ProbeResult asFloat = probe("?GetFloat@SObject_Exp@@QAEMXZ", handle, nullptr, 0);
  checkNumber("GetFloat leaves one value on the x87 stack", 7, asFloat.fpuTop);
  checkDouble("GetFloat returns in ST0", -2.75, asFloat.st0);
  ProbeResult exists = probe("?IsExist@SObject_Exp@@QAE_NXZ", handle, nullptr, 0);
  checkNumber("IsExist answers true in AL", 1, exists.eax & 0xFF);
  checkNumber("IsExist leaves the x87 stack empty", 0, exists.fpuTop);

  unsigned long floatArgs[] = {word("f"), 0, 0xFFFFFF01};
  float quarter = 0.25f;
  memcpy(&floatArgs[1], &quarter, 4);
  ProbeResult setFloat = probe("?SetFloat@SObject_Exp@@QAEXPBDM_N@Z", &doc, floatArgs, 3);
  checkNumber("SetFloat removes 12 bytes (a float takes 4)", 12, setFloat.popped);
  checkDouble("SetFloat's float argument", 0.25, doc["f"].GetDouble());

  unsigned long clearBool[] = {word("b"), 0xFFFFFF00, 0x00000101};
  probe("?SetBool@CJSON_Exp@@QAEXPBD_N1@Z", &doc, clearBool, 3);
  checkTrue("SetBool: value slot 0xFFFFFF00 is false", doc["b"].IsBool() && !doc["b"].GetBool());
  unsigned long keepBool[] = {word("b"), 0x00000001, 0xFFFFFF00};
  ProbeResult setBool = probe("?SetBool@CJSON_Exp@@QAEXPBD_N1@Z", &doc, keepBool, 3);
  checkTrue("SetBool: overwrite slot 0xFFFFFF00 is false", !doc["b"].GetBool());
  checkNumber("SetBool removes 12 bytes", 12, setBool.popped);

  unsigned long pushArgs[2];
  splitDouble(1.0, pushArgs);
  ProbeResult count = probe("?GetMemberCount@CJSON_Exp@@QAEIXZ", &doc, nullptr, 0);
  checkNumber("GetMemberCount returns in EAX", 3, count.eax);
  SObject_Exp& list = doc.SetArray("l");
  ProbeResult pushed = probe("?PushBackDouble@SObject_Exp@@QAEXN@Z", &list, pushArgs, 2);
  checkNumber("PushBackDouble removes 8 bytes", 8, pushed.popped);
  checkDouble("PushBackDouble's double argument", 1.0, list[0].GetDouble());
}

// GetFloat rounds to float whatever the number's kind: a caller reading ST0 as a double sees the float.
void checkFloatRounding() {
  writeText(".\\configs\\abicheck-float.json", "[16777217, 4000000001, 0.1]");
  CJSON_Exp numbers("abicheck-float.json", false);
  const double expected[] = {16777216.0, 4000000000.0, static_cast<double>(0.1f)};
  const char* const names[] = {"GetFloat of the int 16777217 in ST0", "GetFloat of the unsigned 4000000001 in ST0",
                               "GetFloat of the double 0.1 in ST0"};
  for (int i = 0; i < 3; ++i) {
    ProbeResult read = probe("?GetFloat@SObject_Exp@@QAEMXZ", &numbers[i], nullptr, 0);
    checkDouble(names[i], expected[i], read.st0);
  }
}

void checkFreeFunctions() {
  unsigned long pieces[] = {3, word("ab"), word("c"), word("de")};
  ProbeResult united = probe("?strunite@StringUtils@@YAPADIPBDZZ", nullptr, pieces, 4);
  checkNumber("strunite leaves its arguments to the caller", 0, united.popped);
  checkText("strunite joins its variable arguments", "abcde", reinterpret_cast<char*>(united.eax));
  free(reinterpret_cast<void*>(united.eax));

  alignas(4) static unsigned char target[4] = {1, 2, 3, 4};
  unsigned long patchArgs[] = {word(target), 0xAABBCCDD, 2};
  ProbeResult patched = probe("?patch@@YA_NIII@Z", nullptr, patchArgs, 3);
  const unsigned char expected[4] = {0xDD, 0xCC, 3, 4};
  checkNumber("patch leaves its arguments to the caller", 0, patched.popped);
  checkNumber("patch answers true in AL", 1, patched.eax & 0xFF);
  checkBytes("patch by value writes the low bytes first", expected, 4, target, 4);

  unsigned long option[] = {word("abiNumber")};
  ProbeResult number = probe("?GetInt@CmdLine@@YAHPBD@Z", nullptr, option, 1);
  checkNumber("CmdLine::GetInt leaves its argument to the caller", 0, number.popped);
  checkNumber("CmdLine::GetInt returns in EAX", -42, static_cast<long>(number.eax));

  HANDLE archive = reinterpret_cast<HANDLE>(1);
  unsigned long open[] = {word(".\\no-such-archive.mpq"), 5, 0, word(&archive)};
  ProbeResult opened = probe("?OpenArchive@Storm@@YA_NPBDKKPAPAX@Z", nullptr, open, 4);
  checkNumber("Storm::OpenArchive leaves its arguments to the caller", 0, opened.popped);
  checkNumber("Storm::OpenArchive of a missing file answers false in AL", 0, opened.eax & 0xFF);
}

}  // namespace

void checkRegisterContracts() {
  checkConstructors();
  checkAssignments();
  checkDocumentEntries();
  checkFloatRounding();
  checkFreeFunctions();
}
