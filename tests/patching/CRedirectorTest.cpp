// CRedirector against real modules built for the tests (fixtures/) and against fake images.
#include "CRedirector.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

// The test program's own import of ImportApiA.dll: its calls must never be diverted.
extern "C" __declspec(dllimport) int alphaOne(int x);

namespace {

int plusHundred(int x) {
  return x + 100;
}
int plusThousand(int x) {
  return x + 1000;
}
void* const kPlusHundred = reinterpret_cast<void*>(&plusHundred);
void* const kPlusThousand = reinterpret_cast<void*>(&plusThousand);

// One import descriptor as the platform's own structures describe it, read independently of the code.
struct Descriptor {
  std::string name;
  DWORD* table;         // import address table
  const DWORD* lookup;  // OriginalFirstThunk: names or ordinals
};

std::vector<Descriptor> descriptorsOf(HMODULE module) {
  char* base = reinterpret_cast<char*>(module);
  const IMAGE_NT_HEADERS32* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  std::vector<Descriptor> found;
  if (rva == 0) return found;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + rva); d->FirstThunk; ++d)
    found.push_back(Descriptor{base + d->Name, reinterpret_cast<DWORD*>(base + d->FirstThunk),
                               reinterpret_cast<const DWORD*>(base + d->OriginalFirstThunk)});
  return found;
}

typedef int (*IntFunction)(int);

DWORD addressOf(HMODULE module, const char* name) {
  return reinterpret_cast<DWORD>(GetProcAddress(module, name));
}

std::vector<DWORD> slotsOf(const DWORD* table) {
  std::vector<DWORD> slots;
  for (; *table; ++table) slots.push_back(*table);
  return slots;
}

HINSTANCE handleAt(const void* at) {
  return static_cast<HINSTANCE>(const_cast<void*>(at));
}

class Redirection : public ::testing::Test {
protected:
  void SetUp() override {
    target = LoadLibraryA("ImportTarget.dll");
    ASSERT_NE(target, nullptr) << GetLastError();
    noImports = LoadLibraryA("NoImports.dll");
    ASSERT_NE(noImports, nullptr);
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
    FreeLibrary(noImports);
    FreeLibrary(target);
    EXPECT_EQ(GetModuleHandleA("ImportTarget.dll"), nullptr);
  }
  // The outcome of call, then what r holds: "true 0: target apiA tableA" ("-" for null).
  template <typename Call>
  std::string step(const CRedirector& r, Call call) {
    std::string result = outcome(call) + ":";
    for (const void* held : {static_cast<const void*>(r.module), static_cast<const void*>(r.apiModule),
                             static_cast<const void*>(r.importAddressTable)})
      result += " " + nameOf(held);
    return result;
  }
  std::string nameOf(const void* held) const {
    const std::pair<const void*, const char*> known[] = {
        {nullptr, "-"},           {target, "target"}, {apiA, "apiA"},    {apiB, "apiB"},
        {noImports, "noImports"}, {tableA, "tableA"}, {tableB, "tableB"}};
    for (const auto& k : known)
      if (k.first == held) return k.second;
    return "other";
  }
  int call(const char* name, int x) {
    FARPROC function = GetProcAddress(target, name);
    return function ? reinterpret_cast<IntFunction>(reinterpret_cast<void*>(function))(x) : -1;
  }

  HMODULE target = nullptr;
  HMODULE apiA = nullptr;
  HMODULE apiB = nullptr;
  HMODULE noImports = nullptr;
  DWORD* tableA = nullptr;
  DWORD* tableB = nullptr;
  DWORD* secondTableB = nullptr;
};

// Guards the other tests: the fixture modules really have the import layout the cases rely on.
TEST_F(Redirection, FixturesHaveTheIntendedImports) {
  ASSERT_NE(tableA, nullptr) << "ImportApiA.dll is named in lower case";
  ASSERT_NE(secondTableB, nullptr) << "ImportApiB.dll has two descriptors";
  EXPECT_EQ(slotsOf(tableB), std::vector<DWORD>{addressOf(apiB, "betaOne")});
  EXPECT_EQ(slotsOf(secondTableB), std::vector<DWORD>{addressOf(apiB, "betaTwo")});
  // alphaByOrdinal is imported by ordinal 5 only, alphaTwo by name.
  std::vector<std::string> lookups;
  for (const Descriptor& d : descriptorsOf(target)) {
    if (d.table != tableA) continue;
    for (const DWORD* entry = d.lookup; *entry; ++entry)
      lookups.push_back(*entry & IMAGE_ORDINAL_FLAG32 ? "#" + std::to_string(*entry & 0xFFFF)
                                                      : reinterpret_cast<const char*>(target) + *entry + 2);
  }
  EXPECT_EQ(lookups, (std::vector<std::string>{"#5", "alphaOne", "alphaTwo"}));
  EXPECT_TRUE(descriptorsOf(noImports).empty()) << "NoImports.dll has no import directory";
}

