// AllocationFaults.dll: an add-on built the Microsoft way (so no C++ exception can be caught here, and
// one that reached it would end the process), loaded into a test build of Corvane.exe whose heap hook
// fails a chosen allocation. For every exported family it makes one call with each of the call's
// allocations failing in turn, and checks that the answer is the call's success answer or its failure
// answer, never anything else. One line per family to .\AllocationFaults.results.
#include "CJSON_Exp.h"
#include "CRedirector.h"
#include "CmdLine.h"
#include "Checks.h"
#include "Report.h"
#include "StringUtils.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern "C" int _fltused = 0;

namespace {

typedef long(__cdecl* FailAllocation)(long nth);
FailAllocation gFailAllocation;
HINSTANCE gSelf;

enum Outcome { succeeded, failedCleanly, wrong };

// One family's call: prepare (nothing fails), make (the chosen allocation fails), judge (nothing fails).
struct Family {
  const char* name;
  void (*prepare)();
  void (*make)();
  Outcome (*judge)();
};

const char kFile[] = ".\\configs\\faults.json";
const char kBefore[] = "{\n    \"a\": 1\n}";
const char kAdded[] = "{\n    \"a\": 1,\n    \"b\": 2\n}";

alignas(4) unsigned char gStorage[4];
CJSON_Exp* gDocument;
SObject_Exp* gHandles[4000];
CRedirector gRedirector;
bool gAnswer;
char* gText;
long gNumber;
char gFileBytes[256];

CJSON_Exp& document() {
  return *gDocument;
}

// Whether the file holds exactly text.
bool fileHolds(const char* text) {
  FILE* file = fopen(kFile, "rb");
  if (!file) return false;
  size_t size = fread(gFileBytes, 1, sizeof gFileBytes, file);
  fclose(file);
  return size == strlen(text) && memcmp(gFileBytes, text, size) == 0;
}

// The change reached the file, or the file kept its old text.
Outcome byFile(const char* changed) {
  if (fileHolds(changed)) return succeeded;
  return fileHolds(kBefore) ? failedCleanly : wrong;
}

void openDocument() {
  writeText(kFile, kBefore);
  gDocument = new (Place(), gStorage) CJSON_Exp("faults.json", false);
}

Outcome constructed() {
  if (!document().IsExist()) return document().GetMemberCount() == 0 ? failedCleanly : wrong;
  return document()["a"].GetInt() == 1 ? succeeded : wrong;
}

// Enough look-ups that the handles' storage must grow at least once.
void lookUp() {
  for (SObject_Exp*& handle : gHandles) handle = &document()["a"];
}
Outcome lookedUp() {
  int missing = 0;
  for (SObject_Exp* handle : gHandles) {
    if (handle->IsExist() && handle->GetInt() == 1) continue;
    if (handle->IsExist() || handle->GetInt() != 0 || handle->GetName() != nullptr) return wrong;
    ++missing;
  }
  return missing == 0 ? succeeded : missing == 1 ? failedCleanly : wrong;
}

Outcome lookedUpIndex() {
  if (gHandles[0]->IsExist()) return gHandles[0]->GetInt() == 1 ? succeeded : wrong;
  return gHandles[0]->GetInt() == 0 ? failedCleanly : wrong;
}

Outcome objectSet() {
  bool added = document().HasMember("b");
  if (gHandles[0]->IsExist() != added) return wrong;  // a missing handle only when nothing was added
  if (added && fileHolds("{\n    \"a\": 1,\n    \"b\": {}\n}")) return succeeded;
  return fileHolds(kBefore) ? failedCleanly : wrong;
}

Outcome redirected() {
  if (gAnswer) return GetLastError() == 0 ? succeeded : wrong;
  return GetLastError() >= 1 && GetLastError() <= 9 ? failedCleanly : wrong;
}

void nothing() {}

// A block handed to the caller: null is the failure answer; the block is freed once judged.
Outcome handedBlock(bool right) {
  if (!gText) return failedCleanly;
  free(gText);
  return right ? succeeded : wrong;
}

// The redirector's family redirects the add-on's own imports from kernel32.dll.
const Family kFamilies[] = {
    {"CJSON_Exp::CJSON_Exp", [] { writeText(kFile, kBefore); },
     [] { gDocument = new (Place(), gStorage) CJSON_Exp("faults.json", false); }, constructed},
    {"operator[](const char*)", openDocument, lookUp, lookedUp},
    {"operator[](int)", openDocument, [] { gHandles[0] = &document()[0]; }, lookedUpIndex},
    {"SetInt adding a member", openDocument, [] { document().SetInt("b", 2, false); }, [] { return byFile(kAdded); }},
    {"SetInt overwriting a member", openDocument, [] { document().SetInt("a", 2, true); },
     [] { return byFile("{\n    \"a\": 2\n}"); }},
    {"Clear(const char*)", openDocument, [] { document().Clear("a"); }, [] { return byFile("{}"); }},
    {"SetObject", openDocument, [] { gHandles[0] = &document().SetObject("b"); }, objectSet},
    {"CRedirector::setApiModule", [] { gRedirector.setModule(gSelf); },
     [] { gAnswer = gRedirector.setApiModule("kernel32.dll"); }, redirected},
    {"StringUtils::strunite", nothing, [] { gText = StringUtils::strunite(3, "ab", "c", "de"); },
     [] { return handedBlock(gText && strcmp(gText, "abcde") == 0); }},
    {"StringUtils::strloc", nothing, [] { gText = StringUtils::strloc(64); },
     [] { return handedBlock(gText && gText[0] == 0 && gText[63] == 0); }},
    {"CmdLine::GetString", nothing, [] { gText = CmdLine::GetString("faultText", true); },
     [] { return handedBlock(gText && strcmp(gText, "value") == 0); }},
    {"CmdLine::GetInt", nothing, [] { gNumber = CmdLine::GetInt("faultNumber"); },
     [] { return gNumber == 42  ? succeeded
                 : gNumber == 0 ? failedCleanly
                                : wrong; }},
    {"CmdLine::GetBool", nothing, [] { gAnswer = CmdLine::GetBool("faultSwitch"); },
     [] { return gAnswer ? succeeded : failedCleanly; }},
};

// Allocation 1, 2, ... of the call fails in turn, until a call makes fewer allocations than that.
void sweep(const Family& family) {
  char line[200];
  for (long nth = 1; nth < 100000; ++nth) {
    family.prepare();
    gFailAllocation(nth);
    family.make();
    long asked = gFailAllocation(0);
    Outcome outcome = family.judge();
    if (asked < nth) {
      _snprintf(line, sizeof line, "%s: with none of its %ld allocations failing, the success answer", family.name,
                asked);
      return checkTrue(line, outcome == succeeded);
    }
    if (outcome != failedCleanly) {
      _snprintf(line, sizeof line, "%s: with allocation %ld failing, the failure answer", family.name, nth);
      return checkTrue(line, false);
    }
  }
}

}  // namespace

extern "C" BOOL WINAPI addonMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  gSelf = self;
  if (!openReport(".\\AllocationFaults.results")) return TRUE;
  gFailAllocation = reinterpret_cast<FailAllocation>(GetProcAddress(GetModuleHandleA(nullptr), "failAllocation"));
  checkTrue("the launcher is the test build with the heap hook", gFailAllocation != nullptr);
  if (gFailAllocation) {
    for (const Family& family : kFamilies) sweep(family);
  }
  closeReport();
  return TRUE;
}
