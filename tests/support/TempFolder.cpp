// A fresh, empty current folder for each test.
#include "support/TempFolder.h"
#include "support/WholeFile.h"

#include <windows.h>

#include <algorithm>

#include <cstdio>

static unsigned gFolderSerial = 0;

void TempFolderTest::SetUp() {
  char buffer[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, buffer);
  previous = buffer;

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  for (;;) {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%scorvane-test-%lu-%u", temp, GetCurrentProcessId(), ++gFolderSerial);
    if (CreateDirectoryA(name, nullptr)) {
      folder = name;
      break;
    }
    ASSERT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << "cannot create " << name;
  }
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
}

void TempFolderTest::TearDown() {
  SetCurrentDirectoryA(previous.c_str());
  removeTree(folder);
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool folderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readFile(const std::string& path) {
  return readWholeFile(path.c_str());
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << "cannot write " << path;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

void removeTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name != "." && name != "..") removeTree(path + "\\" + name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}
