// Snapshots of a folder tree through the wide calls, so paths past MAX_PATH are seen too.
#include "hostile/FolderSnapshot.h"

#include "hostile/LongPath.h"

#include <windows.h>

static std::string narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string result(length, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr, nullptr);
  return result;
}

// FNV-1a over the whole file; size is set to the bytes read.
static uint64_t hashFile(const std::wstring& path, uint64_t& size) {
  uint64_t hash = 14695981039346656037ull;
  size = 0;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  static char chunk[1 << 16];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i) hash = (hash ^ static_cast<unsigned char>(chunk[i])) * 1099511628211ull;
    size += got;
  }
  CloseHandle(file);
  return hash;
}

static void walk(const std::wstring& folder, const std::string& prefix, FolderSnapshot& snapshot) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    std::string relative = prefix + narrow(name);
    EntryFacts facts = {(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0, 0, 0};
    if (facts.folder) walk(path, relative + "\\", snapshot);
    else facts.hash = hashFile(path, facts.size);
    snapshot[relative] = facts;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

FolderSnapshot takeSnapshot(const std::string& root) {
  FolderSnapshot snapshot;
  walk(longPath(root), "", snapshot);
  return snapshot;
}

static bool isSpared(const std::string& path, const std::vector<std::string>& spared) {
  for (const std::string& name : spared)
    if (path == name || path.compare(0, name.size() + 1, name + "\\") == 0) return true;
  return false;
}

static std::string describe(const EntryFacts& facts) {
  if (facts.folder) return "folder";
  return std::to_string(facts.size) + " bytes" + (facts.readOnly ? " read-only" : "");
}

std::vector<std::string> lostOrChanged(const FolderSnapshot& before, const FolderSnapshot& after,
                                       const std::vector<std::string>& spared) {
  std::vector<std::string> found;
  for (const auto& entry : before) {
    if (isSpared(entry.first, spared)) continue;
    auto now = after.find(entry.first);
    if (now == after.end()) {
      found.push_back(entry.first + ": lost (was " + describe(entry.second) + ")");
      continue;
    }
    const EntryFacts& was = entry.second;
    const EntryFacts& is = now->second;
    if (was.folder != is.folder || was.readOnly != is.readOnly || was.size != is.size || was.hash != is.hash)
      found.push_back(entry.first + ": changed (was " + describe(was) + ", now " + describe(is) + ")");
  }
  return found;
}
