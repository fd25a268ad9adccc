// A fresh, empty current folder for each test: current-folder paths are part of the behaviour.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Makes a new folder under the temporary folder, makes it current for the test, and on tear-down
// goes back to the previous current folder and removes the new one with everything in it.
class TempFolderTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  std::string folder;    // absolute path of the test's own folder, without a trailing backslash
  std::string previous;  // current folder before the test
};

// Whole-file helpers for exact byte checks (binary mode, no translation).
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);  // false when the path is missing or a file
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
void removeTree(const std::string& path);
// The names of what a folder holds (files and folders, without . and ..), in byte order.
std::vector<std::string> namesIn(const std::string& folder);
