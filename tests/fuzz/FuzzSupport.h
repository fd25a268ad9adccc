// What the fuzz targets share: a scratch folder, whole-file access, documents they can release, and the
// written text compared with RapidJSON's own writer.
#pragma once

#include "CJSON_Exp.h"
#include "json/BoundDocument.h"
#include "json/NodeRecord.h"
#include "support/WholeFile.h"

#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The absolute path of a file named name in a folder of the run's own, made under the temporary folder
// at the first call. The current folder is left alone, so paths given on the command line still work.
const char* scratchFile(const char* name);

// A copy of size bytes in a heap block of exactly that size (one byte when empty), so that a read past
// them is caught.
std::unique_ptr<char[]> exactCopy(const void* bytes, size_t size);

void writeWholeFile(const char* path, const uint8_t* bytes, size_t size);

// A document opened on path as the launcher opens its own files. The product keeps a document's tree,
// pool and record for the rest of the process; a fuzz run releases them here after each input, so
// that any other leak shows. (The handles its look-ups made stay, as the product keeps them.)
class ScratchDocument {
public:
  ScratchDocument(const char* path, bool create);
  ~ScratchDocument();
  ScratchDocument(const ScratchDocument&) = delete;
  ScratchDocument& operator=(const ScratchDocument&) = delete;

  CJSON_Exp& document() { return bound.document; }
  const JsonTree& tree() { return document().record->document->tree; }

private:
  BoundDocument bound;
};

// The file's text after a write-back of tree is byte for byte RapidJSON's PrettyWriter's with its
// defaults.
void checkFileHolds(const JsonValue& tree, const char* path);

// Stops the run with a message: libFuzzer then saves the input that led here.
[[noreturn]] void fuzzFailure(const char* what, const std::string& detail = std::string());
