// CRedirector against real modules built for the tests (fixtures/) and against fake images.
#include "CRedirector.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

// The test program's own import of ImportApiA.dll: its calls must never be diverted.
extern "C" __declspec(dllimport) int alphaOne(int x);

namespace {

const DWORD kUntouched = 0xDEAD;

int plusHundred(int x) { return x + 100; }
int plusThousand(int x) { return x + 1000; }
void* const kPlusHundred = reinterpret_cast<void*>(&plusHundred);
void* const kPlusThousand = reinterpret_cast<void*>(&plusThousand);

// One import descriptor as the platform's own structures describe it, read independently of the
// code under test.
struct Descriptor {
  std::string name;
  DWORD* table;             // import address table
  const DWORD* lookup;      // OriginalFirstThunk: names or ordinals
};

std::vector<Descriptor> descriptorsOf(HMODULE module) {
  char* base = reinterpret_cast<char*>(module);
  const IMAGE_NT_HEADERS32* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  std::vector<Descriptor> found;
  if (rva == 0) return found;
  for (const IMAGE_IMPORT_DESCRIPTOR* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + rva); d->FirstThunk; ++d)
    found.push_back(Descriptor{base + d->Name, reinterpret_cast<DWORD*>(base + d->FirstThunk),
                               reinterpret_cast<const DWORD*>(base + d->OriginalFirstThunk)});
  return found;
}

typedef int (*IntFunction)(int);
IntFunction asFunction(FARPROC function) {
  return reinterpret_cast<IntFunction>(reinterpret_cast<void*>(function));
}

DWORD addressOf(HMODULE module, const char* name) {
  return reinterpret_cast<DWORD>(GetProcAddress(module, name));
}

std::vector<DWORD> slotsOf(const DWORD* table) {
  std::vector<DWORD> slots;
  for (; *table; ++table) slots.push_back(*table);
  return slots;
}

bool holds(const DWORD* table, DWORD value) {
  for (DWORD slot : slotsOf(table))
    if (slot == value) return true;
  return false;
}

class Redirection : public ::testing::Test {
protected:
  void SetUp() override {
    target = LoadLibraryA("ImportTarget.dll");
    ASSERT_NE(target, nullptr) << GetLastError();
    apiA = GetModuleHandleA("ImportApiA.dll");
    apiB = GetModuleHandleA("ImportApiB.dll");
    ASSERT_NE(apiA, nullptr);
    ASSERT_NE(apiB, nullptr);
    for (const Descriptor& d : descriptorsOf(target)) {
      if (d.name == "importapia.dll") tableA = d.table;
      if (d.name == "ImportApiB.dll") (tableB ? secondTableB : tableB) = d.table;
    }
  }
  // Unloading the target gives the next test a fresh import table.
  void TearDown() override {
    if (noImports) FreeLibrary(noImports);
    FreeLibrary(target);
    EXPECT_EQ(GetModuleHandleA("ImportTarget.dll"), nullptr);
  }
  int call(const char* name, int x) {
    FARPROC function = GetProcAddress(target, name);
    return function ? asFunction(function)(x) : -1;
  }
  HMODULE loadNoImports() { return noImports = LoadLibraryA("NoImports.dll"); }

  HMODULE target = nullptr;
  HMODULE apiA = nullptr;
  HMODULE apiB = nullptr;
  HMODULE noImports = nullptr;
  DWORD* tableA = nullptr;
  DWORD* tableB = nullptr;
  DWORD* secondTableB = nullptr;
};

