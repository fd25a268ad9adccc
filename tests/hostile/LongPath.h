// Files and folders at any path length: the 8-bit calls stop at MAX_PATH, the wide ones behind the
// "\\?\" prefix do not. Names are 8-bit in the system's code page, as everywhere in the launcher.
#pragma once

#include <string>

// "\\?\" + the absolute form of path (relative paths are taken from the current folder).
std::wstring longPath(const std::string& path);
// Makes every folder of path that is missing.
void makeFoldersLong(const std::string& path);
// Writes bytes to path, or copies the file at source (an ordinary path, shorter than MAX_PATH) to it;
// false on failure.
bool writeFileLong(const std::string& path, const std::string& bytes);
bool copyFileLong(const std::string& source, const std::string& path);
// Removes path with everything under it, read-only entries too.
void removeTreeLong(const std::string& path);
