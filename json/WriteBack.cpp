// Writing a document back to its file, whole: the indented text streams through one 64 KB buffer into
// a new temporary file beside it, which then takes the file's place; when it cannot, the complete text
// is written into the file in place. The memory a write-back takes does not grow with the document.
#include "json/Document.h"

#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"

#include <rapidjson/prettywriter.h>

#include <memory>
#include <string>
#include <vector>

static const size_t kWriteBufferSize = 65536;
static const size_t kMaxWrittenText = 256u << 20;   // longer texts are not written: the file keeps its own
static const size_t kFirstLevels = 32;              // RapidJSON's own first size of its stack of levels

namespace {

// The writer's output: the buffer in front of a file, or of nothing when a text is only measured. It
// counts the bytes, and takes none once the count passes the cap or a write has failed. Rewriting a
// file in place, it first makes room for the whole text (reserve bytes), at the first write.
class TextStream {
public:
  typedef char Ch;

  TextStream(char* buffer, const OutputFile* file, size_t reserve)
      : buffer(buffer), at(buffer), end(buffer + kWriteBufferSize), file(file), reserve(reserve) {}

  void Put(char c) {
    if (at == end) Flush();
    *at++ = c;
  }

  void Flush() {
    size_t pending = static_cast<size_t>(at - buffer);
    at = buffer;
    if (failed) return;
    written += pending;
    if (written > kMaxWrittenText) failed = true;
    if (failed || !file) return;
    if (reserve && !reserveLength(*file, reserve)) failed = true;
    reserve = 0;
    if (!failed && !writeBytes(*file, buffer, pending)) failed = true;
  }

  bool failed = false;
  size_t written = 0;

private:
  char* buffer;
  char* at;
  char* end;
  const OutputFile* file;
  size_t reserve;
};

typedef rapidjson::PrettyWriter<TextStream, rapidjson::UTF8<>, rapidjson::UTF8<>, CheckedAllocator> TextWriter;

// What one pass learnt of the text: its size, and the most containers open at once.
struct TextShape {
  size_t bytes;
  size_t depth;
};

// A file the write-back opened: closed, and removed when it is a temporary one, on every way out.
struct OpenedFile {
  OutputFile file = {0};
  bool open = false;
  std::string temporary;   // the name to remove, when not empty

  bool close() {
    open = false;
    return closeFile(file);
  }
  void remove() {
    if (open) close();
    if (!temporary.empty()) removeFile(temporary.c_str());
    temporary.clear();
  }
  ~OpenedFile() { remove(); }
};

// Value::Accept without recursion (a hostile file can nest values 100,000 deep), stopping once the
// stream has failed: indenting every level makes a deep text grow with the square of its depth. With
// the depth of an earlier pass given in shape, everything is allocated before the first byte leaves
// the buffer, so that running out of memory leaves a file rewritten in place untouched. False when the
// writer refused a value (NaN) or the stream failed.
bool writeTree(const JsonValue& root, TextStream& stream, TextShape& shape) {
  struct Level {
    const JsonValue* container;
    rapidjson::SizeType next;   // index of the member or element to write next
  };
  std::vector<Level> open;
  open.reserve(shape.depth);
  CheckedAllocator levels;
  TextWriter writer(stream, &levels, shape.depth ? shape.depth : kFirstLevels);
  const JsonValue* value = &root;
  for (;;) {
    if (stream.failed) return false;   // a round adds two lines at most
    if (value) {
      bool written = value->IsObject()  ? writer.StartObject()
                     : value->IsArray() ? writer.StartArray()
                                        : value->Accept(writer);   // a scalar does not recurse
      if (!written) return false;
      if (value->IsObject() || value->IsArray()) {
        open.push_back({value, 0});
        if (open.size() > shape.depth) shape.depth = open.size();
      }
    }
    if (open.empty()) break;
    Level& top = open.back();
    const JsonValue& container = *top.container;
    value = nullptr;
    if (container.IsObject() && top.next < container.MemberCount()) {
      const JsonValue::Member& member = container.MemberBegin()[top.next++];
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
  stream.Flush();   // the writer flushed at the end of the root; this only settles the count
  shape.bytes = stream.written;
  return !stream.failed;
}

// The complete text written over the file's own bytes, with room made for it first. The text was
// measured (size and depth) by an earlier pass.
bool writeInPlace(const JsonValue& root, char* buffer, const char* path, const TextShape& measured) {
  OpenedFile target;
  if (!openInPlace(path, target.file)) return false;
  target.open = true;
  TextStream stream(buffer, &target.file, measured.bytes);
  TextShape again = {0, measured.depth};
  if (!writeTree(root, stream, again) || again.bytes != measured.bytes) return false;
  if (!cutAt(target.file, measured.bytes)) return false;
  return target.close();
}

bool writeBack(const DocumentRecord& document) {
  const char* path = document.path;
  TargetFacts target = targetFacts(path);
  if (!target.writable) return false;   // read-only, or a folder: it keeps its text, whichever way
  std::unique_ptr<char[]> buffer(new char[kWriteBufferSize]);
  TextShape shape = {0, 0};
  OpenedFile temporary;
  if (createTemporary(path, target.attributes, temporary.temporary, temporary.file)) {
    temporary.open = true;
    TextStream stream(buffer.get(), &temporary.file, 0);
    if (!writeTree(document.tree, stream, shape) || !temporary.close()) return false;
    if (putInPlace(temporary.temporary.c_str(), path, target.exists)) {
      temporary.temporary.clear();   // it is the file now
      return true;
    }
    // Refused (the file is held open without delete sharing, say): it still gets the text, in place.
    temporary.remove();
  } else {
    // The folder takes no new file: the text is measured first, so that only a complete one is written.
    TextStream stream(buffer.get(), nullptr, 0);
    if (!writeTree(document.tree, stream, shape)) return false;
  }
  return writeInPlace(document.tree, buffer.get(), path, shape);
}

}  // namespace

bool WriteBack(const NodeRecord& record) {
  if (!record.exists) return false;
  try {
    return writeBack(*record.document);
  } catch (...) {
    return false;   // memory ran out before any byte reached the file (see writeTree)
  }
}