// Guards every other test: the fixture modules really have the import layout the cases rely on.
TEST_F(Redirection, FixturesHaveTheIntendedImports) {
  std::vector<Descriptor> descriptors = descriptorsOf(target);
  int namesOfA = 0;
  for (const Descriptor& d : descriptors)
    if (_stricmp(d.name.c_str(), "ImportApiA.dll") == 0) ++namesOfA;
  EXPECT_EQ(namesOfA, 1);
  ASSERT_NE(tableA, nullptr) << "ImportApiA.dll is named in lower case";
  ASSERT_NE(tableB, nullptr);
  ASSERT_NE(secondTableB, nullptr) << "ImportApiB.dll has two descriptors";
  EXPECT_TRUE(holds(tableB, addressOf(apiB, "betaOne")));
  EXPECT_FALSE(holds(tableB, addressOf(apiB, "betaTwo")));
  EXPECT_TRUE(holds(secondTableB, addressOf(apiB, "betaTwo")));

  // alphaByOrdinal is imported by ordinal 5 only, alphaTwo by name.
  bool byOrdinal = false, twoByName = false;
  for (const Descriptor& d : descriptors) {
    if (d.table != tableA) continue;
    for (const DWORD* entry = d.lookup; *entry; ++entry) {
      if (*entry == (IMAGE_ORDINAL_FLAG32 | 5)) byOrdinal = true;
      if (!(*entry & IMAGE_ORDINAL_FLAG32) &&
          std::strcmp(reinterpret_cast<const char*>(target) + *entry + 2, "alphaTwo") == 0)
        twoByName = true;
    }
  }
  EXPECT_TRUE(byOrdinal);
  EXPECT_TRUE(twoByName);
  EXPECT_FALSE(holds(tableA, addressOf(apiA, "alphaUnused")));

  ASSERT_NE(loadNoImports(), nullptr);
  EXPECT_TRUE(descriptorsOf(noImports).empty()) << "NoImports.dll has no import directory";
}

TEST_F(Redirection, SetModuleStoresOnlyTheModule) {
  CRedirector r;
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setModule(static_cast<HINSTANCE>(nullptr)));
  EXPECT_EQ(GetLastError(), 1u);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setModule("NoSuchModule.dll"));
  EXPECT_EQ(GetLastError(), 1u);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setModule(static_cast<const char*>(nullptr)));  // not the executable
  EXPECT_EQ(GetLastError(), 1u);
  EXPECT_EQ(r.module, nullptr);

  SetLastError(kUntouched);
  EXPECT_TRUE(r.setModule("IMPORTTARGET.DLL"));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(r.module, target);

  r.apiModule = apiA;
  r.importAddressTable = tableA;
  SetLastError(kUntouched);
  EXPECT_TRUE(r.setModule(apiB));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(r.module, apiB);
  EXPECT_EQ(r.apiModule, apiA);
  EXPECT_EQ(r.importAddressTable, tableA);
  EXPECT_FALSE(r.setModule(static_cast<HINSTANCE>(nullptr)));
  EXPECT_EQ(r.module, apiB);
}

TEST_F(Redirection, SetApiModuleSelectsTheFirstMatchingDescriptor) {
  CRedirector r;
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setApiModule(static_cast<HINSTANCE>(nullptr)));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_FALSE(r.setApiModule("NoSuchModule.dll"));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_FALSE(r.setApiModule(static_cast<const char*>(nullptr)));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_EQ(r.apiModule, nullptr);

  // No target yet: the API module is still recorded.
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setApiModule(apiA));
  EXPECT_EQ(GetLastError(), 1u);
  EXPECT_EQ(r.apiModule, apiA);
  EXPECT_EQ(r.importAddressTable, nullptr);

  ASSERT_TRUE(r.setModule(target));
  // The descriptor says "importapia.dll": matched by module, not by spelling.
  SetLastError(kUntouched);
  EXPECT_TRUE(r.setApiModule(apiA));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(r.importAddressTable, tableA);

  SetLastError(kUntouched);
  EXPECT_TRUE(r.setApiModule("importapib.DLL"));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(r.apiModule, apiB);
  EXPECT_EQ(r.importAddressTable, tableB);

  EXPECT_TRUE(r.setApiModule("ImportApiA.dll"));
  EXPECT_EQ(r.importAddressTable, tableA);
}

TEST_F(Redirection, RedirectDivertsOnlyTheTargetsCalls) {
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_EQ(call("callAlphaOne", 1), 2);
  DWORD* slot = nullptr;
  for (DWORD* s = tableA; *s; ++s)
    if (*s == addressOf(apiA, "alphaOne")) slot = s;
  ASSERT_NE(slot, nullptr);
  // A read-only table, as Microsoft's linker lays it out: it is read-only again afterwards.
  DWORD previous;
  ASSERT_TRUE(VirtualProtect(slot, sizeof *slot, PAGE_READONLY, &previous));

  SetLastError(kUntouched);
  EXPECT_TRUE(r.redirect("alphaOne", kPlusHundred));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(*slot, reinterpret_cast<DWORD>(kPlusHundred));
  EXPECT_EQ(protectionOf(slot), static_cast<DWORD>(PAGE_READONLY));
  EXPECT_EQ(call("callAlphaOne", 1), 101);
  EXPECT_EQ(alphaOne(1), 2);  // the test program's own import
  EXPECT_EQ(asFunction(GetProcAddress(apiA, "alphaOne"))(1), 2);
  EXPECT_EQ(call("callAlphaTwo", 1), 3);  // other slots untouched

  // The slot no longer holds alphaOne, so a second redirection finds nothing.
  std::vector<DWORD> before = slotsOf(tableA);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaOne", kPlusThousand));
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_EQ(slotsOf(tableA), before);
  EXPECT_EQ(call("callAlphaOne", 1), 101);
}

