// CRedirector: replaces import address table slots of a loaded module.
#include "CRedirector.h"

#include "patching/internal/ImportDirectory.h"
#include "patching/internal/ReadableSpan.h"

#include <cstring>

namespace {

const DWORD kDone = 0;
const DWORD kNoModule = 1;
const DWORD kNoApiModule = 2;
const DWORD kNoMzWord = 3;
const DWORD kNoPeSignature = 4;
const DWORD kNoImportsFromApi = 5;
const DWORD kNoSuchExport = 6;
const DWORD kNoTableSelected = 7;
const DWORD kNoSlotHoldsFunction = 8;
const DWORD kSlotProtectionRefused = 9;

bool fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool succeed() {
  SetLastError(kDone);
  return true;
}

// Null for a null name: GetModuleHandleA(NULL) would answer with the executable.
HINSTANCE loadedModule(const char* name) {
  return name == nullptr ? nullptr : GetModuleHandleA(name);
}

// True when handle is the base of a module loaded in this process, so that GetProcAddress may read it.
bool isLoadedModule(HINSTANCE handle) {
  HMODULE found = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  return GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(handle), &found) && found == handle;
}

// The export's address when apiModule is a loaded module that has it, else 0.
DWORD exportOf(HINSTANCE apiModule, const char* nameOrOrdinal) {
  if (apiModule == nullptr || !isLoadedModule(apiModule)) return 0;
  return reinterpret_cast<DWORD>(GetProcAddress(apiModule, nameOrOrdinal));
}

// The first slot from table up to the zero slot that ends it (never past readable memory) that
// holds function; null when none does.
DWORD* findSlot(DWORD* table, DWORD function) {
  size_t slots = readableSpan(table) / sizeof(DWORD);
  for (size_t i = 0; i < slots && table[i] != 0; ++i) {
    if (table[i] == function) return table + i;
  }
  return nullptr;
}

// Stores replacement in the slot of table that holds function, with one 4-byte store.
bool replaceSlot(DWORD function, DWORD* table, void* replacement) {
  if (function == 0) return fail(kNoSuchExport);
  if (table == nullptr) return fail(kNoTableSelected);
  DWORD* slot = findSlot(table, function);
  if (slot == nullptr) return fail(kNoSlotHoldsFunction);
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_WRITECOPY, &previous)) return fail(kSlotProtectionRefused);
  *static_cast<volatile DWORD*>(slot) = reinterpret_cast<DWORD>(replacement);
  VirtualProtect(slot, sizeof *slot, previous, &previous);  // result deliberately not checked
  return succeed();
}

}  // namespace

CRedirector::CRedirector() : module(nullptr), apiModule(nullptr), importAddressTable(nullptr) {}

CRedirector& CRedirector::operator=(const CRedirector& other) {
  module = other.module;
  apiModule = other.apiModule;
  importAddressTable = other.importAddressTable;
  return *this;
}

// A move is a copy: the object owns nothing, and the moved-from object keeps its values.
CRedirector& CRedirector::operator=(CRedirector&& other) {
  return *this = static_cast<const CRedirector&>(other);
}

void CRedirector::__autoclassinit2(unsigned int size) {
  std::memset(this, 0, size);
}

bool CRedirector::setModule(HINSTANCE handle) {
  if (handle == nullptr) return fail(kNoModule);
  module = handle;
  return succeed();
}

bool CRedirector::setModule(const char* name) {
  return setModule(loadedModule(name)) || fail(kNoModule);
}

bool CRedirector::setApiModule(HINSTANCE handle) {
  if (handle == nullptr) return fail(kNoApiModule);
  apiModule = handle;  // kept even when the steps below fail
  if (module == nullptr) return fail(kNoModule);

  // The descriptors are read in place: nothing is allocated, so running out of memory cannot fail it.
  const unsigned char* base = reinterpret_cast<const unsigned char*>(module);
  size_t span = readableSpan(base);
  size_t at = 0;
  switch (findImportDirectory(base, span, at)) {
    case ImageCheck::noMzWord: return fail(kNoMzWord);
    case ImageCheck::noPeSignature: return fail(kNoPeSignature);
    case ImageCheck::noImportDirectory: return fail(kNoImportsFromApi);
    case ImageCheck::valid: break;
  }
  // Matched by module identity, so any spelling of the name counts; only the first match is used.
  ImportEntry entry;
  while (nextImportEntry(base, span, at, entry)) {
    if (entry.moduleName == nullptr || GetModuleHandleA(entry.moduleName) != handle) continue;
    if (!entry.tableInImage) return fail(kNoImportsFromApi);
    importAddressTable = reinterpret_cast<DWORD*>(const_cast<unsigned char*>(base) + entry.firstThunk);
    return succeed();
  }
  return fail(kNoImportsFromApi);
}

bool CRedirector::setApiModule(const char* name) {
  return setApiModule(loadedModule(name));
}

bool CRedirector::redirect(const char* name, void* replacement) {
  return replaceSlot(exportOf(apiModule, name), importAddressTable, replacement);
}

bool CRedirector::redirect(int ordinal, void* replacement) {
  if (ordinal < 1 || ordinal > 0xFFFF) return fail(kNoSuchExport);  // not an ordinal at all
  return replaceSlot(exportOf(apiModule, MAKEINTRESOURCEA(ordinal)), importAddressTable, replacement);
}
