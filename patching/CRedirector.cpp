// CRedirector: replaces import address table slots of a loaded module.
#include "CRedirector.h"

#include "patching/internal/ImportDirectory.h"
#include "patching/internal/ProtectionChange.h"
#include "patching/internal/ReadableSpan.h"

namespace {

bool fail(RedirectorCode code) {
  SetLastError(code);
  return false;
}

bool succeed() {
  SetLastError(kRedirectDone);
  return true;
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
  if (function == 0) return fail(kRedirectNoSuchExport);
  if (table == nullptr) return fail(kRedirectNoTableSelected);
  DWORD* slot = findSlot(table, function);
  if (slot == nullptr) return fail(kRedirectNoSlotHoldsFunction);
  {
    ProtectionChange writable(slot, sizeof *slot, PAGE_WRITECOPY);
    if (!writable.applied()) return fail(kRedirectSlotProtectionRefused);
    *static_cast<volatile DWORD*>(slot) = reinterpret_cast<DWORD>(replacement);
  }  // the slot's protection is back before the code is set
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

// __autoclassinit2 has no body here: CJSON_Exp's zero-fill serves both (exports/Corvane.exports).

bool CRedirector::setModule(HINSTANCE handle) {
  if (handle == nullptr) return fail(kRedirectNoModule);
  module = handle;
  return succeed();
}

// A null name is the executable: GetModuleHandleA(NULL) answers with it.
bool CRedirector::setModule(const char* name) {
  return setModule(GetModuleHandleA(name));
}

bool CRedirector::setApiModule(HINSTANCE handle) {
  if (handle == nullptr) return fail(kRedirectNoApiModule);
  apiModule = handle;  // kept even when the steps below fail
  if (module == nullptr) return fail(kRedirectNoModule);

  // The descriptors are read in place: nothing is allocated, so running out of memory cannot fail it.
  const unsigned char* base = reinterpret_cast<const unsigned char*>(module);
  size_t span = readableSpan(base);
  size_t at = 0;
  switch (findImportDirectory(base, span, at)) {
    case ImageCheck::noMzWord: return fail(kRedirectNoMzWord);
    case ImageCheck::noPeSignature: return fail(kRedirectNoPeSignature);
    case ImageCheck::noImportDirectory: return fail(kRedirectNoImportsFromApi);
    case ImageCheck::valid: break;
  }
  // Matched by module identity, so any spelling of the name counts; only the first match is used.
  ImportEntry entry;
  while (nextImportEntry(base, span, at, entry)) {
    if (entry.moduleName == nullptr || GetModuleHandleA(entry.moduleName) != handle) continue;
    if (!entry.tableInImage) return fail(kRedirectNoImportsFromApi);
    importAddressTable = reinterpret_cast<DWORD*>(const_cast<unsigned char*>(base) + entry.firstThunk);
    return succeed();
  }
  return fail(kRedirectNoImportsFromApi);
}

bool CRedirector::setApiModule(const char* name) {
  return setApiModule(GetModuleHandleA(name));
}

bool CRedirector::redirect(const char* name, void* replacement) {
  return replaceSlot(exportOf(apiModule, name), importAddressTable, replacement);
}

bool CRedirector::redirect(int ordinal, void* replacement) {
  if (ordinal < 1 || ordinal > 0xFFFF) return fail(kRedirectNoSuchExport);  // not an ordinal at all
  return replaceSlot(exportOf(apiModule, MAKEINTRESOURCEA(ordinal)), importAddressTable, replacement);
}
