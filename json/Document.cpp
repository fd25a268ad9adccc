// A JSON document bound to one file: the exported constructor, and loading.
#include "json/Document.h"

#include "StringUtils.h"
#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"

#include <rapidjson/filereadstream.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

static const size_t kReadBufferSize = 65536;   // the file is streamed through it, so any size loads

CJSON_Exp::CJSON_Exp(const char* name, bool create) {
  makeFolder(kConfigFolder);
  // The path stays relative (resolved at every write-back) and lives as long as the document's tree.
  Open(*this, StringUtils::strunite(2, kConfigPrefix, name), create);
}

// The record stays: an object that got it by assignment may still use it, and is destroyed too.
CJSON_Exp::~CJSON_Exp() {}

void CJSON_Exp::__autoclassinit2(unsigned int size) {
  memset(static_cast<void*>(this), 0, size);
}

// Whether every number in the tree is finite, walked without recursion. RapidJSON 1.1.0 reads a number
// just past the largest double, such as 1.8e308, as infinity where it should fail the parse, and a tree
// holding one could never be written back: every later change would miss the file.
static bool finiteNumbers(const JsonValue& root) {
  std::vector<const JsonValue*> pending(1, &root);
  while (!pending.empty()) {
    const JsonValue& value = *pending.back();
    pending.pop_back();
    if (value.IsDouble() && !std::isfinite(value.GetDouble())) return false;
    if (value.IsArray()) {
      for (const JsonValue& element : value.GetArray()) pending.push_back(&element);
    } else if (value.IsObject()) {
      for (const JsonValue::Member& member : value.GetObject()) pending.push_back(&member.value);
    }
  }
  return true;
}

// Parses the open file into the tree; anything but an object or array, or a failed parse, becomes an
// empty object. False when memory ran out: the tree is then unusable.
static bool load(JsonTree& tree, FILE* file) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadBufferSize]);
  if (!buffer) return false;
  try {
    // The iterative parser accepts the same texts without recursing, so no depth can exhaust the stack.
    rapidjson::FileReadStream stream(file, buffer.get(), kReadBufferSize);
    tree.ParseStream<rapidjson::kParseIterativeFlag>(stream);
    if ((!tree.IsObject() && !tree.IsArray()) || !finiteNumbers(tree)) tree.SetObject();
  } catch (...) {
    return false;
  }
  return true;
}

void Open(CJSON_Exp& document, const char* path, bool create) {
  document.record = const_cast<NodeRecord*>(&kMissingRecord);
  FILE* file = nullptr;
  if (path) {
    file = fopen(path, "rb");
    // Created empty, and first written at the first change; a file that exists but cannot be read
    // (locked, no permission) is never truncated.
    if (!file && create && !pathExists(path)) file = fopen(path, "wb");
  }
  if (!file) return;

  // A document that memory could not hold does not exist, so its file is never written.
  DocumentRecord* made = new (std::nothrow) DocumentRecord(path);
  bool loaded = made && load(made->tree, file);
  fclose(file);
  if (!loaded) return;
  made->root.exists = true;
  document.record = &made->root;
}
