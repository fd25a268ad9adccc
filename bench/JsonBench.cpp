// Documents of 1 MB and 20 MB: loading through the launcher's Open against RapidJSON's own ParseStream
// over the same file, and one modifying call (whole-file write-back through a temporary file, flushed to
// the disk) against RapidJSON's PrettyWriter writing the same tree to a file, flushed too. Runs alternate; medians are
// compared. And the memory a 20 MB write-back takes above the loaded document: the heap's peak, counted block by block
// through the heap hook, and the committed private memory, sampled while it runs.
#include "bench/BenchSupport.h"

#include "json/BoundDocument.h"
#include "json/NodeRecord.h"
#include "testbed/allocation/AllocationHook.h"

#include <rapidjson/filereadstream.h>
#include <rapidjson/filewritestream.h>
#include <rapidjson/prettywriter.h>

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const size_t kBufferSize = 65536;  // the buffer the launcher reads and writes through

// An indented document of at least size bytes: a list of small records, as add-ons keep them.
std::string documentText(size_t size) {
  std::string text = "{\n    \"Version\": 3,\n    \"Items\": [\n";
  for (int i = 0; text.size() < size; ++i) {
    std::string id = std::to_string(i);
    if (i) text += ",\n";
    text += "        {\n            \"Id\": " + id + ",\n            \"Name\": \"item-" + id +
            "\",\n            \"Weight\": 1.25,\n            \"Enabled\": true,\n            \"Tags\": [\n"
            "                \"red\",\n                \"green\"\n            ],\n            \"Note\": null,\n"
            "            \"Position\": {\n                \"X\": " +
            std::to_string(i * 3) + ",\n                \"Y\": -" + id + "\n            }\n        }";
  }
  return text + "\n    ]\n}";
}

// The launcher's documents are never released; the benchmark releases its own to stay small.
void release(CJSON_Exp& document) {
  delete document.record->document;
  document.record = nullptr;
}

double timeOpen(const char* path, BoundDocument& bound) {
  double start = nowMs();
  bound.open(path, false);
  return nowMs() - start;
}

template <unsigned Flags>
double timeParseStream(const char* path) {
  rapidjson::Document tree;
  double start = nowMs();
  FILE* file = fopen(path, "rb");
  char* buffer = new char[kBufferSize];
  rapidjson::FileReadStream stream(file, buffer, kBufferSize);
  tree.ParseStream<Flags>(stream);
  delete[] buffer;
  fclose(file);
  return nowMs() - start;
}

// With the write-back's durability: the text reaches the disk itself before the file is closed.
double timePrettyWriter(const JsonTree& tree, const char* path) {
  double start = nowMs();
  FILE* file = fopen(path, "wb");
  char* buffer = new char[kBufferSize];
  rapidjson::FileWriteStream stream(file, buffer, kBufferSize);
  rapidjson::PrettyWriter<rapidjson::FileWriteStream> writer(stream);
  tree.Accept(writer);
  fflush(file);
  FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
  delete[] buffer;
  fclose(file);
  return nowMs() - start;
}