// Each step's result and code, and what the redirector holds afterwards.
TEST_F(Redirection, SetModuleAndSetApiModule) {
  CRedirector r;
  EXPECT_EQ(step(r, [&] { return r.setModule(static_cast<HINSTANCE>(nullptr)); }), "false 1: - - -");
  EXPECT_EQ(step(r, [&] { return r.setModule("NoSuchModule.dll"); }), "false 1: - - -");
  EXPECT_EQ(step(r, [&] { return r.setApiModule(static_cast<HINSTANCE>(nullptr)); }), "false 2: - - -");
  EXPECT_EQ(step(r, [&] { return r.setApiModule("NoSuchModule.dll"); }), "false 2: - - -");
  // No target yet: the API module is still recorded.
  EXPECT_EQ(step(r, [&] { return r.setApiModule(apiA); }), "false 1: - apiA -");
  EXPECT_EQ(step(r, [&] { return r.setModule("IMPORTTARGET.DLL"); }), "true 0: target apiA -");
  // The descriptor says "importapia.dll": matched by module, not by spelling.
  EXPECT_EQ(step(r, [&] { return r.setApiModule(apiA); }), "true 0: target apiA tableA");
  EXPECT_EQ(step(r, [&] { return r.setApiModule("importapib.DLL"); }), "true 0: target apiB tableB");
  // A module that is not imported is recorded, and the table selected before is kept.
  EXPECT_EQ(step(r, [&] { return r.setApiModule("NoImports.dll"); }), "false 5: target noImports tableB");
  // Changing the target keeps the API module and the table; a failed change keeps the target.
  EXPECT_EQ(step(r, [&] { return r.setModule(noImports); }), "true 0: noImports noImports tableB");
  EXPECT_EQ(step(r, [&] { return r.setModule(static_cast<HINSTANCE>(nullptr)); }),
            "false 1: noImports noImports tableB");
  // A target without an import directory imports nothing from anyone.
  EXPECT_EQ(step(r, [&] { return r.setApiModule(apiA); }), "false 5: noImports apiA tableB");
}

TEST_F(Redirection, RedirectDivertsOnlyTheTargetsCalls) {
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_EQ(call("callAlphaOne", 1), 2);
  DWORD* slot = std::find(tableA, tableA + slotsOf(tableA).size(), addressOf(apiA, "alphaOne"));
  ASSERT_EQ(*slot, addressOf(apiA, "alphaOne"));
  // A read-only table, as Microsoft's linker lays it out: it is read-only again afterwards.
  DWORD previous;
  ASSERT_TRUE(VirtualProtect(slot, sizeof *slot, PAGE_READONLY, &previous));

  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "true 0");
  EXPECT_EQ(*slot, reinterpret_cast<DWORD>(kPlusHundred));
  EXPECT_EQ(protectionOf(slot), static_cast<DWORD>(PAGE_READONLY));
  EXPECT_EQ(call("callAlphaOne", 1), 101);
  EXPECT_EQ(alphaOne(1), 2);  // the test program's own import
  EXPECT_EQ(reinterpret_cast<IntFunction>(reinterpret_cast<void*>(GetProcAddress(apiA, "alphaOne")))(1), 2);
  EXPECT_EQ(call("callAlphaTwo", 1), 3);  // other slots untouched
}

