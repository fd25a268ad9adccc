// Reading a manifest the way the launcher's documents do, keeping the place of a parse error.
#include "tools/corvane-check/ManifestText.h"

#include <rapidjson/filereadstream.h>

#include <cmath>
#include <cstdio>
#include <vector>

static const size_t kReadBufferSize = 65536;

void placeOf(const std::string& text, size_t offset, unsigned& line, unsigned& column) {
  line = 1;
  column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

static std::string wholeFile(FILE* file) {
  std::string bytes;
  std::vector<char> chunk(kReadBufferSize);
  size_t got;
  while ((got = fread(chunk.data(), 1, chunk.size(), file)) > 0) bytes.append(chunk.data(), got);
  return bytes;
}

// The launcher's reader refuses a number that reads as infinity (RapidJSON 1.1.0 takes 1.8e308 so).
struct FiniteNumbers : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, FiniteNumbers> {
  bool Double(double value) {
    volatile double stored = value;  // as a tree keeps it: x87 code may still hold more range
    return std::isfinite(stored);
  }
};

void readManifestText(const char* path, ManifestText& text) {
  FILE* file = fopen(path, "rb");
  if (!file) return;
  text.found = true;
  std::string bytes = wholeFile(file);
  text.byteOrderMark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;

  // The same stream, buffer and parse flags as the launcher's Open, so the same texts fail at the same byte.
  rewind(file);
  std::vector<char> buffer(kReadBufferSize);
  rapidjson::FileReadStream stream(file, buffer.data(), buffer.size());
  rapidjson::Reader reader;
  FiniteNumbers events;
  rapidjson::ParseResult result = reader.Parse<rapidjson::kParseIterativeFlag>(stream, events);
  fclose(file);
  text.error = result.Code() == rapidjson::kParseErrorTermination ? rapidjson::kParseErrorNumberTooBig : result.Code();
  if (text.error != rapidjson::kParseErrorNone) placeOf(bytes, result.Offset(), text.line, text.column);
}
