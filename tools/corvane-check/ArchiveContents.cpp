// Reading one archive: the file looked at first, then opened with the archive library, its listfile
// read and every name in it looked up.
#include "tools/corvane-check/Archives.h"

#include "tools/corvane-check/ArchiveLibrary.h"
#include "tools/corvane-check/HostFiles.h"

#include <set>

namespace {

const char kListfile[] = "(listfile)";
const char* const kInternalFiles[] = {"(listfile)", "(attributes)", "(signature)"};
const uint32_t kListfileLimit = 64u << 20;

// Why the library refused a file, from what the file itself shows.
void refusal(ArchiveLook look, ArchiveFacts& facts) {
  if (look == ArchiveLook::unreadable) facts.error = "unreadable";
  if (look == ArchiveLook::noHeader) {
    facts.error = "not an archive";
    facts.detail = "no MPQ header";
  }
  if (look == ArchiveLook::header) facts.error = "damaged tables";
}

bool isInternal(const std::string& key) {
  for (const char* name : kInternalFiles)
    if (key == name) return true;
  return false;
}

// The whole file, or false when it does not open or read whole.
bool readWhole(LibraryArchive* archive, const char* name, std::string& bytes) {
  bytes.clear();
  LibraryFile* file = openLibraryFile(archive, name);
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

void readArchive(ArchiveFacts& facts) {
  ArchiveLook look = lookForArchiveHeader(facts.path);
  if (look == ArchiveLook::missing) {
    facts.error = "missing";
    return;
  }
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
  facts.listfile = readWhole(archive, kListfile, listfile);
  for (const std::string& name : listedNames(listfile)) {
    LibraryFile* file = openLibraryFile(archive, name.c_str());
    if (!file) continue;
    closeLibraryFile(file);
    facts.files.push_back(name);
  }
  closeLibraryArchive(archive);
}
