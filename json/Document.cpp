// Binding a document to one file: reading and parsing it into a new record.
#include "json/Document.h"

#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"
#include "services/ClosingFile.h"

#include <rapidjson/filereadstream.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

static const size_t kReadBufferSize = 65536;  // the file is streamed through it, so any size loads

// The reader's events, passed on to the tree, with every double checked as it is read: RapidJSON 1.1.0
// reads a number just past the largest double, such as 1.8e308, as infinity where it should fail the
// parse, and a tree holding one could never be written back. Such a number ends the parse instead.
struct FiniteNumbers {
  JsonTree& tree;

  bool Null() { return tree.Null(); }
  bool Bool(bool value) { return tree.Bool(value); }
  bool Int(int value) { return tree.Int(value); }
  bool Uint(unsigned value) { return tree.Uint(value); }
  bool Int64(int64_t value) { return tree.Int64(value); }
  bool Uint64(uint64_t value) { return tree.Uint64(value); }
  bool Double(double value) { return std::isfinite(value) && tree.Double(value); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) { return tree.RawNumber(text, length, copy); }
  bool String(const char* text, rapidjson::SizeType length, bool copy) { return tree.String(text, length, copy); }
  bool StartObject() { return tree.StartObject(); }
  bool Key(const char* text, rapidjson::SizeType length, bool copy) { return tree.Key(text, length, copy); }
  bool EndObject(rapidjson::SizeType count) { return tree.EndObject(count); }
  bool StartArray() { return tree.StartArray(); }
  bool EndArray(rapidjson::SizeType count) { return tree.EndArray(count); }
};

// Reads the whole stream into the tree (JsonTree::Populate calls it). The iterative parser accepts the
// same texts as the recursive one without recursing, so no nesting depth can exhaust the stack.
struct StreamParse {
  rapidjson::FileReadStream& stream;
  CheckedAllocator& base;

  bool operator()(JsonTree& tree) {
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, CheckedAllocator> reader(&base);
    FiniteNumbers events{tree};
    return !reader.Parse<rapidjson::kParseIterativeFlag>(stream, events).IsError();
  }
};

// The x87 unit at its full 64-bit precision for a scope, then as the caller had it. Doubles are computed
// with SSE2, whatever the unit's settings, but the compiler converts a 64-bit integer with x87
// instructions (FILD, and for an unsigned one from 2^63 up an FADD of 2^64), which the unit rounds to
// its precision: at the 24 bits of a game thread once Direct3D has set them, 12312312312312312312 would
// read as 1.2312312e19. At 64 bits they are exact, and storing the double rounds once.
struct FullPrecision {
#ifdef __i386__
  FullPrecision() {
    __asm__ volatile("fnstcw %0" : "=m"(saved) : : "memory");
    unsigned short full = static_cast<unsigned short>(saved | 0x0300);
    __asm__ volatile("fldcw %0" : : "m"(full) : "memory");
  }
  ~FullPrecision() {
    __asm__ volatile("fldcw %0" : : "m"(saved) : "memory");
  }
  unsigned short saved;
#else
  FullPrecision() {}  // elsewhere SSE2 converts them too
#endif
};

// Parses the whole stream into the tree. Not inlined, so that every conversion of the reader stays
// between the precision's change and its return.
__attribute__((noinline)) static void parse(DocumentRecord& document, rapidjson::FileReadStream& stream) {
  StreamParse parse{stream, document.base};
  document.tree.Populate(parse);
}

// Parses the open file into the tree; anything but an object or array, or a failed parse, becomes an
// empty object. False when memory ran out: the tree is then unusable.
static bool load(DocumentRecord& document, FILE* file) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadBufferSize]);
  if (!buffer) return false;
  try {
    rapidjson::FileReadStream stream(file, buffer.get(), kReadBufferSize);
    FullPrecision exact;
    parse(document, stream);
    if (!document.tree.IsObject() && !document.tree.IsArray()) document.tree.SetObject();
  } catch (...) {
    return false;
  }
  return true;
}

void Open(CJSON_Exp& document, const char* path, bool create) {
  document.record = const_cast<NodeRecord*>(&kMissingRecord);
  if (!path) return;
  ClosingFile opened(fopen(path, "rb"));
  // Created empty, and first written at the first change; a file that exists but cannot be read
  // (locked, no permission) is never truncated.
  if (!opened.file && create && !pathExists(path)) opened.file = fopen(path, "wb");
  if (!opened.file) return;

  // A document that memory could not hold does not exist, so its file is never written.
  DocumentRecord* made = new (std::nothrow) DocumentRecord(path);
  if (!made || !load(*made, opened.file)) return;
  made->root.exists = true;
  document.record = &made->root;
}
