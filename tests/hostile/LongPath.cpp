// Long paths through the wide calls and the "\\?\" prefix.
#include "hostile/LongPath.h"

#include <windows.h>

static std::wstring wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(length, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
  return result;
}

std::wstring longPath(const std::string& path) {
  if (path.size() > 1 && path[1] == ':') return L"\\\\?\\" + wide(path);
  wchar_t folder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, folder);
  return L"\\\\?\\" + std::wstring(folder) + L"\\" + wide(path);
}

void makeFoldersLong(const std::string& path) {
  std::wstring full = longPath(path);
  // Past "\\?\C:\": every backslash ends one folder.
  for (size_t at = full.find(L'\\', 7); at != std::wstring::npos; at = full.find(L'\\', at + 1))
    CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(full.c_str(), nullptr);
}

static void makeParentLong(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos) makeFoldersLong(path.substr(0, slash));
}

bool writeFileLong(const std::string& path, const std::string& bytes) {
  makeParentLong(path);
  HANDLE file = CreateFileW(longPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool copyFileLong(const std::string& source, const std::string& path) {
  makeParentLong(path);
  // The prefix would take ".." in source literally: source stays an ordinary path.
  return CopyFileW(wide(source).c_str(), longPath(path).c_str(), FALSE) != 0;
}

static void removeWide(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") removeWide(path + L"\\" + name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

void removeTreeLong(const std::string& path) {
  removeWide(longPath(path));
}
