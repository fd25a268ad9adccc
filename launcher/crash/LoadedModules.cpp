// Loaded modules: the loader's list walked without its lock, and images read in place.
#include "launcher/crash/LoadedModules.h"

#include "patching/internal/ReadableSpan.h"

#include <winternl.h>

#include <cstring>

void ModuleTable::snapshot() {
  used = 0;
  PEB* peb;
  asm("movl %%fs:0x30, %0" : "=r"(peb));  // the thread's TEB holds the process's PEB at 0x30
  PEB_LDR_DATA* loader = peb->Ldr;
  LIST_ENTRY* head = &loader->InMemoryOrderModuleList;
  for (LIST_ENTRY* link = head->Flink; link != head && used < kCapacity; link = link->Flink) {
    if (readableSpan(link) < sizeof(LDR_DATA_TABLE_ENTRY)) break;
    const LDR_DATA_TABLE_ENTRY* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
    DWORD base = reinterpret_cast<DWORD>(entry->DllBase);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!base || readableSpan(dos) < 0x200) continue;
    const IMAGE_NT_HEADERS32* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || readableSpan(nt) < sizeof *nt || nt->Signature != IMAGE_NT_SIGNATURE)
      continue;
    LoadedModule& module = modules[used++];
    module.base = base;
    module.size = nt->OptionalHeader.SizeOfImage;
    const UNICODE_STRING& path = entry->FullDllName;
    int length = 0;
    if (path.Buffer && readableSpan(path.Buffer) >= path.Length)
      length =
          WideCharToMultiByte(CP_ACP, 0, path.Buffer, path.Length / 2, module.path, MAX_PATH - 1, nullptr, nullptr);
    module.path[length] = '\0';
    const char* slash = strrchr(module.path, '\\');
    module.name = slash ? slash + 1 : module.path;
  }
}

const LoadedModule* ModuleTable::find(DWORD address) const {
  for (size_t i = 0; i < used; ++i)
    if (address - modules[i].base < modules[i].size) return &modules[i];
  return nullptr;
}

DWORD ModuleImage::read32(DWORD rva) const {
  DWORD value = 0;
  if (inside(rva, 4)) memcpy(&value, reinterpret_cast<const void*>(base + rva), 4);
  return value;
}

const IMAGE_NT_HEADERS32* ModuleImage::headers() const {
  DWORD at = read32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
  if (!inside(at, sizeof(IMAGE_NT_HEADERS32))) return nullptr;
  return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + at);
}

bool ModuleImage::directory(int index, DWORD& rva, DWORD& length) const {
  const IMAGE_NT_HEADERS32* nt = headers();
  if (!nt || nt->OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(index)) return false;
  rva = nt->OptionalHeader.DataDirectory[index].VirtualAddress;
  length = nt->OptionalHeader.DataDirectory[index].Size;
  return rva != 0 && inside(rva, length);
}

const char* ModuleImage::textAt(DWORD rva) const {
  if (!inside(rva, 1)) return nullptr;
  const char* text = reinterpret_cast<const char*>(base + rva);
  return memchr(text, 0, size - rva) ? text : nullptr;
}

DWORD ModuleImage::timeStamp() const {
  const IMAGE_NT_HEADERS32* nt = headers();
  return nt ? nt->FileHeader.TimeDateStamp : 0;
}

bool ModuleImage::isCode(DWORD rva) const {
  const IMAGE_NT_HEADERS32* nt = headers();
  if (!nt) return false;
  const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
  DWORD first = reinterpret_cast<DWORD>(sections) - base;
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (!inside(first + i * sizeof *sections, sizeof *sections)) return false;
    const IMAGE_SECTION_HEADER& section = sections[i];
    if ((section.Characteristics & IMAGE_SCN_MEM_EXECUTE) && rva - section.VirtualAddress < section.Misc.VirtualSize)
      return true;
  }
  return false;
}

