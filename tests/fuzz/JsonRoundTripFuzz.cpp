// Fuzz target: any bytes load without a fault; the tree written back is, byte for byte, what
// RapidJSON's PrettyWriter writes, valid JSON that holds exactly that tree, and loading the written text
// again gives the same tree.
#include "fuzz/FuzzSupport.h"
#include "json/Document.h"
#include "json/NodeRecord.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

namespace {

// The product's reader converts numbers at RapidJSON's normal precision, which may put a double up to
// two units in the last place away from the one written.
const unsigned kReaderSlack = 2;

// Whether every name and string in the tree is valid UTF-8: a writer that validates refuses it otherwise.
bool validUtf8(const JsonValue& tree) {
  rapidjson::StringBuffer ignored;
  rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, rapidjson::CrtAllocator,
                    rapidjson::kWriteValidateEncodingFlag>
      writer(ignored);
  return tree.Accept(writer);
}

std::string writtenText(ScratchDocument& document, const char* path) {
  if (!WriteBack(*document.document().record)) fuzzFailure("a loaded tree could not be written back");
  return checkFileHolds(document.tree(), path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* loadedPath = scratchFile("loaded.json");
  const char* reloadedPath = scratchFile("reloaded.json");
  writeWholeFile(loadedPath, data, size);
  ScratchDocument loaded(loadedPath, false);
  if (!loaded.document().IsExist()) fuzzFailure("an existing file did not open");
  const JsonTree& tree = loaded.tree();
  if (!tree.IsObject() && !tree.IsArray()) fuzzFailure("the root is not a container");
  const std::string written = writtenText(loaded, loadedPath);

  // A tree whose texts are all valid UTF-8 is written as valid UTF-8. (Bytes that are not UTF-8 are
  // taken as they stand, and so is an escaped lone surrogate, which RapidJSON stores as three bytes.)
  if (validUtf8(tree)) {
    JsonTree encoded;
    encoded.Parse<rapidjson::kParseValidateEncodingFlag>(written.data(), written.size());
    if (encoded.HasParseError()) fuzzFailure("valid UTF-8 was written as invalid UTF-8", written);
  }

  // Loading the written text again, as the product loads, gives the same tree, which writes as well.
  writeWholeFile(reloadedPath, reinterpret_cast<const uint8_t*>(written.data()), written.size());
  ScratchDocument reloaded(reloadedPath, false);
  std::string difference = firstDifference(tree, reloaded.tree(), kReaderSlack);
  if (!difference.empty()) fuzzFailure("the written text loads as another tree", difference + "\n" + written);
  writtenText(reloaded, reloadedPath);
  return 0;
}
