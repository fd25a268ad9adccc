// CRedirector against real modules built for the tests (fixtures/) and against fake images.
#include "CRedirector.h"
#include "patching/TestPages.h"
#include "patching/internal/ImportDirectory.h"
#include "patching/internal/ReadableSpan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

// The test program's own import of ImportApiA.dll: its calls must never be diverted.
extern "C" __declspec(dllimport) int alphaOne(int x);

namespace {

typedef int (*IntFunction)(int);
void* const kPlusHundred = reinterpret_cast<void*>(IntFunction([](int x) { return x + 100; }));
void* const kPlusThousand = reinterpret_cast<void*>(IntFunction([](int x) { return x + 1000; }));

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
    // The tables through the import walk (its own tests check it on bytes): ImportApiA.dll is named in
    // lower case, and ImportApiB.dll has two descriptors.
    const unsigned char* base = reinterpret_cast<const unsigned char*>(target);
    std::vector<ImportEntry> entries;
    ASSERT_EQ(readImports(base, readableSpan(base), entries), ImageCheck::valid);
    for (const ImportEntry& e : entries) {
      DWORD* table = reinterpret_cast<DWORD*>(reinterpret_cast<char*>(target) + e.firstThunk);
      if (std::string(e.moduleName) == "importapia.dll") tableA = table;
      if (std::string(e.moduleName) == "ImportApiB.dll") (tableB ? secondTableB : tableB) = table;
    }
    ASSERT_NE(tableA, nullptr);
    ASSERT_NE(secondTableB, nullptr);
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
        {nullptr, "-"},           {target, "target"}, {apiA, "apiA"},     {apiB, "apiB"},
        {noImports, "noImports"}, {tableA, "tableA"}, {tableB, "tableB"}, {GetModuleHandleA(nullptr), "exe"}};
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
  // A null name stands for the executable, as GetModuleHandleA answers it.
  EXPECT_EQ(step(r, [&] { return r.setApiModule(static_cast<const char*>(nullptr)); }),
            "false 5: noImports exe tableB");
  EXPECT_EQ(step(r, [&] { return r.setModule(static_cast<const char*>(nullptr)); }), "true 0: exe exe tableB");
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
      {&apiB, "betaTwo", 0, kPlusHundred, "false 8"},     // in the second descriptor only
      {&noImports, nullptr, 1, kPlusHundred, "false 8"},  // bareValue, its only export: searched in betaOne's table
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

  // Changing the target keeps the table selected for the previous one. A read-only slot, as Microsoft's
  // linker lays tables out, is read-only again afterwards; only the target's calls are diverted.
  DWORD* slot = tableA + 1;
  ASSERT_EQ(*slot, addressOf(apiA, "alphaOne"));
  DWORD previous;
  ASSERT_TRUE(VirtualProtect(slot, sizeof *slot, PAGE_READONLY, &previous));
  ASSERT_TRUE(r.setApiModule(apiA));
  ASSERT_TRUE(r.setModule(noImports));
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "true 0");
  EXPECT_EQ(protectionOf(slot), static_cast<DWORD>(PAGE_READONLY));
  EXPECT_EQ(call("callAlphaOne", 1), 101);
  EXPECT_EQ(alphaOne(1), 2);  // the test program's own import
  EXPECT_EQ(reinterpret_cast<IntFunction>(reinterpret_cast<void*>(GetProcAddress(apiA, "alphaOne")))(1), 2);
  CRedirector unselected;
  ASSERT_TRUE(unselected.setModule(target));
  ASSERT_FALSE(unselected.setApiModule(noImports));
  EXPECT_EQ(outcome([&] { return unselected.redirect("bareValue", kPlusHundred); }), "false 7");
}

void put32(char* at, DWORD value) {
  std::memcpy(at, &value, sizeof value);
}

