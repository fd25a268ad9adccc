// What the fuzz targets share: a scratch folder, whole-file access, releasable documents, tree comparison.
#include "fuzz/FuzzSupport.h"

#include "json/Document.h"
#include "json/NodeRecord.h"

#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

static std::string gScratchFolder;
static std::deque<std::string> gScratchFiles;  // a deque: earlier paths stay where they are

// A run that ends normally leaves nothing behind (write-backs leave no temporary file).
static void removeScratch() {
  for (const std::string& path : gScratchFiles) {
    remove(path.c_str());
  }
  rmdir(gScratchFolder.c_str());
}

const char* scratchFile(const char* name) {
  if (gScratchFolder.empty()) {
    const char* temp = getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/corvane-fuzz-XXXXXX";
    if (!mkdtemp(&pattern[0])) fuzzFailure("no scratch folder", pattern);
    gScratchFolder = pattern;
    atexit(removeScratch);
  }
  const std::string path = gScratchFolder + "/" + name;
  for (const std::string& known : gScratchFiles) {
    if (known == path) return known.c_str();
  }
  gScratchFiles.push_back(path);
  return gScratchFiles.back().c_str();
}

std::unique_ptr<char[]> exactCopy(const void* bytes, size_t size) {
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) memcpy(copy.get(), bytes, size);
  return copy;
}

void writeWholeFile(const char* path, const uint8_t* bytes, size_t size) {
  FILE* file = fopen(path, "wb");
  if (!file) fuzzFailure("cannot write", path);
  if (size && fwrite(bytes, 1, size, file) != size) fuzzFailure("short write", path);
  fclose(file);
}

ScratchDocument::ScratchDocument(const char* path, bool create) : bound(path, create) {}

ScratchDocument::~ScratchDocument() {
  delete document().record->document;  // the record, the tree, its pool and every value in it
}

// Integers by value and by the kinds they answer to; doubles by their bits, give or take slack units
// in the last place (the distance of two doubles of one sign is the distance of their bit patterns).
static bool sameNumber(const JsonValue& a, const JsonValue& b, unsigned slack) {
  if (a.IsDouble() != b.IsDouble()) return false;
  if (a.IsDouble()) {
    double x = a.GetDouble();
    double y = b.GetDouble();
    uint64_t xBits;
    uint64_t yBits;
    memcpy(&xBits, &x, sizeof x);
    memcpy(&yBits, &y, sizeof y);
    if ((xBits >> 63) != (yBits >> 63)) return false;
    return (xBits > yBits ? xBits - yBits : yBits - xBits) <= slack;
  }
  if (a.IsInt64() != b.IsInt64() || a.IsUint64() != b.IsUint64()) return false;
  return a.IsUint64() ? a.GetUint64() == b.GetUint64() : a.GetInt64() == b.GetInt64();
}

static bool sameBytes(const JsonValue& a, const JsonValue& b) {
  return a.GetStringLength() == b.GetStringLength() && memcmp(a.GetString(), b.GetString(), a.GetStringLength()) == 0;
}

// The path to the first value that differs, or empty; the callers show both texts.
static std::string differenceAt(const std::string& where, const JsonValue& a, const JsonValue& b, unsigned slack) {
  if (a.GetType() != b.GetType()) return where;
  if (a.IsNumber()) return sameNumber(a, b, slack) ? std::string() : where;
  if (a.IsString()) return sameBytes(a, b) ? std::string() : where;
  if (a.IsArray()) {
    if (a.Size() != b.Size()) return where + " (size)";
    for (rapidjson::SizeType i = 0; i < a.Size(); ++i) {
      std::string difference = differenceAt(where + "[" + std::to_string(i) + "]", a[i], b[i], slack);
      if (!difference.empty()) return difference;
    }
  }
  if (a.IsObject()) {
    if (a.MemberCount() != b.MemberCount()) return where + " (size)";
    JsonValue::ConstMemberIterator x = a.MemberBegin();
    JsonValue::ConstMemberIterator y = b.MemberBegin();
    for (; x != a.MemberEnd(); ++x, ++y) {
      std::string name = where + ".\"" + std::string(x->name.GetString(), x->name.GetStringLength()) + "\"";
      if (!sameBytes(x->name, y->name)) return name + " (name)";
      std::string difference = differenceAt(name, x->value, y->value, slack);
      if (!difference.empty()) return difference;
    }
  }
  return std::string();
}

std::string firstDifference(const JsonValue& a, const JsonValue& b, unsigned slack) {
  return differenceAt("root", a, b, slack);
}

std::string checkFileHolds(const JsonValue& tree, const char* path) {
  const std::string text = readWholeFile(path);
  rapidjson::StringBuffer pretty;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(pretty);
  tree.Accept(writer);
  if (text != std::string(pretty.GetString(), pretty.GetSize()))
    fuzzFailure("the written text is not PrettyWriter's", text + "\n--- PrettyWriter:\n" + pretty.GetString());
  JsonTree strict;
  strict.Parse<rapidjson::kParseFullPrecisionFlag>(text.data(), text.size());
  if (strict.HasParseError())
    fuzzFailure("the written text is not valid JSON",
                std::string(rapidjson::GetParseError_En(strict.GetParseError())) + " in\n" + text);
  std::string difference = firstDifference(tree, strict);
  if (!difference.empty()) fuzzFailure("the written text holds another tree", difference + "\n" + text);
  return text;
}

void fuzzFailure(const char* what, const std::string& detail) {
  fprintf(stderr, "FUZZ FAILURE: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  abort();
}
