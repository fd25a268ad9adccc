// A document bound to a path with Open: how the launcher holds its settings and a mod's manifest, and
// how the checker, the tests, the fuzzers and the benchmarks hold theirs.
#pragma once

#include "json/Document.h"

// Lifetime: a bound document is never destroyed. Its record, its tree and every handle and string taken
// from it stay valid for the rest of the process (the mod's plan and the hooks keep pointers into it),
// so BoundDocument runs neither CJSON_Exp's constructor (which would look under .\configs\) nor its
// destructor, and releases nothing. Keep the object itself as long as document is used.
struct BoundDocument {
  // Bound to nothing: a document that does not exist, until open.
  BoundDocument() : record(nullptr) {}
  BoundDocument(const char* path, bool create) { Open(document, path, create); }
  ~BoundDocument() {}

  // Binds path exactly as given; a document bound before is left as it was, not released.
  void open(const char* path, bool create) { Open(document, path, create); }

  union {
    CJSON_Exp document;
    NodeRecord* record;
  };
};
