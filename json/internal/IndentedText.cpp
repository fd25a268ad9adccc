// The indented text of a tree, written straight into the output's buffer: each piece is written after
// one check for room, which is what makes it faster than PrettyWriter putting one character at a time.
#include "json/internal/IndentedText.h"

#include <rapidjson/internal/dtoa.h>
#include <rapidjson/internal/itoa.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const int kMaxDecimalPlaces = 324;  // PrettyWriter's default
const size_t kMaxScalar = 32;       // the longest number or literal, rounded up
const size_t kIndent = 4;
const char kHex[] = "0123456789ABCDEF";

// PrettyWriter's escapes: 'u' for \u00XX, another letter for \X, 0 for a byte written as it is.
const char kEscape[256] = {
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'b', 't', 'n', 'u', 'f',  'r', 'u', 'u',  // 00
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u',  'u', 'u', 'u',  // 10
    0,   0,   '"', 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,    // 20
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,    // 30
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,    // 40
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   '\\', 0,   0,   0,    // 50
};

char* escaped(char* at, unsigned char c) {
  char escape = kEscape[c];
  if (!escape) {
    *at++ = static_cast<char>(c);
    return at;
  }
  *at++ = '\\';
  *at++ = escape;
  if (escape != 'u') return at;
  *at++ = '0';
  *at++ = '0';
  *at++ = kHex[c >> 4];
  *at++ = kHex[c & 15];
  return at;
}

void writeByte(TextOutput& output, char byte) {
  char* at = output.room(1);
  *at = byte;
  output.commit(at + 1);
}

// Whether a text of length bytes may be sized (6 bytes a byte at most) without passing 32 bits: a
// longer one would pass the size cap anyway, so the output fails here.
bool sizeable(TextOutput& output, size_t length) {
  if (length > kMaxTextSize) output.failed = true;
  return !output.failed;
}

// A string in double quotes; a piece at a time when even the longest escaping of it passes the buffer.
void writeString(TextOutput& output, const char* text, size_t length) {
  if (!sizeable(output, length)) return;
  const size_t most = 2 + 6 * length;
  if (most <= kTextBufferSize) {
    char* at = output.room(most);
    *at++ = '"';
    for (size_t i = 0; i < length; ++i) at = escaped(at, static_cast<unsigned char>(text[i]));
    *at++ = '"';
    return output.commit(at);
  }
  writeByte(output, '"');
  for (size_t i = 0; i < length; ++i) output.commit(escaped(output.room(6), static_cast<unsigned char>(text[i])));
  writeByte(output, '"');
}

// Every scalar as GenericValue::Accept hands it to the writer; false for NaN and the infinities.
bool writeScalar(TextOutput& output, const JsonValue& value) {
  if (value.IsString()) {
    writeString(output, value.GetString(), value.GetStringLength());
    return true;
  }
  char* at = output.room(kMaxScalar);
  if (value.IsNull()) {
    memcpy(at, "null", 4);
    at += 4;
  } else if (value.IsBool()) {
    const char* text = value.IsTrue() ? "true" : "false";
    size_t length = strlen(text);
    memcpy(at, text, length);
    at += length;
  } else if (value.IsDouble()) {
    if (!std::isfinite(value.GetDouble())) return false;
    at = rapidjson::internal::dtoa(value.GetDouble(), at, kMaxDecimalPlaces);
  } else if (value.IsInt()) {
    at = rapidjson::internal::i32toa(value.GetInt(), at);
  } else if (value.IsUint()) {
    at = rapidjson::internal::u32toa(value.GetUint(), at);
  } else if (value.IsInt64()) {
    at = rapidjson::internal::i64toa(value.GetInt64(), at);
  } else {
    at = rapidjson::internal::u64toa(value.GetUint64(), at);
  }
  output.commit(at);
  return true;
}

// A line break and the indentation of a level, after a comma when it is not the first entry.
void writeLine(TextOutput& output, bool comma, size_t level) {
  size_t indent = level * kIndent;
  if (indent + 2 > kTextBufferSize) {  // past 16,000 levels: a piece at a time
    writeLine(output, comma, 0);
    for (size_t i = 0; i < level; ++i) {
      char* at = output.room(kIndent);
      memset(at, ' ', kIndent);
      output.commit(at + kIndent);
    }
    return;
  }
  char* at = output.room(indent + 2);
  if (comma) *at++ = ',';
  *at++ = '\n';
  for (size_t i = 0; i < level; ++i, at += kIndent) memcpy(at, "    ", kIndent);  // a 4-byte store each
  output.commit(at);
}

