// A C file closed when the scope that opened it ends, whichever way it ends.
#pragma once

#include <cstdio>

struct ClosingFile {
  explicit ClosingFile(FILE* opened) : file(opened) {}
  ~ClosingFile() {
    if (file) fclose(file);
  }
  ClosingFile(const ClosingFile&) = delete;
  ClosingFile& operator=(const ClosingFile&) = delete;

  FILE* file;  // null when the open failed
};
