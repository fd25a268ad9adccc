// A JSON document bound to one file: the exported constructor, loading, and the write-back.
#include "json/Document.h"

#include "StringUtils.h"
#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"

#include <rapidjson/filereadstream.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

static const size_t kReadBufferSize = 65536;   // the file is streamed through it, so any size loads
static const size_t kMaxWrittenText = 256u << 20;   // longer texts are not written: the file keeps its own

CJSON_Exp::CJSON_Exp(const char* name, bool create) {
  makeFolder(kConfigFolder);
  // The path stays relative (resolved at every write-back) and lives as long as the document's tree.
  Open(*this, StringUtils::strunite(2, kConfigPrefix, name), create);
}

CJSON_Exp::~CJSON_Exp() {
  delete record;   // the tree, its pool and the path outlive the object: handles still use them
}

void CJSON_Exp::__autoclassinit2(unsigned int size) {
  memset(static_cast<void*>(this), 0, size);
}

// Whether every number in the tree is finite, walked without recursion. RapidJSON 1.1.0 reads a number
// just past the largest double, such as 1.8e308, as infinity where it should fail the parse, and a tree
// holding one could never be written back: every later change would miss the file.
static bool finiteNumbers(const rapidjson::Value& root) {
  std::vector<const rapidjson::Value*> pending(1, &root);
  while (!pending.empty()) {
    const rapidjson::Value& value = *pending.back();
    pending.pop_back();
    if (value.IsDouble() && !std::isfinite(value.GetDouble())) return false;
    if (value.IsArray()) {
      for (const rapidjson::Value& element : value.GetArray()) pending.push_back(&element);
    } else if (value.IsObject()) {
      for (const rapidjson::Value::Member& member : value.GetObject()) pending.push_back(&member.value);
    }
  }
  return true;
}

void Open(CJSON_Exp& document, const char* path, bool create) {
  FILE* file = nullptr;
  if (path) {
    file = fopen(path, "rb");
    // Created empty, and first written at the first change; a file that exists but cannot be read
    // (locked, no permission) is never truncated.
    if (!file && create && !pathExists(path)) file = fopen(path, "wb");
  }

  rapidjson::Document* tree = new rapidjson::Document();
  document.record = new NodeRecord{tree, tree, nullptr, &tree->GetAllocator(), path, file != nullptr};
  if (!file) return;

  // Any failure leaves the root null; like a scalar root it becomes an empty object. The iterative
  // parser accepts the same texts without recursing, so no nesting depth can exhaust the stack.
  char* buffer = new char[kReadBufferSize];
  rapidjson::FileReadStream stream(file, buffer, kReadBufferSize);
  tree->ParseStream<rapidjson::kParseIterativeFlag>(stream);
  delete[] buffer;
  fclose(file);
  if ((!tree->IsObject() && !tree->IsArray()) || !finiteNumbers(*tree)) tree->SetObject();
}

// Value::Accept without recursion, stopping once the text passes kMaxWrittenText: a hostile file can
// nest values 100,000 deep, and indenting every level makes such a text grow with the square of the
// depth. False when the writer refused a value or the text grew too long.
static bool writeTree(const rapidjson::Value& root, rapidjson::PrettyWriter<rapidjson::StringBuffer>& writer,
                      const rapidjson::StringBuffer& text) {
  struct Level {
    const rapidjson::Value* container;
    rapidjson::SizeType next;   // index of the member or element to write next
  };
  std::vector<Level> open;
  const rapidjson::Value* value = &root;
  for (;;) {
    if (text.GetSize() > kMaxWrittenText) return false;   // a round adds two lines at most
    if (value) {
      bool written = value->IsObject()  ? writer.StartObject()
                     : value->IsArray() ? writer.StartArray()
                                        : value->Accept(writer);   // a scalar does not recurse
      if (!written) return false;
      if (value->IsObject() || value->IsArray()) open.push_back({value, 0});
    }
    if (open.empty()) return true;
    Level& top = open.back();
    const rapidjson::Value& container = *top.container;
    value = nullptr;
    if (container.IsObject() && top.next < container.MemberCount()) {
      const rapidjson::Value::Member& member = container.MemberBegin()[top.next++];
      if (!writer.Key(member.name.GetString(), member.name.GetStringLength())) return false;
      value = &member.value;
    } else if (container.IsArray() && top.next < container.Size()) {
      value = &container[top.next++];
    } else {
      bool closed = container.IsObject() ? writer.EndObject(container.MemberCount()) : writer.EndArray(container.Size());
      if (!closed) return false;
      open.pop_back();
    }
  }
}

bool WriteBack(const NodeRecord& record) {
  rapidjson::StringBuffer text;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
  if (!writeTree(*record.document, writer, text)) return false;   // an incomplete text never reaches the file
  return replaceFile(record.path, text.GetString(), text.GetSize());
}