// Redirections in order on one redirector: slots are found by address whatever the import kind, only
// in the first descriptor of a module, and a redirected slot no longer holds the function.
TEST_F(Redirection, RedirectFindsSlotsByAddress) {
  struct Step {
    const HMODULE* api;  // selected before the step when it differs
    const char* name;    // or, when null, the ordinal
    int ordinal;
    void* function;
    const char* outcome;
  };
  const Step steps[] = {
      {&apiA, "alphaByOrdinal", 0, kPlusHundred, "true 0"},  // imported by ordinal
      {&apiA, nullptr, 2, kPlusThousand, "true 0"},          // alphaTwo, imported by name
      {&apiA, nullptr, 2, kPlusHundred, "false 8"},          // its slot holds plusThousand now
      {&apiA, "noSuchFunction", 0, kPlusHundred, "false 6"},
      {&apiA, nullptr, 4, kPlusHundred, "false 6"},  // not exported
      {&apiA, nullptr, 0, kPlusHundred, "false 6"},  // not ordinals
      {&apiA, nullptr, -1, kPlusHundred, "false 6"},
      {&apiA, nullptr, 0x10001, kPlusHundred, "false 6"},
      {&apiA, "alphaUnused", 0, kPlusHundred, "false 8"},  // exported, not imported
      {&apiA, nullptr, 3, kPlusHundred, "false 8"},
      {&apiB, "betaOne", 0, kPlusHundred, "true 0"},
      {&apiB, "betaTwo", 0, kPlusHundred, "false 8"},         // in the second descriptor only
      {&noImports, "bareValue", 0, kPlusHundred, "false 8"},  // searched in betaOne's table
      {&noImports, "alphaOne", 0, kPlusHundred, "false 6"},
  };
  CRedirector r;
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 6");  // no API module
  ASSERT_TRUE(r.setModule(target));
  std::vector<DWORD> before = slotsOf(tableA);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name ? step.name : std::to_string(step.ordinal));
    if (r.apiModule != *step.api) r.setApiModule(*step.api);
    std::string got = step.name ? outcome([&] { return r.redirect(step.name, step.function); })
                                : outcome([&] { return r.redirect(step.ordinal, step.function); });
    EXPECT_EQ(got, step.outcome);
  }
  before[0] = reinterpret_cast<DWORD>(kPlusHundred);
  before[2] = reinterpret_cast<DWORD>(kPlusThousand);
  EXPECT_EQ(slotsOf(tableA), before);
  const std::pair<const char*, int> calls[] = {{"callAlphaByOrdinal", 101},
                                               {"callAlphaTwo", 1001},
                                               {"callAlphaOne", 2},
                                               {"callBetaOne", 101},
                                               {"callBetaTwo", 21}};
  for (const auto& c : calls) EXPECT_EQ(call(c.first, 1), c.second) << c.first;

  // Changing the target keeps the table selected for the previous one.
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_TRUE(r.setModule(noImports));
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "true 0");
  EXPECT_EQ(call("callAlphaOne", 1), 101);
  CRedirector unselected;
  ASSERT_TRUE(unselected.setModule(target));
  ASSERT_FALSE(unselected.setApiModule(noImports));
  EXPECT_EQ(outcome([&] { return unselected.redirect("bareValue", kPlusHundred); }), "false 7");
}

void put32(char* at, DWORD value) {
  std::memcpy(at, &value, sizeof value);
}

// A fake image at at: "MZ", NT headers at 0x40 whose import directory names importsFrom, its table
// at 0x380 holding slot and then 0.
void buildImage(char* at, const char* importsFrom, DWORD slot) {
  std::memcpy(at, "MZ", 2);
  put32(at + 0x3C, 0x40);
  std::memcpy(at + 0x40, "PE", 2);
  put32(at + 0xC0, 0x200);
  put32(at + 0x200 + 12, 0x300);
  put32(at + 0x200 + 16, 0x380);
  std::strcpy(at + 0x300, importsFrom);
  put32(at + 0x380, slot);
}

