// Write-backs: the file always holds one complete text; the temporary files are the write-back's own and
// never outlive it; a refused replacement still reaches the file; a file that cannot be written keeps
// its text while the tree keeps the change; the memory taken does not grow with the document; and
// running out of memory anywhere leaves the file whole.
#include "CJSON_Exp.h"
#include "OpenDocument.h"
#include "json/NodeRecord.h"
#include "support/TempFolder.h"

#ifdef _WIN32
#include "testbed/allocation/AllocationHook.h"

#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace {

using Names = std::vector<std::string>;

const char kOne[] = "{\n    \"a\": 1\n}";
const char kTwo[] = "{\n    \"a\": 1,\n    \"b\": 2\n}";

class WriteBacks : public TempFolderTest {};

// The file's identity on its volume: a replacement is a new file, a rewrite in place the same one.
unsigned long long identityOf(const char* path) {
#ifdef _WIN32
  HANDLE file =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION facts = {};
  GetFileInformationByHandle(file, &facts);
  CloseHandle(file);
  return (static_cast<unsigned long long>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow;
#else
  struct stat facts = {};
  stat(path, &facts);
  return facts.st_ino;
#endif
}

// A file already called what a temporary file might be, or bound to a document of its own, is never
// touched by another document's write-backs.
TEST_F(WriteBacks, NamesBesideTheFileAreNeverTaken) {
  writeFile("x.json", kOne);
  writeFile("x.json.tmp", "{\"t\": 1}");
  CJSON_Exp& document = openDocument("x.json", false);
  CJSON_Exp& beside = openDocument("x.json.tmp", false);
  const unsigned long long before = identityOf("x.json");
  document.SetInt("b", 2, false);
  EXPECT_EQ(readFile("x.json"), kTwo);
  EXPECT_NE(identityOf("x.json"), before) << "replaced whole, not rewritten in place";
  EXPECT_EQ(readFile("x.json.tmp"), "{\"t\": 1}");
  beside.SetInt("u", 2, false);
  EXPECT_EQ(readFile("x.json.tmp"), "{\n    \"t\": 1,\n    \"u\": 2\n}");
  EXPECT_EQ(readFile("x.json"), kTwo);
  EXPECT_EQ(namesIn("."), (Names{"x.json", "x.json.tmp"}));
}

// A name one step short of the limit: the file opens, but no longer name fits beside it, so the
// complete text is measured and written in place, longer or shorter than the old one.
TEST_F(WriteBacks, WritesInPlaceWhereNoTemporaryFileFitsBesideIt) {
  const std::string path = std::string(246, 'p') + ".json";
  writeFile(path, kOne);
  CJSON_Exp& document = openDocument(path.c_str(), false);
  document.SetInt("b", 2, false);
  EXPECT_EQ(readFile(path), kTwo);
  document.Clear("b");
  EXPECT_EQ(readFile(path), kOne);
  // A text the writer cannot finish is found out before the file is touched.
  document["a"].record->value->SetDouble(NAN);
  EXPECT_FALSE(WriteBack(*document.record));
  EXPECT_EQ(readFile(path), kOne);
  EXPECT_EQ(namesIn("."), Names{path});
}

// The whole file, read while nobody else has it open (Windows' share modes); false when somebody has.
bool readAlone(const char* path, std::string& text) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  text.clear();
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
#else
  text = readFile(path);  // a rename replaces the file whole under a reader
#endif
  return true;
}

