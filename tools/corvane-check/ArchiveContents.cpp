// Reading one archive: its header looked at first, as the game's archive library takes it, then the
// archive opened with the library, its listfile read and every name in it looked up.
#include "tools/corvane-check/Archives.h"

#include "tools/corvane-check/ArchiveLibrary.h"
#include "tools/corvane-check/HostFiles.h"

#include <set>
#include <vector>

namespace {

const char kListfile[] = "(listfile)";
const char* const kInternalFiles[] = {"(listfile)", "(attributes)", "(signature)"};
const uint32_t kListfileLimit = 64u << 20;
const uint32_t kReadChunk = 65536;

// Why the library refused a file, from what the file itself shows.
void refusal(ArchiveLook look, ArchiveFacts& facts) {
  if (look == ArchiveLook::unreadable) facts.error = "unreadable";
  if (look == ArchiveLook::noHeader) {
    facts.error = "not an archive";
    facts.detail = "no MPQ header";
  }
  if (look == ArchiveLook::header) facts.error = "damaged tables";
}

// The game's library of this era takes the header, or facts says why not.
bool headerTaken(const ArchiveHeader& header, uint64_t length, ArchiveFacts& facts) {
  facts.formatVersion = header.formatVersion + 1u;
  const char* problem = archiveHeaderProblem(header, length);
  if (!problem) return true;
  facts.error = *problem ? "damaged tables" : "a later MPQ format";
  facts.detail =
      *problem ? problem
               : "version " + std::to_string(facts.formatVersion) + ": the game's archive library reads version 1 only";
  return false;
}

// Reads the whole file in chunks; false when the library fails before its end.
bool readsWhole(LibraryFile* file) {
  uint32_t size = 0, got = 0;
  if (!libraryFileSize(file, size)) return false;
  std::vector<char> chunk(kReadChunk);
  for (uint32_t done = 0; done < size; done += got) {
    uint32_t count = size - done < kReadChunk ? size - done : kReadChunk;
    if (!readLibraryFile(file, chunk.data(), count, got) || got != count) return false;
  }
  return true;
}

bool isInternal(const std::string& key) {
  for (const char* name : kInternalFiles)
    if (key == name) return true;
  return false;
}

// The whole file, or false when it does not open or read whole; held as openLibraryFile sets it.
bool readWhole(LibraryArchive* archive, const char* name, std::string& bytes, bool& held) {
  bytes.clear();
  LibraryFile* file = openLibraryFile(archive, name, held);
  if (!file) return false;
  uint32_t size = 0;
  uint32_t got = 0;
  bool read = libraryFileSize(file, size) && size <= kListfileLimit;
  if (read && size) {
    bytes.resize(size);
    read = readLibraryFile(file, &bytes[0], size, got) && got == size;
  }
  closeLibraryFile(file);
  return read;
}

}  // namespace

std::string nameKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c == '/') c = '\\';
  }
  return key;
}

std::vector<std::string> listedNames(const std::string& listfile) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  size_t start = 0;
  while (start < listfile.size()) {
    size_t end = listfile.find_first_of(";\r\n", start);
    if (end == std::string::npos) end = listfile.size();
    std::string name = listfile.substr(start, end - start);
    std::string key = nameKey(name);
    if (!name.empty() && !isInternal(key) && seen.insert(key).second) names.push_back(name);
    start = end + 1;
  }
  return names;
}

void readArchive(ArchiveFacts& facts, bool verify) {
  ArchiveHeader header;
  uint64_t length = 0;
  ArchiveLook look = lookForArchiveHeader(facts.path, header, length);
  if (look == ArchiveLook::missing) {
    facts.error = "missing";
    return;
  }
  if (look == ArchiveLook::header && !headerTaken(header, length, facts)) return;
  LibraryArchive* archive = nullptr;
  LibraryOpen open = openLibraryArchive(facts.path, facts.priority, archive);
  if (open == LibraryOpen::noLibrary) {
    facts.error = "unreadable";
    facts.detail = ".\\Storm.dll does not load";
    return;
  }
  if (open == LibraryOpen::refused) {
    refusal(look, facts);
    return;
  }
  std::string listfile;
  facts.listfile = readWhole(archive, kListfile, listfile, facts.listfileHeld);
  // A copy the library refuses still answers for its name: the archive holds it.
  for (const std::string& name : listedNames(listfile)) {
    bool held = false;
    LibraryFile* file = openLibraryFile(archive, name.c_str(), held);
    if (!held) continue;
    facts.files.push_back(name);
    if (!file || (verify && !readsWhole(file))) facts.unreadable.push_back(name);
    if (file) closeLibraryFile(file);
  }
  closeLibraryArchive(archive);
}
