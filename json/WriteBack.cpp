// Writing a document back to its file, whole: the indented text streams through one 64 KB buffer into
// a new temporary file beside it, which reaches the disk and then takes the file's place; when it cannot
// (another program holds the file for a moment), the replacement is tried again for a quarter of a
// second, and then the complete text is written into the file in place. The memory a write-back takes
// does not grow with the document. docs/documents.md says when a file can be torn.
#include "json/Document.h"

#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"
#include "json/internal/IndentedText.h"

#include <memory>
#include <string>

namespace {

// Milliseconds between tries of the replacement: a quarter of a second in all.
const unsigned kReplacePauses[] = {10, 20, 40, 80, 100};

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

// The complete text written over the file's own bytes (see TextOutput::overwrite). The text was measured
// (size and depth) by an earlier pass. It goes out in writes of 64 KB: a text and an old one of at most
// that size are swapped in one write.
bool writeInPlace(const JsonValue& root, char* buffer, const char* path, const TextShape& measured) {
  OpenedFile target;
  if (!openInPlace(path, target.file)) return false;
  target.open = true;
  uint64_t old = 0;
  if (!sizeOf(target.file, old)) return false;
  TextOutput output(buffer, &target.file);
  output.overwrite(old, measured.bytes);
  TextShape again = {0, measured.depth};
  if (!writeIndented(root, output, again) || again.bytes != measured.bytes) {
    if (measured.bytes > old) cutAt(target.file, old);  // the room made for it, taken back
    return false;
  }
  if (!cutAt(target.file, measured.bytes) || !flushFile(target.file)) return false;
  return target.close();
}

// Puts the temporary file in the file's place, trying again while the file is held.
bool replace(OpenedFile& temporary, const char* path) {
  bool replaced = putInPlace(temporary.file, temporary.temporary.c_str(), path);
  for (unsigned pause : kReplacePauses) {
    if (replaced) break;
    pauseFor(pause);
    replaced = putInPlace(temporary.file, temporary.temporary.c_str(), path);
  }
  return replaced;
}

bool writeBack(DocumentRecord& document) {
  const char* path = document.path;
  TargetFacts target = targetFacts(path);
  if (!target.writable) return false;  // read-only, or a folder: it keeps its text, whichever way
  if (!document.swept) {
    removeStaleTemporaries(path);
    document.swept = true;
  }
  std::unique_ptr<char[]> buffer(new char[kTextBufferSize]);
  TextShape shape = {0, 0};
  OpenedFile temporary;
  if (createTemporary(path, target.attributes, temporary.temporary, temporary.file)) {
    temporary.open = true;
    TextOutput output(buffer.get(), &temporary.file);
    if (!writeIndented(document.tree, output, shape) || !flushFile(temporary.file)) return false;
    if (replace(temporary, path)) {
      temporary.temporary.clear();  // it is the file now
      return temporary.close();
    }
    // Still held (open without delete sharing, say): it gets the text in place.
    temporary.remove();
  } else {
    // The folder takes no new file: the text is measured first, so that only a complete one is written.
    TextOutput output(buffer.get(), nullptr);
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
