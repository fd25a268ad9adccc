// Documents of 1 MB and 20 MB: loading through the launcher's Open against RapidJSON's own ParseStream
// over the same file, and one modifying call (whole-file write-back through a temporary file) against
// RapidJSON's PrettyWriter writing the same tree to a file. Runs alternate; medians are compared.
#include "bench/BenchSupport.h"

#include "json/Document.h"
#include "json/NodeRecord.h"

#include <rapidjson/filereadstream.h>
#include <rapidjson/filewritestream.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const size_t kBufferSize = 65536;   // the buffer the launcher reads and writes through

// An indented document of at least size bytes: a list of small records, as add-ons keep them.
std::string documentText(size_t size) {
  std::string text = "{\n    \"Version\": 3,\n    \"Items\": [\n";
  for (int i = 0; text.size() < size; ++i) {
    std::string id = std::to_string(i);
    if (i) text += ",\n";
    text += "        {\n            \"Id\": " + id + ",\n            \"Name\": \"item-" + id +
            "\",\n            \"Weight\": 1.25,\n            \"Enabled\": true,\n            \"Tags\": [\n"
            "                \"red\",\n                \"green\"\n            ],\n            \"Note\": null,\n"
            "            \"Position\": {\n                \"X\": " + std::to_string(i * 3) +
            ",\n                \"Y\": -" + id + "\n            }\n        }";
  }
  return text + "\n    ]\n}";
}

// The launcher's documents are never released; the benchmark releases its own to stay small.
void release(CJSON_Exp& document) {
  delete document.record->document;
  delete document.record;
  document.record = nullptr;
}

double timeOpen(const char* path, CJSON_Exp& document) {
  double start = nowMs();
  Open(document, path, false);
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

// The steps of a write-back done by hand, for the note under the table: the text made in memory,
// written to a new file, and moved over the old one.
struct ReplaceSteps {
  double render, write, move;
};

ReplaceSteps timeReplaceSteps(const rapidjson::Document& tree, const char* path) {
  ReplaceSteps steps;
  double start = nowMs();
  rapidjson::StringBuffer text;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
  tree.Accept(writer);
  steps.render = nowMs() - start;
  start = nowMs();
  std::string temporary = std::string(path) + ".tmp";
  FILE* file = fopen(temporary.c_str(), "wb");
  fwrite(text.GetString(), 1, text.GetSize(), file);
  fclose(file);
  steps.write = nowMs() - start;
  start = nowMs();
  MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING);
  steps.move = nowMs() - start;
  return steps;
}

double timePrettyWriter(const rapidjson::Document& tree, const char* path) {
  double start = nowMs();
  FILE* file = fopen(path, "wb");
  char* buffer = new char[kBufferSize];
  rapidjson::FileWriteStream stream(file, buffer, kBufferSize);
  rapidjson::PrettyWriter<rapidjson::FileWriteStream> writer(stream);
  tree.Accept(writer);
  delete[] buffer;
  fclose(file);
  return nowMs() - start;
}

void benchSize(const char* label, size_t size, int rounds) {
  std::string path = std::string("bench-") + label + ".json";
  writeText(path, documentText(size));

  std::vector<double> opened, parsed, iterative, changed, written, rendered, stored, moved;
  alignas(CJSON_Exp) unsigned char storage[sizeof(CJSON_Exp)];
  CJSON_Exp& document = *reinterpret_cast<CJSON_Exp*>(storage);
  for (int round = -1; round < rounds; ++round) {   // round -1 warms the file cache and the heap
    // Turns alternate, so neither side always finds the file freshly read.
    double parse = round % 2 ? timeParseStream<rapidjson::kParseDefaultFlags>(path.c_str()) : 0;
    double open = timeOpen(path.c_str(), document);
    if (round % 2 == 0) parse = timeParseStream<rapidjson::kParseDefaultFlags>(path.c_str());
    double parseIterative = timeParseStream<rapidjson::kParseIterativeFlag>(path.c_str());
    // The document's own file is what every modifying call replaces.
    double change = nowMs();
    document.SetInt("Version", 4 + round, true);
    change = nowMs() - change;
    double write = timePrettyWriter(*document.record->document, ("written-" + path).c_str());
    ReplaceSteps steps = timeReplaceSteps(*document.record->document, ("replaced-" + path).c_str());
    release(document);
    if (round < 0) continue;
    opened.push_back(open), parsed.push_back(parse), iterative.push_back(parseIterative);
    changed.push_back(change), written.push_back(write);
    rendered.push_back(steps.render), stored.push_back(steps.write), moved.push_back(steps.move);
  }
  std::string sizeText = label;
  printResult(("load " + sizeText + ": Open vs ParseStream").c_str(), median(opened), median(parsed), "ms", 1.1);
  printResult(("change " + sizeText + ": SetInt vs PrettyWriter").c_str(), median(changed), median(written), "ms", 1.2);
  char note[200];
  snprintf(note, sizeof note, "%s: ParseStream with kParseIterativeFlag alone %.1f ms (%.2fx the default flags)", label,
           median(iterative), median(iterative) / median(parsed));
  printNote(note);
  snprintf(note, sizeof note, "%s: a write-back by hand: text in memory %.1f ms, written to a new file %.1f ms, moved over %.1f ms",
           label, median(rendered), median(stored), median(moved));
  printNote(note);
}

}  // namespace

int main() {
  std::string scratch = makeScratch("json");
  benchSize("1 MB", 1u << 20, 15);
  benchSize("20 MB", 20u << 20, 7);
  removeScratch(scratch);
  return 0;
}
