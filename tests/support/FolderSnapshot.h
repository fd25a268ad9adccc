// What a folder holds, entry by entry, to show after a run that nothing in it was lost or changed.
#pragma once

#include <map>
#include <string>
#include <vector>

// Relative path (backslashes) -> "folder", or the file's size, read-only flag and a hash of its bytes,
// for every file and folder under root, at any depth and path length.
using FolderSnapshot = std::map<std::string, std::string>;

FolderSnapshot takeSnapshot(const std::string& root);

// One line for each entry of before that is missing from after or differs there, leaving out the
// paths in spared (and everything under them).
std::vector<std::string> lostOrChanged(const FolderSnapshot& before, const FolderSnapshot& after,
                                       const std::vector<std::string>& spared);
