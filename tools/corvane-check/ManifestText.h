// The manifest's text as the launcher's reader takes it: whether it parses, and where it stops.
#pragma once

#include <rapidjson/reader.h>

#include <cstddef>
#include <string>

struct ManifestText {
  bool found = false;          // the file could be opened for reading
  bool byteOrderMark = false;  // starts with EF BB BF, which the reader does not skip
  rapidjson::ParseErrorCode error = rapidjson::kParseErrorNone;
  unsigned line = 0;    // of the error, from 1
  unsigned column = 0;  // of the error, from 1, counted in bytes
};

// Reads the file at path (a path of this host) as the launcher's documents do (json/Document.cpp): the
// iterative reader with the same stream, and a number too large for a double ends the parse.
void readManifestText(const char* path, ManifestText& text);

// The line (from 1) and byte column (from 1) of offset in text; lines end at line feeds, so a CR
// before one counts as the last byte of its line.
void placeOf(const std::string& text, size_t offset, unsigned& line, unsigned& column);