void benchSize(const char* label, size_t size, int rounds) {
  std::string path = std::string("bench-") + label + ".json";
  writeText(path, documentText(size));

  std::vector<double> opened, parsed, iterative, changed, written;
  BoundDocument bound;
  CJSON_Exp& document = bound.document;
  for (int round = -1; round < rounds; ++round) {  // round -1 warms the file cache and the heap
    // Turns alternate, so neither side always finds the file freshly read.
    double parse = round % 2 ? timeParseStream<rapidjson::kParseDefaultFlags>(path.c_str()) : 0;
    double open = timeOpen(path.c_str(), bound);
    if (round % 2 == 0) parse = timeParseStream<rapidjson::kParseDefaultFlags>(path.c_str());
    double parseIterative = timeParseStream<rapidjson::kParseIterativeFlag>(path.c_str());
    // The document's own file is what every modifying call replaces. Turns alternate here too, so that
    // neither side always meets the disk still busy with the other's last file.
    const std::string copy = "written-" + path;
    double write = round % 2 ? timePrettyWriter(document.record->document->tree, copy.c_str()) : 0;
    double change = nowMs();
    document.SetInt("Version", 4 + round, true);
    change = nowMs() - change;
    if (round % 2 == 0) write = timePrettyWriter(document.record->document->tree, copy.c_str());
    release(document);
    if (round < 0) continue;
    opened.push_back(open), parsed.push_back(parse), iterative.push_back(parseIterative);
    changed.push_back(change), written.push_back(write);
  }
  std::string sizeText = label;
  printResult(("load " + sizeText + ": Open vs ParseStream").c_str(), median(opened), median(parsed), "ms", 1.1);
  printResult(("change " + sizeText + ": SetInt vs PrettyWriter").c_str(), median(changed), median(written), "ms", 1.2);
  char note[200];
  snprintf(note, sizeof note, "%s: ParseStream with kParseIterativeFlag alone %.1f ms (%.2fx the default flags)", label,
           median(iterative), median(iterative) / median(parsed));
  printNote(note);
}

// Samples the committed private memory on its own thread until stopped. The first sample, taken once
// the thread (and the stack it commits) exists, is the baseline; the most seen is the peak.
struct CommitSampler {
  std::atomic<bool> stop{false};
  std::atomic<double> first{-1};
  std::atomic<double> most{0};
  HANDLE thread = nullptr;

  static DWORD WINAPI run(void* self) {
    CommitSampler& sampler = *static_cast<CommitSampler*>(self);
    sampler.most = committedBytes();
    sampler.first = sampler.most.load();
    while (!sampler.stop) sampler.most = std::max(sampler.most.load(), committedBytes());
    return 0;
  }
  // False when the thread did not take its first sample within a minute.
  bool start() {
    thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
    for (int wait = 0; wait < 60000 && first < 0; ++wait) Sleep(1);
    return first >= 0;
  }
  double finish() {
    stop = true;
    if (WaitForSingleObject(thread, 60000) != WAIT_OBJECT_0) printNote("the memory sampler did not stop");
    CloseHandle(thread);
    return most;
  }
};

// The memory one write-back takes above the loaded document, the most over several rounds.
void benchWriteBackMemory(const char* label, size_t size, int rounds) {
  std::string path = std::string("memory-") + label + ".json";
  writeText(path, documentText(size));
  BoundDocument bound;
  CJSON_Exp& document = bound.document;
  double heapMost = 0, committedMost = 0;
  for (int round = 0; round < rounds; ++round) {
    bound.open(path.c_str(), false);
    double heapBefore = static_cast<double>(heapBytesLive());
    restartHeapPeak();
    CommitSampler sampler;
    if (!sampler.start()) printNote("the memory sampler did not start within a minute");
    double committedBefore = sampler.first;
    document.SetInt("Version", 5 + round, true);
    double committedPeak = sampler.finish();
    heapMost = std::max(heapMost, static_cast<double>(heapBytesPeak()) - heapBefore);
    committedMost = std::max(committedMost, committedPeak - committedBefore);
    release(document);
  }
  const double kilobyte = 1024;
  std::string name = std::string("memory of a ") + label + " write-back above the loaded document";
  printResult(name.c_str(), std::max(heapMost, committedMost) / kilobyte, 1024, "KB", 1.0);
  char note[200];
  snprintf(note, sizeof note,
           "%s write-back, most of %d rounds: heap blocks %.1f KB at their peak, committed private "
           "memory sampled while it ran %.1f KB (the row shows the larger)",
           label, rounds, heapMost / kilobyte, committedMost / kilobyte);
  printNote(note);
}

}  // namespace

int main() {
  std::string scratch = makeScratch("json");
  benchSize("1 MB", 1u << 20, 61);
  benchSize("20 MB", 20u << 20, 15);
  benchWriteBackMemory("20 MB", 20u << 20, 3);
  removeScratch(scratch);
  return 0;
}