// The version resource: type 16, its first name, its first language, then VS_VERSIONINFO, whose fixed
// part follows the 6-byte header and the key L"VS_VERSION_INFO" (32 bytes) on a 4-byte boundary. The
// key is checked rather than the fixed part's signature, whose bytes in the code would be found by
// whoever looks for the version record in the executable's file.
bool ModuleImage::fileVersion(DWORD& high, DWORD& low) const {
  DWORD root = 0, length = 0;
  if (!directory(IMAGE_DIRECTORY_ENTRY_RESOURCE, root, length)) return false;
  DWORD node = root;
  for (int level = 0; level < 3; ++level) {
    if (!inside(node, sizeof(IMAGE_RESOURCE_DIRECTORY))) return false;
    const IMAGE_RESOURCE_DIRECTORY* dir = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(base + node);
    DWORD entries = node + sizeof *dir;
    DWORD count = dir->NumberOfNamedEntries + dir->NumberOfIdEntries;
    DWORD chosen = 0;
    bool found = false;
    for (DWORD i = 0; i < count && !found; ++i) {
      DWORD name = read32(entries + i * 8);
      chosen = read32(entries + i * 8 + 4);
      found = level > 0 || name == reinterpret_cast<DWORD>(RT_VERSION);
    }
    if (!found) return false;
    bool subdirectory = chosen & 0x80000000u;
    if (subdirectory != (level < 2)) return false;
    node = root + (chosen & 0x7FFFFFFFu);
  }
  static const wchar_t kKey[] = L"VS_VERSION_INFO";
  DWORD data = read32(node), dataSize = read32(node + 4);
  const DWORD fixed = data + 40;
  if (dataSize < 40 + sizeof(VS_FIXEDFILEINFO) || !inside(data, 40 + sizeof(VS_FIXEDFILEINFO))) return false;
  if (memcmp(reinterpret_cast<const void*>(base + data + 6), kKey, sizeof kKey) != 0) return false;
  high = read32(fixed + offsetof(VS_FIXEDFILEINFO, dwFileVersionMS));
  low = read32(fixed + offsetof(VS_FIXEDFILEINFO, dwFileVersionLS));
  return true;
}

const char* ModuleImage::importName(DWORD slotRva) const {
  DWORD at = 0, length = 0;
  if (!directory(IMAGE_DIRECTORY_ENTRY_IMPORT, at, length)) return nullptr;
  for (; inside(at, sizeof(IMAGE_IMPORT_DESCRIPTOR)); at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const IMAGE_IMPORT_DESCRIPTOR* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + at);
    if (entry->FirstThunk == 0) return nullptr;
    DWORD lookup = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
    for (DWORD slot = entry->FirstThunk; read32(slot) != 0; slot += 4, lookup += 4) {
      if (slot != slotRva) continue;
      DWORD hint = read32(lookup);
      if (hint == 0 || (hint & IMAGE_ORDINAL_FLAG32)) return nullptr;
      return textAt(hint + 2);
    }
  }
  return nullptr;
}

const char* ModuleImage::exportName(DWORD rva) const {
  DWORD at = 0, length = 0;
  if (!directory(IMAGE_DIRECTORY_ENTRY_EXPORT, at, length) || !inside(at, sizeof(IMAGE_EXPORT_DIRECTORY)))
    return nullptr;
  const IMAGE_EXPORT_DIRECTORY* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + at);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    DWORD ordinalAt = exports->AddressOfNameOrdinals + i * 2;
    if (!inside(ordinalAt, 2)) return nullptr;
    WORD ordinal = *reinterpret_cast<const WORD*>(base + ordinalAt);
    if (read32(exports->AddressOfFunctions + ordinal * 4) == rva)
      return textAt(read32(exports->AddressOfNames + i * 4));
  }
  return nullptr;
}

void readableName(const char* decorated, char* out, size_t outSize) {
  static const struct {
    char code;
    const char* name;  // empty: the scope's own name; "~": a destructor
  } kSpecial[] = {{'0', ""}, {'1', "~"}, {'4', "operator="}, {'A', "operator[]"}};
  size_t used = 0;
  auto put = [&](const char* text, size_t length) {
    for (size_t i = 0; i < length && text[i] && used + 1 < outSize; ++i) out[used++] = text[i];
  };
  const char* name = decorated;
  const char* special = nullptr;
  if (decorated[0] == '?' && decorated[1] == '?') {
    for (const auto& entry : kSpecial)
      if (decorated[2] == entry.code) special = entry.name;
    name = decorated + 3;
  } else if (decorated[0] == '?') {
    name = decorated + 1;
  }
  const char* at = strchr(name, '@');
  const char* end = at ? strstr(at, "@@") : nullptr;
  if (decorated[0] != '?' || !at || !end || (decorated[1] == '?' && !special)) {
    put(decorated, strlen(decorated));
  } else if (special) {  // ??0Scope@@...: the scope is the first part
    const char* scopeEnd = strstr(name, "@@");
    put(name, scopeEnd - name);
    put("::", 2);
    if (special[0] == '~' || !special[0]) {
      put(special, strlen(special));
      put(name, scopeEnd - name);
    } else {
      put(special, strlen(special));
    }
  } else {  // ?name@Scope@@...
    put(at + 1, end - at - 1);
    put("::", 2);
    put(name, at - name);
  }
  out[used] = '\0';
}