// Fake images in a page followed by a no-access page, so that reading past one would fault. The last
// one imports alphaOne from IMPORTAPIA.DLL: its table is found, but its slot, in private memory,
// refuses copy-on-write protection, so nothing is written.
TEST_F(Redirection, FakeModulesWithoutFaults) {
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
      {"zeros", 0, "", 0, "", 0, "false 3: other apiA -"},
      {"MZ without PE", 0, "MZ", 0x40, "", 0, "false 4: other apiA -"},
      {"MZ in the last two bytes", kPageSize - 2, "MZ", 0, "", 0, "false 4: other apiA -"},
      {"descriptors without end", 0, "MZ", 0x40, "PE", 0x400, "false 5: other apiA -"},
      {"imports alphaOne", 0, "MZ", 0x40, "PE", 0x200, "true 0: other apiA other"},
  };
  const DWORD alphaOneAt = addressOf(apiA, "alphaOne");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Page pages(PAGE_READWRITE, 0, 2);
    char* image = pages.at + c.start;
    std::memcpy(image, c.mz, std::strlen(c.mz));
    if (c.ntHeaders) put32(image + 0x3C, c.ntHeaders);
    std::memcpy(image + c.ntHeaders, c.signature, std::strlen(c.signature));
    if (c.importRva) put32(image + 0xC0, c.importRva);
    if (c.importRva == 0x400) std::memset(image + 0x400, 0x41, kPageSize - 0x400);
    if (c.importRva == 0x200) {
      put32(image + 0x200 + 12, 0x300);
      put32(image + 0x200 + 16, 0x380);
      std::strcpy(image + 0x300, "IMPORTAPIA.DLL");
      put32(image + 0x380, alphaOneAt);
    }
    setProtection(pages.at + kPageSize, PAGE_NOACCESS);
    CRedirector r;
    ASSERT_TRUE(r.setModule(handleAt(image)));
    EXPECT_EQ(step(r, [&] { return r.setApiModule(apiA); }), c.outcome);
    if (!r.importAddressTable) continue;
    EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 9");
    EXPECT_EQ(*reinterpret_cast<DWORD*>(image + 0x380), alphaOneAt);
    EXPECT_EQ(protectionOf(image), static_cast<DWORD>(PAGE_READWRITE));
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

// A table without its zero slot, running up to where readable memory ends: a no-access page or a guard
// page of its own allocation, or the end of its allocation, with another readable one right after it.
// Beyond, a slot holds the function, which the scan must not reach.
TEST_F(Redirection, ScansStayInsideReadableMemory) {
  const size_t unit = 0x10000;  // allocations start on this boundary
  for (DWORD beyond : {DWORD(PAGE_NOACCESS), DWORD(PAGE_READWRITE | PAGE_GUARD), DWORD(PAGE_READWRITE)}) {
    SCOPED_TRACE(beyond);
    char* place = static_cast<char*>(VirtualAlloc(nullptr, 2 * unit, MEM_RESERVE, PAGE_NOACCESS));
    VirtualFree(place, 0, MEM_RELEASE);
    char* halves[2];
    for (int i = 0; i < 2; ++i) {
      halves[i] = static_cast<char*>(VirtualAlloc(place + i * unit, unit, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
      ASSERT_EQ(halves[i], place + i * unit) << "no room for two allocations side by side";
      std::memset(halves[i], 0x41, unit);
    }
    char* end = beyond == PAGE_READWRITE ? halves[1] : halves[1] - kPageSize;
    put32(end, addressOf(apiA, "alphaOne"));
    setProtection(end, beyond);
    ASSERT_EQ(readableSpan(end - 0x40), 0x40u);  // before a scan could run into the guard page
    CRedirector r;
    r.apiModule = apiA;
    r.importAddressTable = reinterpret_cast<DWORD*>(end - 0x40);
    EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 8");
    for (char* half : halves) VirtualFree(half, 0, MEM_RELEASE);
  }
  // An API "module" that is not one is recorded all the same, and has nothing to look up.
  CRedirector r;
  ASSERT_TRUE(r.setModule(target));
  Page page(PAGE_READWRITE, 0);
  EXPECT_EQ(outcome([&] { return r.setApiModule(handleAt(page.at)); }), "false 5");
  EXPECT_EQ(outcome([&] { return r.redirect("alphaOne", kPlusHundred); }), "false 6");
}

}  // namespace