// Fake images in a page followed by a no-access page, so that reading past one would fault.
TEST_F(Redirection, HeaderCodesOnFakeModulesWithoutFaults) {
  struct Case {
    const char* what;
    size_t start;  // of the image in the page
    const char* mz;
    DWORD ntHeaders;
    const char* signature;
    DWORD importRva;  // 0x400: followed by descriptors without a null one up to the page's end
    const char* outcome;
  };
  const Case cases[] = {
      {"zeros", 0, "", 0, "", 0, "false 3"},
      {"MZ without PE", 0, "MZ", 0x40, "", 0, "false 4"},
      {"NT headers far outside", 0, "MZ", 0x7FFFFFF0, "", 0, "false 4"},
      {"NT headers at the page end", 0, "MZ", 0xFFE, "PE", 0, "false 4"},
      {"MZ in the last two bytes", kPageSize - 2, "MZ", 0, "", 0, "false 4"},
      {"no import directory", 0, "MZ", 0x40, "PE", 0, "false 5"},
      {"directory past the end", 0, "MZ", 0x40, "PE", 0x2000, "false 5"},
      {"descriptors without end", 0, "MZ", 0x40, "PE", 0x400, "false 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page pages(PAGE_READWRITE, 0, 2);
    char* image = pages.at + c.start;
    std::memcpy(image, c.mz, std::strlen(c.mz));
    if (c.ntHeaders) put32(image + 0x3C, c.ntHeaders);
    if (c.ntHeaders < kPageSize) std::memcpy(image + c.ntHeaders, c.signature, std::strlen(c.signature));
    if (c.importRva) put32(image + 0xC0, c.importRva);
    if (c.importRva == 0x400) std::memset(image + 0x400, 0x41, kPageSize - 0x400);
    setProtection(pages.at + kPageSize, PAGE_NOACCESS);
    CRedirector r;
    ASSERT_TRUE(r.setModule(handleAt(image)));
    EXPECT_EQ(step(r, [&] { return r.setApiModule(apiA); }), c.outcome + std::string(": other apiA -"));
  }
  // Handles that cannot be read at all.
  Page reserved(kReservedOnly, 0);
  for (const void* handle : {static_cast<const void*>(reserved.at), static_cast<const void*>(freedPage()),
                             reinterpret_cast<const void*>(1)}) {
    CRedirector r;
    ASSERT_TRUE(r.setModule(handleAt(handle)));
    EXPECT_EQ(outcome([&] { return r.setApiModule(apiA); }), "false 3") << handle;
  }
}

// A fake image in private memory that imports alphaOne: the table is found, but the slot's page
// refuses copy-on-write protection, so nothing is written.
TEST_F(Redirection, SlotWhoseProtectionCannotChangeIsLeftAlone) {
  Page page(PAGE_READWRITE, 0);
  DWORD original = addressOf(apiA, "alphaOne");
  buildImage(page.at, "IMPORTAPIA.DLL", original);
  CRedirector r;
  ASSERT_TRUE(r.setModule(handleAt(page.at)));
  ASSERT_EQ(outcome([&] { return r.setApiModule(apiA); }), "true 0");
  ASSERT_EQ(r.importAddressTable, reinterpret_cast<DWORD*>(page.at + 0x380));
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 9");
  EXPECT_EQ(*reinterpret_cast<DWORD*>(page.at + 0x380), original);
  EXPECT_EQ(protectionOf(page.at), static_cast<DWORD>(PAGE_READWRITE));
}

// A table without its zero slot, running up to a no-access page, and an API "module" that is not one.
TEST_F(Redirection, ScansStayInsideReadableMemory) {
  Page pages(PAGE_READWRITE, 0x41, 2);
  setProtection(pages.at + kPageSize, PAGE_NOACCESS);
  CRedirector r;
  r.apiModule = apiA;
  r.importAddressTable = reinterpret_cast<DWORD*>(pages.at + kPageSize - 0x40);
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 8");

  ASSERT_TRUE(r.setModule(target));
  EXPECT_EQ(outcome([&] { return r.setApiModule(handleAt(pages.at)); }), "false 5");    // recorded all the same
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 6");  // nothing to look up
}

// Fresh objects are clear; __autoclassinit2 clears exactly the given number of bytes from the start.
// (Assignment is checked through the exported interface by the add-on launch.)
TEST(CRedirectorObject, ConstructionAndClearing) {
  alignas(CRedirector) unsigned char storage[sizeof(CRedirector)];
  std::memset(storage, 0xAB, sizeof storage);
  CRedirector* fresh = new (storage) CRedirector();
  EXPECT_EQ(Bytes(storage, storage + sizeof storage), Bytes(12, 0));
  fresh->module = handleAt(reinterpret_cast<void*>(0x10000000));
  fresh->apiModule = fresh->module;
  fresh->importAddressTable = reinterpret_cast<DWORD*>(0x30000000);
  fresh->__autoclassinit2(8);
  EXPECT_EQ(Bytes(storage, storage + sizeof storage), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x30}));
  fresh->__autoclassinit2(sizeof(CRedirector));
  EXPECT_EQ(Bytes(storage, storage + sizeof storage), Bytes(12, 0));
}

}  // namespace
