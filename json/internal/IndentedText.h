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
// failed. Rewriting a file in place, it makes room for the whole text first (reserve bytes), at its
// first write, so that a pass that stops before then leaves the file as it was.
class TextOutput {
public:
  TextOutput(char* buffer, const OutputFile* file, size_t reserve)
      : buffer(buffer), at(buffer), end(buffer + kTextBufferSize), file(file), reserve(reserve) {}

  // Where at least size bytes (at most kTextBufferSize) may be written; give back the end with commit.
  char* room(size_t size) {
    if (size > static_cast<size_t>(end - at)) flush();
    return at;
  }
  void commit(char* written) { at = written; }
  void flush();

  bool failed = false;
  size_t written = 0;

private:
  char* buffer;
  char* at;
  char* end;
  const OutputFile* file;
  size_t reserve;
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
