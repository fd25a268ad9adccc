// The json tests' documents, opened on a path of their own as the launcher opens its files.
#pragma once

#include "json/Document.h"

#include <new>

// Never released, as the launcher keeps its own.
inline CJSON_Exp& openDocument(const char* path, bool create) {
  CJSON_Exp* document = static_cast<CJSON_Exp*>(::operator new(sizeof(CJSON_Exp)));
  Open(*document, path, create);
  return *document;
}
