// Writes the report one "key=value" line at a time.
#include "testbed/game/ReportWriter.h"

ReportWriter::~ReportWriter() {
  close();
}

bool ReportWriter::open(const char* path) {
  close();
  file = fopen(path, "wb");
  return file != nullptr;
}

void ReportWriter::put(const std::string& key, const std::string& value) {
  if (!file) return;
  std::string line = key + "=";
  for (char c : value) {
    if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
  line += '\n';
  fwrite(line.data(), 1, line.size(), file);
  fflush(file);
}

void ReportWriter::close() {
  if (file) fclose(file);
  file = nullptr;
}

std::string hex32(unsigned long value) {
  char text[16];
  snprintf(text, sizeof text, "%08lX", value & 0xFFFFFFFFul);
  return text;
}

std::string hexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

std::string printable(const std::string& text, size_t limit) {
  std::string result;
  for (size_t i = 0; i < text.size() && i < limit; ++i) {
    unsigned char c = text[i];
    if (c >= 0x20 && c <= 0x7E && c != '\\') {
      result += (char)c;
      continue;
    }
    char escape[8];
    snprintf(escape, sizeof escape, "\\x%02X", c);
    result += escape;
  }
  return result;
}

bool readWholeFile(const char* path, std::string& bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return true;
}