TEST_F(Redirection, SlotsAreFoundByAddressWhateverTheImportKind) {
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_EQ(call("callAlphaByOrdinal", 1), 6);
  SetLastError(kUntouched);
  EXPECT_TRUE(r.redirect("alphaByOrdinal", kPlusHundred));  // imported by ordinal, looked up by name
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(call("callAlphaByOrdinal", 1), 101);

  SetLastError(kUntouched);
  EXPECT_TRUE(r.redirect(2, kPlusThousand));  // alphaTwo, imported by name, looked up by ordinal
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(call("callAlphaTwo", 1), 1001);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect(2, kPlusHundred));
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_EQ(call("callAlphaOne", 1), 2);
}

TEST_F(Redirection, RedirectFailureCodes) {
  CRedirector r;
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaOne", kPlusHundred));  // no API module at all
  EXPECT_EQ(GetLastError(), 6u);
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiA));
  std::vector<DWORD> before = slotsOf(tableA);

  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("noSuchFunction", kPlusHundred));
  EXPECT_EQ(GetLastError(), 6u);
  for (int ordinal : {4, 0, -1, 0x10001}) {  // 4 is not exported; the rest are not ordinals
    SCOPED_TRACE(ordinal);
    SetLastError(kUntouched);
    EXPECT_FALSE(r.redirect(ordinal, kPlusHundred));
    EXPECT_EQ(GetLastError(), 6u);
  }
  // Exported by the API module, not imported by the target.
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaUnused", kPlusHundred));
  EXPECT_EQ(GetLastError(), 8u);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect(3, kPlusHundred));
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_EQ(slotsOf(tableA), before);
}

// With two descriptors for ImportApiB.dll, only the first one's table is searched.
TEST_F(Redirection, OnlyTheFirstDescriptorOfAModuleIsSearched) {
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiB));
  SetLastError(kUntouched);
  EXPECT_TRUE(r.redirect("betaOne", kPlusHundred));
  EXPECT_EQ(GetLastError(), 0u);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("betaTwo", kPlusHundred));
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_EQ(call("callBetaOne", 1), 101);
  EXPECT_EQ(call("callBetaTwo", 1), 21);
}

TEST_F(Redirection, UnrelatedApiModuleIsRecordedButSelectsNoTable) {
  ASSERT_NE(loadNoImports(), nullptr);
  {
    CRedirector r;
    ASSERT_TRUE(r.setModule(target));
    SetLastError(kUntouched);
    EXPECT_FALSE(r.setApiModule(noImports));
    EXPECT_EQ(GetLastError(), 5u);
    EXPECT_EQ(r.apiModule, noImports);
    EXPECT_EQ(r.importAddressTable, nullptr);
    SetLastError(kUntouched);
    EXPECT_FALSE(r.redirect("bareValue", kPlusHundred));
    EXPECT_EQ(GetLastError(), 7u);
  }
  {
    CRedirector r;
    ASSERT_TRUE(r.setModule(target));
    ASSERT_TRUE(r.setApiModule(apiA));
    SetLastError(kUntouched);
    EXPECT_FALSE(r.setApiModule("NoImports.dll"));
    EXPECT_EQ(GetLastError(), 5u);
    EXPECT_EQ(r.apiModule, noImports);
    EXPECT_EQ(r.importAddressTable, tableA);  // kept
    SetLastError(kUntouched);
    EXPECT_FALSE(r.redirect("bareValue", kPlusHundred));  // looked up in NoImports, searched in A's table
    EXPECT_EQ(GetLastError(), 8u);
    SetLastError(kUntouched);
    EXPECT_FALSE(r.redirect("alphaOne", kPlusHundred));  // NoImports does not export it
    EXPECT_EQ(GetLastError(), 6u);
    EXPECT_EQ(call("callAlphaOne", 1), 2);
  }
}

TEST_F(Redirection, TargetWithoutImportDirectory) {
  ASSERT_NE(loadNoImports(), nullptr);
  CRedirector r;
  ASSERT_TRUE(r.setModule(noImports));
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setApiModule(apiA));
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_EQ(r.apiModule, apiA);
  EXPECT_EQ(r.importAddressTable, nullptr);
}

