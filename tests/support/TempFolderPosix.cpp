// A fresh, empty current folder for each test, on Linux for the native build of the portable parts.
#include "support/TempFolder.h"
#include "support/WholeFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

// Tests write relative paths the Windows way ("configs\\a.json"); here the separator is a slash.
static std::string nativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

void TempFolderTest::SetUp() {
  char buffer[PATH_MAX];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  previous = buffer;

  const char* temp = getenv("TMPDIR");
  std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/corvane-test-XXXXXX";
  ASSERT_NE(mkdtemp(&pattern[0]), nullptr) << "cannot create " << pattern;
  folder = pattern;
  ASSERT_EQ(chdir(folder.c_str()), 0);
}

void TempFolderTest::TearDown() {
  ASSERT_EQ(chdir(previous.c_str()), 0);
  removeTree(folder);
}

bool fileExists(const std::string& path) {
  struct stat status;
  return stat(nativePath(path).c_str(), &status) == 0;
}

std::string readFile(const std::string& path) {
  return readWholeFile(nativePath(path).c_str());
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(nativePath(path).c_str(), "wb");
  ASSERT_NE(file, nullptr) << "cannot write " << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

void removeTree(const std::string& path) {
  std::string native = nativePath(path);
  struct stat status;
  if (lstat(native.c_str(), &status) != 0) return;
  if (!S_ISDIR(status.st_mode)) {
    unlink(native.c_str());
    return;
  }
  chmod(native.c_str(), 0700);  // a test may have left it without write permission
  if (DIR* folder = opendir(native.c_str())) {
    while (dirent* entry = readdir(folder)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") removeTree(native + "/" + name);
    }
    closedir(folder);
  }
  rmdir(native.c_str());
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = opendir(nativePath(folder).c_str());
  if (!listing) return names;
  while (dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}
