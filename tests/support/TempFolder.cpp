// A fresh, empty current folder for each test, on std::filesystem. Two pieces stay per platform: the
// 8-bit names (MinGW's library reads a narrow path as Latin-1 and writes one as UTF-8, where the
// launcher's calls use the system's code page) and the listing of a folder (MinGW's directory iterator
// stops at MAX_PATH, even behind the "\\?\" prefix).
#include "support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

#ifdef _WIN32
// "\\?\" and the absolute form, which the wide calls take past MAX_PATH.
fs::path hostPath(const std::string& path) {
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                      static_cast<int>(wide.size()));
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  return L"\\\\?\\" + fs::absolute(wide).lexically_normal().wstring();
}

static std::string narrow(const std::wstring& wide) {
  std::string text(
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), static_cast<int>(text.size()),
                      nullptr, nullptr);
  return text;
}

static std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((hostPath(folder).wstring() + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(narrow(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::string binFolder() {
  char path[MAX_PATH];
  std::string program(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  return program.substr(0, program.find_last_of('\\') + 1);
}

std::string testbedFolder() {
  return binFolder() + "..\\testbed\\";
}
#else
fs::path hostPath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

static std::string narrow(const std::string& name) {
  return name;
}

static std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(hostPath(folder), error))
    names.push_back(entry.path().filename().string());
  return names;
}
#endif

void TempFolderTest::SetUp() {
  previous = fs::current_path();
  std::random_device random;
  std::error_code error;
  fs::path made;
  do made = fs::temp_directory_path() / ("corvane-test-" + std::to_string(random()));
  while (!fs::create_directory(made, error) && !error);
  ASSERT_FALSE(error) << "cannot create " << made.string() << ": " << error.message();
  folder = narrow(made.native());
  fs::current_path(made);
}

void TempFolderTest::TearDown() {
  fs::current_path(previous);
  removeTree(folder);
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(hostPath(path), error);
}

bool folderExists(const std::string& path) {
  std::error_code error;
  return fs::is_directory(hostPath(path), error);
}

std::string readFile(const std::string& path) {
  std::ifstream file(hostPath(path), std::ios::binary);
  std::ostringstream bytes;
  if (file) bytes << file.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(hostPath(path).parent_path(), error);
  std::ofstream file(hostPath(path), std::ios::binary);
  file.write(bytes.data(), bytes.size());
  ASSERT_TRUE(file.flush()) << "cannot write " << path;
}

void copyTree(const std::string& source, const std::string& path) {
  std::error_code error;
  fs::create_directories(hostPath(path).parent_path(), error);
  fs::copy(hostPath(source), hostPath(path), fs::copy_options::recursive, error);
  ASSERT_FALSE(error) << "cannot copy " << source << " to " << path << ": " << error.message();
}

void removeTree(const std::string& path) {
  std::error_code error;
  const fs::path host = hostPath(path);
  const fs::file_type type = fs::symlink_status(host, error).type();
  // Read-only files, and folders that a test left without write permission.
  if (type != fs::file_type::symlink) fs::permissions(host, fs::perms::owner_all, fs::perm_options::add, error);
  if (type == fs::file_type::directory)
    for (const std::string& name : listing(path)) removeTree(path + "\\" + name);
  fs::remove(host, error);
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names = listing(folder);
  std::sort(names.begin(), names.end());
  return names;
}
