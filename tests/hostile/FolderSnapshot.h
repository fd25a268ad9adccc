// What a folder holds, entry by entry, to show after a run that nothing in it was lost or changed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct EntryFacts {
  bool folder;
  bool readOnly;
  uint64_t size;
  uint64_t hash;  // FNV-1a of the bytes; 0 for a folder
};

// Relative path (backslashes, 8-bit names) -> facts, for every file and folder under root, at any
// depth and path length.
using FolderSnapshot = std::map<std::string, EntryFacts>;

FolderSnapshot takeSnapshot(const std::string& root);

// One line for each entry of before that is missing from after or differs there, leaving out the
// paths in spared (and everything under them).
std::vector<std::string> lostOrChanged(const FolderSnapshot& before, const FolderSnapshot& after,
                                       const std::vector<std::string>& spared);
