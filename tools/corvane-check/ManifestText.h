// The manifest's text as the launcher's reader takes it: parsed the same way, and where it stops.
#pragma once

#include <rapidjson/document.h>

#include <cstddef>
#include <string>

struct ManifestText {
  bool found = false;          // the file could be opened for reading
  bool byteOrderMark = false;  // starts with EF BB BF, which the reader does not skip
  rapidjson::ParseErrorCode error = rapidjson::kParseErrorNone;
  unsigned line = 0;         // of the error, from 1
  unsigned column = 0;       // of the error, from 1, counted in bytes
  rapidjson::Document tree;  // the parsed text when error is kParseErrorNone
};

// Reads the file at path (a path of this host) with the parse settings of the launcher's documents.
void readManifestText(const char* path, ManifestText& text);

// The line (from 1) and byte column (from 1) of offset in text; lines end at line feeds, so a CR
// before one counts as the last byte of its line.
void placeOf(const std::string& text, size_t offset, unsigned& line, unsigned& column);
