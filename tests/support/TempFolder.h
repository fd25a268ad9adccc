// A fresh, empty current folder for each test, and the file helpers the tests share, on Windows and on
// Linux alike (std::filesystem, with the two platform pieces in TempFolder.cpp).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// Makes a new folder under the system's temporary folder, makes it current for the test, and on
// tear-down goes back to the previous current folder and removes the new one with everything in it.
class TempFolderTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  std::string folder;              // absolute path of the test's own folder, without a trailing separator
  std::filesystem::path previous;  // current folder before the test
};

// Paths are written the Windows way ("configs\\a.json"), relative to the current folder or absolute,
// with 8-bit names in the system's code page as the launcher's own calls take them. Every helper reaches
// past MAX_PATH.
std::filesystem::path hostPath(const std::string& path);
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);  // false when the path is missing or a file
// Whole-file reads and writes for exact byte checks (binary; a read of a missing file is empty). A
// write makes the folders above the file.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Copies a file, or a folder with everything in it, to path, making the folders above it. Nothing may be
// at path yet: MinGW's library refuses to copy over a file even when told to.
void copyTree(const std::string& source, const std::string& path);
// Removes path with everything under it, read-only entries too.
void removeTree(const std::string& path);

// The names of what a folder holds (files and folders, without . and ..), in byte order.
std::vector<std::string> namesIn(const std::string& folder);

#ifdef _WIN32
// <build>\bin\ (this program's folder) and <build>\testbed\, each with a trailing backslash.
std::string binFolder();
std::string testbedFolder();
#endif
