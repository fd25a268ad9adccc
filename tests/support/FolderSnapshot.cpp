// Snapshots of a folder tree through the test support's listing, which reaches past MAX_PATH.
#include "support/FolderSnapshot.h"

#include "support/TempFolder.h"

namespace fs = std::filesystem;

static void walk(const std::string& folder, const std::string& prefix, FolderSnapshot& snapshot) {
  for (const std::string& name : namesIn(folder)) {
    const std::string path = folder + "\\" + name, relative = prefix + name;
    if (folderExists(path)) {
      snapshot[relative] = "folder";
      walk(path, relative + "\\", snapshot);
      continue;
    }
    std::error_code error;
    const bool readOnly = (fs::status(hostPath(path), error).permissions() & fs::perms::owner_write) == fs::perms::none;
    const std::string bytes = readFile(path);
    snapshot[relative] = std::to_string(bytes.size()) + " bytes" + (readOnly ? " read-only" : "") + " hash " +
                         std::to_string(std::hash<std::string>()(bytes));
  }
}

FolderSnapshot takeSnapshot(const std::string& root) {
  FolderSnapshot snapshot;
  walk(root, "", snapshot);
  return snapshot;
}

static bool isSpared(const std::string& path, const std::vector<std::string>& spared) {
  for (const std::string& name : spared)
    if (path == name || path.compare(0, name.size() + 1, name + "\\") == 0) return true;
  return false;
}

std::vector<std::string> lostOrChanged(const FolderSnapshot& before, const FolderSnapshot& after,
                                       const std::vector<std::string>& spared) {
  std::vector<std::string> found;
  for (const auto& [path, was] : before) {
    if (isSpared(path, spared)) continue;
    auto now = after.find(path);
    if (now == after.end()) found.push_back(path + ": lost (was " + was + ")");
    else if (now->second != was) found.push_back(path + ": changed (was " + was + ", now " + now->second + ")");
  }
  return found;
}