// Changing the target alone keeps the table selected for the previous target.
TEST_F(Redirection, SetModuleKeepsTheSelectedTable) {
  ASSERT_NE(loadNoImports(), nullptr);
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_TRUE(r.setModule(noImports));
  SetLastError(kUntouched);
  EXPECT_TRUE(r.redirect("alphaOne", kPlusHundred));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(call("callAlphaOne", 1), 101);
}

// A fake image: "MZ", NT headers at 0x40, and (when importsFrom is given) one descriptor naming that
// module whose table at 0x380 holds slot and then 0.
void buildImage(char* at, const char* importsFrom, DWORD slot) {
  std::memset(at, 0, kPageSize);
  std::memcpy(at, "MZ", 2);
  *reinterpret_cast<DWORD*>(at + 0x3C) = 0x40;
  std::memcpy(at + 0x40, "PE\0\0", 4);
  if (importsFrom == nullptr) return;
  *reinterpret_cast<DWORD*>(at + 0x40 + 0x80) = 0x200;
  DWORD* descriptor = reinterpret_cast<DWORD*>(at + 0x200);
  descriptor[3] = 0x300;
  descriptor[4] = 0x380;
  std::strcpy(at + 0x300, importsFrom);
  *reinterpret_cast<DWORD*>(at + 0x380) = slot;
}

HINSTANCE handleAt(const void* at) {
  return static_cast<HINSTANCE>(const_cast<void*>(at));
}

