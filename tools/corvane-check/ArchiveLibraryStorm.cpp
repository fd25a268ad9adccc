// Archives read through .\Storm.dll, the game's archive library in the current (game) folder, by the
// ordinals the launcher imports (services/Storm.def), looked up at the first use.
#include "tools/corvane-check/ArchiveLibrary.h"

#include "services/StormImports.h"

namespace {

struct StormCalls {
  decltype(&stormOpenArchive) openArchive;    // 266
  decltype(&stormCloseArchive) closeArchive;  // 252
  decltype(&stormOpenFileEx) openFile;        // 268
  decltype(&stormGetFileSize) fileSize;       // 265
  decltype(&stormReadFile) readFile;          // 269
  decltype(&stormCloseFile) closeFile;        // 253
};

template <typename Function>
bool lookUp(HMODULE library, WORD ordinal, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));
  return function != nullptr;
}

// Null when .\Storm.dll does not load or lacks one of the ordinals.
const StormCalls* storm() {
  static bool tried = false;
  static bool complete = false;
  static StormCalls calls;
  if (!tried) {
    tried = true;
    HMODULE library = LoadLibraryA(".\\Storm.dll");  // kept until the process ends
    complete = library && lookUp(library, 266, calls.openArchive) && lookUp(library, 252, calls.closeArchive) &&
               lookUp(library, 268, calls.openFile) && lookUp(library, 265, calls.fileSize) &&
               lookUp(library, 269, calls.readFile) && lookUp(library, 253, calls.closeFile);
  }
  return complete ? &calls : nullptr;
}

}  // namespace

LibraryOpen openLibraryArchive(const std::string& path, unsigned priority, LibraryArchive*& archive) {
  archive = nullptr;
  if (!storm()) return LibraryOpen::noLibrary;
  HANDLE handle = nullptr;
  if (!storm()->openArchive(path.c_str(), priority, 0, &handle) || !handle) return LibraryOpen::refused;
  archive = reinterpret_cast<LibraryArchive*>(handle);
  return LibraryOpen::opened;
}

void closeLibraryArchive(LibraryArchive* archive) {
  storm()->closeArchive(reinterpret_cast<HANDLE>(archive));
}

LibraryFile* openLibraryFile(LibraryArchive* archive, const char* name, bool& held) {
  HANDLE file = nullptr;
  SetLastError(ERROR_SUCCESS);
  held = storm()->openFile(reinterpret_cast<HANDLE>(archive), name, 0, &file) || GetLastError() != ERROR_FILE_NOT_FOUND;
  return held && file ? reinterpret_cast<LibraryFile*>(file) : nullptr;
}

bool libraryFileSize(LibraryFile* file, uint32_t& size) {
  DWORD high = 0;
  size = storm()->fileSize(reinterpret_cast<HANDLE>(file), &high);
  return size != INVALID_FILE_SIZE && high == 0;
}

bool readLibraryFile(LibraryFile* file, void* buffer, uint32_t count, uint32_t& got) {
  DWORD read = 0;
  bool ok = storm()->readFile(reinterpret_cast<HANDLE>(file), buffer, count, &read, nullptr) != 0;
  got = read;
  return ok;
}

void closeLibraryFile(LibraryFile* file) {
  storm()->closeFile(reinterpret_cast<HANDLE>(file));
}
