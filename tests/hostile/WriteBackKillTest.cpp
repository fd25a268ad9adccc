// A document killed in the middle of its write-backs: WriteBackLoop.exe rewrites a 1.6 MB document
// again and again and is terminated at a random moment, many times over. After every kill the file
// must hold one complete text that the writer could have written (the document with some counter
// value, never one below the last seen), never a truncated or empty one.
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

const char kDocument[] = "Document.json";
const char kHead[] = "{\n    \"Counter\": ";

// The rest of the document after the counter's digits, exactly as the writer lays it out.
std::string documentTail() {
  std::string tail = ",\n    \"Items\": [\n";
  for (int i = 0; i < 20000; ++i) {
    tail += "        {\n            \"Id\": " + std::to_string(i) + ",\n            \"Name\": \"item-" + std::to_string(i) +
            "\"\n        }";
    tail += i < 19999 ? ",\n" : "\n";
  }
  return tail + "    ]\n}";
}

std::string documentText(long counter, const std::string& tail) {
  return kHead + std::to_string(counter) + tail;
}

// The counter of text when text is the whole document with some counter value, else -1.
long counterOf(const std::string& text, const std::string& tail) {
  const size_t head = sizeof kHead - 1;
  if (text.size() <= head + tail.size() || text.compare(0, head, kHead) != 0) return -1;
  size_t digits = text.size() - head - tail.size();
  if (text.compare(head + digits, std::string::npos, tail) != 0) return -1;
  std::string number = text.substr(head, digits);
  if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos) return -1;
  if (number.size() > 1 && number[0] == '0') return -1;
  return std::stol(number);
}

std::string writerPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, length);
  return self.substr(0, self.find_last_of('\\') + 1) + "WriteBackLoop.exe";
}

// The writer on the document, with the event it signals once it has read it (passed by number).
struct Writer {
  ChildProcess process;
  HANDLE ready = nullptr;
  ~Writer() {
    if (ready) CloseHandle(ready);
  }
};

// Starts the writer; rounds < 0: until it is terminated.
bool startWriter(Writer& writer, long rounds) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  writer.ready = CreateEventA(&inherit, TRUE, FALSE, nullptr);
  std::string command = "\"" + writerPath() + "\" " + kDocument + " " +
                        std::to_string(reinterpret_cast<uintptr_t>(writer.ready));
  if (rounds >= 0) command += " " + std::to_string(rounds);
  ChildOptions options;
  options.inheritHandles = true;
  return writer.process.start(command, options);
}

class WriteBackKill : public TempFolderTest {};

TEST_F(WriteBackKill, EveryKillLeavesOneCompleteText) {
  const std::string tail = documentTail();
  ASSERT_GT(tail.size(), 1000000u);
  writeFile(kDocument, documentText(0, tail));
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> pause(0, 400);   // milliseconds; a write-back is shorter than that

  long last = 0;
  int whileWriting = 0;
  for (int round = 0; round < 25; ++round) {
    Writer writer;
    ASSERT_TRUE(startWriter(writer, -1)) << writer.process.failure();
    // The writer has read the document once it signals; ending first means it failed.
    ASSERT_TRUE(writer.process.waitForObject(writer.ready))
        << "round " << round << ": the writer did not signal: " << writer.process.failure() << ", exit code "
        << writer.process.exitCode();
    Sleep(pause(random));
    writer.process.terminate(77);
    ASSERT_TRUE(writer.process.ended()) << "round " << round << ": the writer did not end when terminated";
    EXPECT_EQ(writer.process.exitCode(), 77u) << "round " << round << ": the writer ended before it was killed";

    std::string text = readFile(kDocument);
    long counter = counterOf(text, tail);
    ASSERT_GE(counter, last) << "round " << round << ": " << text.size() << " bytes, starting "
                             << text.substr(0, 40);
    last = counter;
    // A temporary file left behind means the kill landed while the new text was going to disk.
    for (const std::string& name : namesIn("."))
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) ++whileWriting, DeleteFileA(name.c_str());
  }
  // The kills did not all land before the first write-back: the counter moved.
  EXPECT_GT(last, 0);
  RecordProperty("KillsWhileWritingTheFile", whileWriting);
  printf("%d of 25 kills landed while a temporary file was being written; %ld write-backs in all\n", whileWriting, last);

  // Left alone, the writer finishes its rounds and the file holds the last of them.
  Writer writer;
  ASSERT_TRUE(startWriter(writer, 3));
  ASSERT_TRUE(writer.process.finish()) << writer.process.failure();
  EXPECT_EQ(writer.process.exitCode(), 0u);
  EXPECT_EQ(readFile(kDocument), documentText(last + 3, tail));
}

}  // namespace