TEST_F(Redirection, HeaderCodesOnFakeModulesWithoutFaults) {
  struct Case {
    const char* what;
    void (*build)(char* page);
    DWORD code;
  };
  const Case cases[] = {
      {"zeros", [](char*) {}, 3},
      {"MZ without PE", [](char* p) { std::memcpy(p, "MZ", 2); *reinterpret_cast<DWORD*>(p + 0x3C) = 0x40; }, 4},
      {"NT headers far outside", [](char* p) { std::memcpy(p, "MZ", 2); *reinterpret_cast<DWORD*>(p + 0x3C) = 0x7FFFFFF0; }, 4},
      {"NT headers at the page end", [](char* p) { std::memcpy(p, "MZ", 2); *reinterpret_cast<DWORD*>(p + 0x3C) = 0xFFE; std::memcpy(p + 0xFFE, "PE", 2); }, 4},
      {"no import directory", [](char* p) { buildImage(p, nullptr, 0); }, 5},
      {"directory past the end", [](char* p) { buildImage(p, nullptr, 0); *reinterpret_cast<DWORD*>(p + 0xC0) = 0x2000; }, 5},
      {"descriptors without end", [](char* p) { buildImage(p, nullptr, 0); *reinterpret_cast<DWORD*>(p + 0xC0) = 0x400; std::memset(p + 0x400, 0x41, 0xC00); }, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The fake image is followed by a no-access page: reading past it would fault.
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    std::memset(pages, 0, kPageSize);
    c.build(pages);
    DWORD previous;
    ASSERT_TRUE(VirtualProtect(pages + kPageSize, kPageSize, PAGE_NOACCESS, &previous));
    CRedirector r;
    ASSERT_TRUE(r.setModule(handleAt(pages)));
    SetLastError(kUntouched);
    EXPECT_FALSE(r.setApiModule(apiA));
    EXPECT_EQ(GetLastError(), c.code);
    EXPECT_EQ(r.importAddressTable, nullptr);
    VirtualFree(pages, 0, MEM_RELEASE);
  }

  // Handles that cannot be read at all, and "MZ" in the last two readable bytes.
  ReservedPage reserved;
  char* twoBytes = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::memcpy(twoBytes + kPageSize - 2, "MZ", 2);
  DWORD previous;
  VirtualProtect(twoBytes + kPageSize, kPageSize, PAGE_NOACCESS, &previous);
  const std::pair<const void*, DWORD> handles[] = {
      {reserved.at, 3}, {freedPage(), 3}, {reinterpret_cast<void*>(1), 3}, {twoBytes + kPageSize - 2, 4}};
  for (const auto& h : handles) {
    SCOPED_TRACE(h.first);
    CRedirector r;
    ASSERT_TRUE(r.setModule(handleAt(h.first)));
    SetLastError(kUntouched);
    EXPECT_FALSE(r.setApiModule(apiA));
    EXPECT_EQ(GetLastError(), h.second);
  }
  VirtualFree(twoBytes, 0, MEM_RELEASE);
}

// A fake image in private memory that imports alphaOne: the table is found, but the slot's page
// refuses copy-on-write protection, so nothing is written.
TEST_F(Redirection, SlotWhoseProtectionCannotChangeIsLeftAlone) {
  Page page(PAGE_READWRITE, 0);
  DWORD original = addressOf(apiA, "alphaOne");
  buildImage(page.at, "IMPORTAPIA.DLL", original);
  CRedirector r;
  ASSERT_TRUE(r.setModule(handleAt(page.at)));
  SetLastError(kUntouched);
  ASSERT_TRUE(r.setApiModule(apiA));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(r.importAddressTable, reinterpret_cast<DWORD*>(page.at + 0x380));
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaOne", kPlusHundred));
  EXPECT_EQ(GetLastError(), 9u);
  EXPECT_EQ(*reinterpret_cast<DWORD*>(page.at + 0x380), original);
  EXPECT_EQ(protectionOf(page.at), static_cast<DWORD>(PAGE_READWRITE));
}

// A table without its zero slot, running up to a no-access page, and an API "module" that is not one.
TEST_F(Redirection, ScansStayInsideReadableMemory) {
  char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  std::memset(pages, 0x41, kPageSize);
  DWORD previous;
  ASSERT_TRUE(VirtualProtect(pages + kPageSize, kPageSize, PAGE_NOACCESS, &previous));
  CRedirector r;
  r.apiModule = apiA;
  r.importAddressTable = reinterpret_cast<DWORD*>(pages + kPageSize - 0x40);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaOne", kPlusHundred));
  EXPECT_EQ(GetLastError(), 8u);

  ASSERT_TRUE(r.setModule(target));
  SetLastError(kUntouched);
  EXPECT_FALSE(r.setApiModule(handleAt(pages)));  // not imported: recorded all the same
  EXPECT_EQ(GetLastError(), 5u);
  SetLastError(kUntouched);
  EXPECT_FALSE(r.redirect("alphaOne", kPlusHundred));  // not a loaded module: nothing to look up
  EXPECT_EQ(GetLastError(), 6u);
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(CRedirectorObject, ConstructionAssignmentAndClearing) {
  alignas(CRedirector) unsigned char storage[sizeof(CRedirector)];
  std::memset(storage, 0xAB, sizeof storage);
  CRedirector* fresh = new (storage) CRedirector();
  EXPECT_EQ(fresh->module, nullptr);
  EXPECT_EQ(fresh->apiModule, nullptr);
  EXPECT_EQ(fresh->importAddressTable, nullptr);

  CRedirector source;
  source.module = reinterpret_cast<HINSTANCE>(0x10000000);
  source.apiModule = reinterpret_cast<HINSTANCE>(0x20000000);
  source.importAddressTable = reinterpret_cast<DWORD*>(0x30000000);
  CRedirector copy;
  CRedirector& result = (copy = source);
  EXPECT_EQ(&result, &copy);
  EXPECT_EQ(copy.module, source.module);
  EXPECT_EQ(copy.apiModule, source.apiModule);
  EXPECT_EQ(copy.importAddressTable, source.importAddressTable);

  CRedirector moved;
  CRedirector& movedResult = (moved = std::move(source));
  EXPECT_EQ(&movedResult, &moved);
  EXPECT_EQ(moved.module, copy.module);
  EXPECT_EQ(moved.apiModule, copy.apiModule);
  EXPECT_EQ(moved.importAddressTable, copy.importAddressTable);
  EXPECT_EQ(source.module, copy.module);  // the moved-from object keeps its values
  EXPECT_EQ(source.apiModule, copy.apiModule);
  EXPECT_EQ(source.importAddressTable, copy.importAddressTable);

  // __autoclassinit2 clears exactly the given number of bytes from the object's start.
  moved.__autoclassinit2(8);
  EXPECT_EQ(moved.module, nullptr);
  EXPECT_EQ(moved.apiModule, nullptr);
  EXPECT_EQ(moved.importAddressTable, copy.importAddressTable);
  copy.__autoclassinit2(sizeof(CRedirector));
  EXPECT_EQ(copy.module, nullptr);
  EXPECT_EQ(copy.apiModule, nullptr);
  EXPECT_EQ(copy.importAddressTable, nullptr);
  EXPECT_EQ(sizeof(CRedirector), 12u);
}

}  // namespace