// A member's line up to its value: the line break and indentation, the name and ": ", at one check
// for room when they fit the buffer.
void writeMemberHead(TextOutput& output, bool comma, size_t level, const JsonValue& name) {
  size_t length = name.GetStringLength();
  if (!sizeable(output, length)) return;
  size_t most = level * kIndent + 6 * length + 6;
  if (most > kTextBufferSize) {
    writeLine(output, comma, level);
    writeString(output, name.GetString(), length);
    char* at = output.room(2);
    memcpy(at, ": ", 2);
    return output.commit(at + 2);
  }
  char* at = output.room(most);
  if (comma) *at++ = ',';
  *at++ = '\n';
  for (size_t i = 0; i < level; ++i, at += kIndent) memcpy(at, "    ", kIndent);
  *at++ = '"';
  const char* text = name.GetString();
  for (size_t i = 0; i < length; ++i) at = escaped(at, static_cast<unsigned char>(text[i]));
  memcpy(at, "\": ", 3);
  output.commit(at + 3);
}

}  // namespace

void TextOutput::flush() {
  size_t pending = static_cast<size_t>(at - buffer);
  at = buffer;
  if (failed) return;
  written += pending;
  if (written > kMaxTextSize) failed = true;
  if (failed || !file) return;
  if (roomTo > roomFrom && !makeRoom()) failed = true;
  roomTo = 0;
  if (!failed && !writeBytes(*file, buffer, pending)) failed = true;
}

void TextOutput::overwrite(uint64_t old, uint64_t size) {
  if (size > old) roomFrom = old, roomTo = size;
  else if (old <= kMaxTextSize) padTo = static_cast<size_t>(old);
}

bool TextOutput::makeRoom() {
  char spaces[512];
  memset(spaces, ' ', sizeof spaces);
  if (!seekTo(*file, roomFrom)) return false;
  for (uint64_t left = roomTo - roomFrom; left > 0;) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, sizeof spaces));
    if (!writeBytes(*file, spaces, piece)) return false;
    left -= piece;
  }
  return seekTo(*file, 0);
}

void TextOutput::finish() {
  text = written + static_cast<size_t>(at - buffer);
  for (size_t spaces = padTo > text ? padTo - text : 0; spaces > 0 && !failed;) {
    if (at == end) flush();
    size_t piece = std::min(spaces, static_cast<size_t>(end - at));
    memset(at, ' ', piece);
    at += piece;
    spaces -= piece;
  }
  flush();
}

bool writeIndented(const JsonValue& root, TextOutput& output, TextShape& shape) {
  struct Level {
    const JsonValue* container;
    rapidjson::SizeType next;  // the member or element to write next
  };
  std::vector<Level> open;
  open.reserve(shape.depth);
  const JsonValue* value = &root;
  for (;;) {
    if (output.failed) return false;  // checked once a value, so a text past the cap stops soon after
    if (value && (value->IsObject() || value->IsArray())) {
      writeByte(output, value->IsObject() ? '{' : '[');
      open.push_back({value, 0});
      if (open.size() > shape.depth) shape.depth = open.size();
    } else if (value && !writeScalar(output, *value)) {
      return false;
    }
    if (open.empty()) break;
    Level& top = open.back();
    const JsonValue& container = *top.container;
    rapidjson::SizeType count = container.IsObject() ? container.MemberCount() : container.Size();
    if (top.next < count) {
      if (container.IsObject()) {
        const JsonValue::Member& member = container.MemberBegin()[top.next];
        writeMemberHead(output, top.next++ > 0, open.size(), member.name);
        value = &member.value;
      } else {
        writeLine(output, top.next > 0, open.size());
        value = &container[top.next++];
      }
      continue;
    }
    if (count > 0) writeLine(output, false, open.size() - 1);
    writeByte(output, container.IsObject() ? '}' : ']');
    open.pop_back();
    value = nullptr;
  }
  output.finish();
  shape.bytes = output.text;
  return !output.failed;
}
