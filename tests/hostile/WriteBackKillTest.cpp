// A document killed in the middle of its write-backs: WriteBackLoop.exe rewrites a 1.6 MB document
// again and again and is terminated many times over, half the time at a random moment and half the time
// as soon as its temporary file appears. After every kill the file must hold one complete text that the
// writer could have written (the document with some counter value, never one below the last seen).
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

const char kDocument[] = "Document.json";
const char kHead[] = "{\n    \"Counter\": ";
const char kTemporary[] = "Document.json.*.tmp";
constexpr int kRounds = 24;

// The rest of the document after the counter's digits, exactly as the writer lays it out.
std::string documentTail() {
  std::string tail = ",\n    \"Items\": [\n";
  for (int i = 0; i < 20000; ++i) {
    tail += "        {\n            \"Id\": " + std::to_string(i) + ",\n            \"Name\": \"item-" +
            std::to_string(i) + "\"\n        }";
    tail += i < 19999 ? ",\n" : "\n";
  }
  return tail + "    ]\n}";
}

// The counter of text when text is the whole document with some counter value, else -1.
long counterOf(const std::string& text, const std::string& tail) {
  const size_t head = sizeof kHead - 1;
  if (text.size() <= head + tail.size() || text.compare(0, head, kHead) != 0) return -1;
  size_t digits = text.size() - head - tail.size();
  if (text.compare(head + digits, std::string::npos, tail) != 0) return -1;
  std::string number = text.substr(head, digits);
  if (number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) return -1;
  if (number.size() > 1 && number[0] == '0') return -1;
  return std::stol(number);
}

bool temporaryExists() {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(kTemporary, &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// The writer on the document, with the event it signals once it has read it (passed by number).
struct Writer {
  ChildProcess process;
  HANDLE ready = nullptr;
  ~Writer() {
    if (ready) CloseHandle(ready);
  }
  // rounds < 0: until it is terminated.
  bool start(long rounds) {
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    ready = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    std::string command = "\"" + self.substr(0, self.find_last_of('\\') + 1) + "WriteBackLoop.exe\" " + kDocument +
                          " " + std::to_string(reinterpret_cast<uintptr_t>(ready));
    if (rounds >= 0) command += " " + std::to_string(rounds);
    ChildOptions options;
    options.inheritHandles = true;
    return process.start(command, options);
  }
};

class WriteBackKill : public TempFolderTest {};

// CORVANE_KILL_SEED replays the moments of an earlier run; every run prints its seed.
TEST_F(WriteBackKill, EveryKillLeavesOneCompleteText) {
  const char* given = getenv("CORVANE_KILL_SEED");
  const unsigned seed = given ? strtoul(given, nullptr, 10) : std::random_device{}();
  printf("CORVANE_KILL_SEED=%u\n", seed);
  RecordProperty("Seed", std::to_string(seed));
  const std::string tail = documentTail();
  writeFile(kDocument, kHead + std::string("0") + tail);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pause(0, 400);  // milliseconds; a write-back is shorter than that

  long last = 0;
  int whileWriting = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Writer writer;
    ASSERT_TRUE(writer.start(-1)) << writer.process.failure();
    // The writer has read the document once it signals; ending first means it failed.
    ASSERT_TRUE(writer.process.waitForObject(writer.ready))
        << "the writer did not signal: " << writer.process.failure() << ", exit code " << writer.process.exitCode();
    if (round % 2) {
      ULONGLONG deadline = GetTickCount64() + 10000;
      bool seen = false;
      while (!(seen = temporaryExists()) && GetTickCount64() < deadline) continue;
      ASSERT_TRUE(seen) << "the writer made no temporary file within 10 s";
    } else {
      Sleep(pause(random));
    }
    writer.process.terminate(77);
    ASSERT_TRUE(writer.process.ended()) << "the writer did not end when terminated";
    EXPECT_EQ(writer.process.exitCode(), 77u) << "the writer ended before it was killed";

    std::string text = readFile(kDocument);
    long counter = counterOf(text, tail);
    ASSERT_GE(counter, last) << text.size() << " bytes, starting " << text.substr(0, 40);
    last = counter;
    // A temporary file left behind means the kill landed while the new text was going to disk.
    for (const std::string& name : namesIn("."))
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) ++whileWriting, DeleteFileA(name.c_str());
  }
  printf("%d of %d kills landed while a write-back was in progress; %ld write-backs in all\n", whileWriting, kRounds,
         last);
  EXPECT_GT(whileWriting, 0) << "no kill landed while a write-back was in progress";
  EXPECT_GT(last, 0) << "every kill landed before the first write-back";

  // Left alone, the writer finishes its rounds and the file holds the last of them.
  Writer writer;
  ASSERT_TRUE(writer.start(3));
  ASSERT_TRUE(writer.process.finish()) << writer.process.failure();
  EXPECT_EQ(writer.process.exitCode(), 0u);
  EXPECT_EQ(readFile(kDocument), kHead + std::to_string(last + 3) + tail);
}

}  // namespace
