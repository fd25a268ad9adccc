// The folder helpers and the snapshot that the launch tests compare before and after a run, on a tree
// past MAX_PATH with a name in the system's code page.
#include "support/FolderSnapshot.h"
#include "support/TempFolder.h"

#include <windows.h>

namespace {

using Names = std::vector<std::string>;

class FolderSnapshotTest : public TempFolderTest {};

TEST_F(FolderSnapshotTest, FindsEveryLostOrChangedEntryButTheSparedAndRemovesThemAll) {
  const std::string top = std::string(150, 'd'), deep = top + "\\" + std::string(150, 'e') + "\\";
  for (const char* name : {"byte", "flag", "gone", "same", "spared"}) writeFile(deep + name, "bytes");
  // 0x80 is the euro sign in the code page: the name the 8-bit calls see, not U+0080.
  writeFile("euro\x80", "bytes");
  EXPECT_NE(GetFileAttributesA("euro\x80"), INVALID_FILE_ATTRIBUTES);
  const FolderSnapshot before = takeSnapshot(folder);

  writeFile(deep + "byte", "bytez");
  removeTree(deep + "gone");
  std::filesystem::permissions(hostPath(deep + "flag"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  writeFile(deep + "spared", "changed");
  Names found;
  for (const std::string& line : lostOrChanged(before, takeSnapshot(folder), {deep + "spared"}))
    found.push_back(line.substr(0, line.find(" (")));
  EXPECT_EQ(found, (Names{deep + "byte: changed", deep + "flag: changed", deep + "gone: lost"}));

  removeTree(top);
  EXPECT_EQ(namesIn("."), Names{"euro\x80"});
}

}  // namespace
