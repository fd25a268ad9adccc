// What the fuzz targets share: a scratch folder, whole-file access, releasable documents, the written text.
#include "fuzz/FuzzSupport.h"

#include "json/Document.h"
#include "json/NodeRecord.h"

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

void checkFileHolds(const JsonValue& tree, const char* path) {
  const std::string text = readWholeFile(path);
  rapidjson::StringBuffer pretty;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(pretty);
  tree.Accept(writer);
  if (text != std::string(pretty.GetString(), pretty.GetSize()))
    fuzzFailure("the written text is not PrettyWriter's", text + "\n--- PrettyWriter:\n" + pretty.GetString());
}

void fuzzFailure(const char* what, const std::string& detail) {
  fprintf(stderr, "FUZZ FAILURE: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  abort();
}
