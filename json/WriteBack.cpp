// Writing a document back to its file, whole: the indented text streams through one 64 KB buffer into
// a new temporary file beside it, which then takes the file's place; when it cannot, the complete text
// is written into the file in place. The memory a write-back takes does not grow with the document.
#include "json/Document.h"

#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"
#include "json/internal/IndentedText.h"

#include <memory>
#include <string>

namespace {

// A file the write-back opened: closed, and removed when it is a temporary one, on every way out.
struct OpenedFile {
  OutputFile file = {0};
  bool open = false;
  std::string temporary;  // the name to remove, when not empty

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

// The complete text written over the file's own bytes, with room made for it first. The text was
// measured (size and depth) by an earlier pass.
bool writeInPlace(const JsonValue& root, char* buffer, const char* path, const TextShape& measured) {
  OpenedFile target;
  if (!openInPlace(path, target.file)) return false;
  target.open = true;
  TextOutput output(buffer, &target.file, measured.bytes);
  TextShape again = {0, measured.depth};
  if (!writeIndented(root, output, again) || again.bytes != measured.bytes) return false;
  if (!cutAt(target.file, measured.bytes)) return false;
  return target.close();
}

bool writeBack(const DocumentRecord& document) {
  const char* path = document.path;
  TargetFacts target = targetFacts(path);
  if (!target.writable) return false;  // read-only, or a folder: it keeps its text, whichever way
  std::unique_ptr<char[]> buffer(new char[kTextBufferSize]);
  TextShape shape = {0, 0};
  OpenedFile temporary;
  if (createTemporary(path, target.attributes, temporary.temporary, temporary.file)) {
    temporary.open = true;
    TextOutput output(buffer.get(), &temporary.file, 0);
    if (!writeIndented(document.tree, output, shape)) return false;
    if (putInPlace(temporary.file, temporary.temporary.c_str(), path)) {
      temporary.temporary.clear();  // it is the file now
      return temporary.close();
    }
    // Refused (the file is held open without delete sharing, say): it still gets the text, in place.
    temporary.remove();
  } else {
    // The folder takes no new file: the text is measured first, so that only a complete one is written.
    TextOutput output(buffer.get(), nullptr, 0);
    if (!writeIndented(document.tree, output, shape)) return false;
  }
  return writeInPlace(document.tree, buffer.get(), path, shape);
}

}  // namespace

bool WriteBack(const NodeRecord& record) {
  if (!record.exists) return false;
  try {
    return writeBack(*record.document);
  } catch (...) {
    return false;  // memory ran out before any byte reached the file (see writeIndented)
  }
}