// Two documents on one file, written from two threads while a third reads the file whenever nobody is
// writing it: every read finds one complete text, and the file ends with the last complete write-back's.
// (The reader keeps the file from being replaced while it reads, so some texts go in place.)
TEST_F(WriteBacks, TwoDocumentsOnOneFileFromTwoThreads) {
  const std::string head = "{\n    \"Pad\": \"" + std::string(200000, 'x') + "\",\n    \"Count\": ";
  writeFile("shared.json", head + "0\n}");
  std::atomic<int> running{2};
  std::atomic<int> incomplete{0}, reads{0};
  std::thread reader([&] {
    std::string text;
    while (running > 0) {
      if (!readAlone("shared.json", text)) continue;
      ++reads;
      size_t digits = text.size() - head.size() - 2;
      bool whole = text.size() > head.size() + 2 && text.compare(0, head.size(), head) == 0 &&
                   text.find_first_not_of("0123456789", head.size()) == head.size() + digits &&
                   text.compare(head.size() + digits, 2, "\n}") == 0;
      if (!whole) ++incomplete;
    }
  });
  std::thread writers[2];
  for (int i = 0; i < 2; ++i) {
    writers[i] = std::thread([&, i] {
      // Writing starts once the reader has read, so that the two overlap.
      auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (reads == 0 && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
      CJSON_Exp& document = openDocument("shared.json", false);
      for (int count = 1; count <= 40; ++count) document.SetInt("Count", 1000 * i + count, true);
      --running;
    });
  }
  for (std::thread& writer : writers) writer.join();
  reader.join();
  ASSERT_GT(reads, 0) << "the reader never read the file within a minute";
  EXPECT_EQ(incomplete, 0);
  CJSON_Exp& last = openDocument("shared.json", false);  // three times the read buffer, loaded whole
  last.SetInt("Count", 5000, true);
  EXPECT_EQ(readFile("shared.json"), head + "5000\n}");
  EXPECT_EQ(namesIn("."), Names{"shared.json"});
}

#ifdef _WIN32
// Files that cannot be replaced: one held open without delete sharing (as a plain fopen does) gets the
// complete text in place, longer or shorter; hidden and system files are replaced and stay so; a
// read-only file, or a folder in the file's place, is not written, while the tree keeps the change.
TEST_F(WriteBacks, FilesThatCannotBeReplaced) {
  const struct {
    const char* label;
    DWORD attributes;
    bool held, folder, written;
  } cases[] = {
      {"held open", FILE_ATTRIBUTE_NORMAL, true, false, true},
      {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false, false, true},
      {"read-only", FILE_ATTRIBUTE_READONLY, false, false, false},
      {"a folder", FILE_ATTRIBUTE_NORMAL, false, true, false},
  };
  const DWORD kSeen =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
  for (const auto& file : cases) {
    SCOPED_TRACE(file.label);
    writeFile("f.json", kOne);
    CJSON_Exp& document = openDocument("f.json", false);
    ASSERT_TRUE(SetFileAttributesA("f.json", file.attributes));
    ASSERT_EQ(GetFileAttributesA("f.json") & kSeen, file.attributes & kSeen) << "attributes this file system lacks";
    ASSERT_TRUE(!file.folder || (DeleteFileA("f.json") && CreateDirectoryA("f.json", nullptr)));
    FILE* holder = file.held ? fopen("f.json", "rb") : nullptr;
    const unsigned long long before = identityOf("f.json");
    document.SetInt("b", 2, false);
    EXPECT_EQ(document["b"].GetInt(), 2);
    EXPECT_EQ(readFile("f.json"), file.folder ? "" : file.written ? kTwo : kOne);
    EXPECT_EQ(WriteBack(*document.record), file.written);
    EXPECT_EQ(GetFileAttributesA("f.json") & kSeen, file.folder ? FILE_ATTRIBUTE_DIRECTORY : file.attributes & kSeen);
    EXPECT_EQ(namesIn("."), Names{"f.json"});
    EXPECT_TRUE(namesIn("f.json").empty());
    if (holder) {
      EXPECT_EQ(identityOf("f.json"), before) << "written in place";
      document.Clear("b");
      EXPECT_EQ(readFile("f.json"), kOne);
      fclose(holder);
      continue;
    }
    // Once the file can be written, the next write-back brings the change.
    SetFileAttributesA("f.json", FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA("f.json");
    EXPECT_TRUE(WriteBack(*document.record));
    EXPECT_EQ(readFile("f.json"), kTwo);
  }
}

// The write-back of a 4 MB document streams through its buffer: the heap holds little more than that
// buffer while it runs.
TEST_F(WriteBacks, TheMemoryTakenDoesNotGrowWithTheDocument) {
  std::string text = "{\"n\": 0, \"list\": [";
  for (int i = 0; i < 120000; ++i) text += (i ? ", \"" : "\"") + std::string(30, 'a' + i % 26) + "\"";
  writeFile("big.json", text + "]}");
  CJSON_Exp& document = openDocument("big.json", false);
  long long before = heapBytesLive();
  restartHeapPeak();
  document.SetInt("n", 1, true);
  long long taken = heapBytesPeak() - before;
  ASSERT_GT(readFile("big.json").size(), 4000000u);
  EXPECT_LT(taken, 128 * 1024) << "bytes above the loaded document";
}

// Each allocation of a change, in turn, fails: the change either is made or leaves the tree as it was,
// the file holds the old text, no temporary file stays, and a later write-back writes the tree whole.
struct Change {
  const char* name;
  const char* text;     // the file's text before, in the writer's own layout
  const char* changed;  // its text after the change
  bool held;            // the file is held open, so the text goes in place
  std::function<void(CJSON_Exp&)> make;
};

TEST_F(WriteBacks, RunningOutOfMemoryLeavesTheFileWhole) {
  const Change changes[] = {
      {"overwrite", kOne, "{\n    \"a\": 2\n}", false, [](CJSON_Exp& d) { d.SetInt("a", 2, true); }},
      {"grow an object", kOne, kTwo, false, [](CJSON_Exp& d) { d.SetInt("b", 2, false); }},
      {"grow an array", "[\n    1\n]", "[\n    1,\n    2\n]", false, [](CJSON_Exp& d) { d.PushBackInt(2); }},
      {"add an object", kOne, "{\n    \"a\": 1,\n    \"o\": {}\n}", false, [](CJSON_Exp& d) { d.SetObject("o"); }},
      {"in place", kOne, kTwo, true, [](CJSON_Exp& d) { d.SetInt("b", 2, false); }},
  };
  for (const Change& change : changes) {
    for (long nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(change.name) + ", allocation " + std::to_string(nth));
      writeFile("m.json", change.text);
      CJSON_Exp& document = openDocument("m.json", false);
      FILE* holder = change.held ? fopen("m.json", "rb") : nullptr;
      failAllocation(nth);
      change.make(document);
      long asked = failAllocation(0);
      if (holder) fclose(holder);
      if (asked < nth) {  // nothing failed: the change is complete
        EXPECT_EQ(readFile("m.json"), change.changed);
        break;
      }
      EXPECT_EQ(readFile("m.json"), change.text);
      EXPECT_EQ(namesIn("."), Names{"m.json"});
      ASSERT_TRUE(WriteBack(*document.record));
      std::string after = readFile("m.json");
      EXPECT_TRUE(after == change.text || after == change.changed) << after;
    }
  }

  // Loading and look-ups: a document memory cannot hold does not exist and never writes; a look-up
  // gives a handle that does not exist.
  writeFile("m.json", kTwo);
  for (long nth = 1;; ++nth) {
    BoundDocument& bound = *new BoundDocument;
    CJSON_Exp& document = bound.document;
    failAllocation(nth);
    bound.open("m.json", false);
    bool found = document["b"].IsExist();
    long asked = failAllocation(0);
    if (asked < nth) break;
    EXPECT_FALSE(found) << "allocation " << nth;
    if (document.IsExist()) continue;  // the look-up's own allocation failed
    document.SetInt("c", 3, false);
    EXPECT_EQ(readFile("m.json"), kTwo) << "allocation " << nth;
  }
}
#endif

}  // namespace
