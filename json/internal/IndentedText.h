// The indented text of a tree, byte for byte what RapidJSON's PrettyWriter writes with its defaults
// (four spaces a level, every element on its own line, at most 324 decimals), streamed through one
// fixed buffer.
#pragma once

#include "json/NodeRecord.h"
#include "json/internal/FileAccess.h"

#include <cstddef>

const size_t kTextBufferSize = 65536;
const size_t kMaxTextSize = 256u << 20;  // a longer text is never written: deep nesting grows it with the
                                         // square of the depth

// The text's way out: kTextBufferSize bytes in front of a file, or of nothing when a text is only
// measured. It counts the bytes, and takes none once the count passes kMaxTextSize or a write has
// failed.
class TextOutput {
public:
  TextOutput(char* buffer, const OutputFile* file)
      : buffer(buffer), at(buffer), end(buffer + kTextBufferSize), file(file) {}

  // The file holds a text of old bytes that this one, of size bytes, overwrites in place. Room for a
  // longer text is made first, at the first write (when every allocation is made): spaces after the old
  // text, which still reads as it did. A shorter text is followed by spaces up to the old one's end, in
  // the same write as its last bytes where the buffer holds them. JSON text may end in spaces, so until
  // the file is cut to size it reads as one text or the other.
  void overwrite(uint64_t old, uint64_t size);

  // Where at least size bytes (at most kTextBufferSize) may be written; give back the end with commit.
  char* room(size_t size) {
    if (size > static_cast<size_t>(end - at)) flush();
    return at;
  }
  void commit(char* written) { at = written; }
  void flush();
  // After the text's last byte: the spaces that follow it, then everything out.
  void finish();

  bool failed = false;
  size_t written = 0;  // bytes sent on, spaces included
  size_t text = 0;     // the text's own bytes, once finished

private:
  bool makeRoom();

  char* buffer;
  char* at;
  char* end;
  const OutputFile* file;
  uint64_t roomFrom = 0, roomTo = 0;  // spaces to write before the text
  size_t padTo = 0;                   // the text and the spaces after it
};

// What a pass learnt of the text: its size, and the most containers open at once.
struct TextShape {
  size_t bytes;
  size_t depth;
};

// Writes the whole tree, without recursion (a hostile file nests values 100,000 deep), and flushes.
// With shape.depth known from an earlier pass, everything is allocated before the first byte leaves
// the buffer. False when a number is NaN or infinite (it has no text) or the output failed.
bool writeIndented(const JsonValue& root, TextOutput& output, TextShape& shape);
