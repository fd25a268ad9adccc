// The json tests' documents, opened on a path of their own as the launcher opens its files.
#pragma once

#include "json/BoundDocument.h"

// Never released, as the launcher keeps its own.
inline CJSON_Exp& openDocument(const char* path, bool create) {
  return (new BoundDocument(path, create))->document;
}
