// The modules loaded in the process, taken from the loader's own list without its lock (a crashed
// thread may hold it), and what the report reads from each image: time stamp, version, code sections,
// the names behind import slots and exports.
#pragma once

#include <windows.h>

#include <cstddef>

struct LoadedModule {
  DWORD base;
  DWORD size;  // the image's size in memory
  char path[MAX_PATH];
  const char* name;  // the file name inside path
};

class ModuleTable {
public:
  // Reads the loader's list of modules, in memory order, at most kCapacity of them.
  void snapshot();
  size_t count() const { return used; }
  const LoadedModule& operator[](size_t index) const { return modules[index]; }
  // The module whose image holds address, or null.
  const LoadedModule* find(DWORD address) const;
  const LoadedModule* find(HMODULE module) const { return find(reinterpret_cast<DWORD>(module)); }

  static const size_t kCapacity = 512;

private:
  LoadedModule modules[kCapacity];
  size_t used = 0;
};

// A loaded image read in place; every read stays inside the image.
class ModuleImage {
public:
  explicit ModuleImage(const LoadedModule& module) : base(module.base), size(module.size) {}
  DWORD timeStamp() const;
  // The file version of the version resource (high and low 32 bits), false when there is none.
  bool fileVersion(DWORD& high, DWORD& low) const;
  // True when rva lies in a section that holds code.
  bool isCode(DWORD rva) const;
  // The name the image imports through the import address table slot at slotRva, or null.
  const char* importName(DWORD slotRva) const;
  // The first name the image exports for the function at rva, or null.
  const char* exportName(DWORD rva) const;

private:
  bool inside(DWORD rva, DWORD length) const { return rva <= size && length <= size - rva; }
  DWORD read32(DWORD rva) const;  // 0 when outside
  const IMAGE_NT_HEADERS32* headers() const;
  // The data directory entry's address and size, false when absent or outside.
  bool directory(int index, DWORD& rva, DWORD& length) const;
  const char* textAt(DWORD rva) const;

  DWORD base;
  DWORD size;
};

// Turns a Microsoft-decorated member name into Scope::name ("?GetInt@SObject_Exp@@QAEHXZ" gives
// "SObject_Exp::GetInt"; constructors, destructors, operator= and operator[] too); other names are
// copied. The result is cut to fit out.
void readableName(const char* decorated, char* out, size_t outSize);
