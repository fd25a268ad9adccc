// The records behind every JSON document and node handle, and the tree type they point into.
#pragma once

#include <rapidjson/document.h>

#include <cstddef>

// The tree's base allocator: RapidJSON uses what an allocator returns without a test, so a failed
// allocation becomes std::bad_alloc here, which the operations catch before it can reach a caller.
struct CheckedAllocator {
  static const bool kNeedFree = true;
  void* Malloc(size_t size);
  void* Realloc(void* block, size_t oldSize, size_t newSize);
  static void Free(void* block);

  void* spare = nullptr;  // set aside for the next Malloc of at most spareSize bytes (see addMember)
  size_t spareSize = 0;
};

typedef rapidjson::MemoryPoolAllocator<CheckedAllocator> JsonPool;
typedef rapidjson::GenericValue<rapidjson::UTF8<>, JsonPool> JsonValue;
typedef rapidjson::GenericDocument<rapidjson::UTF8<>, JsonPool, CheckedAllocator> JsonTree;

struct DocumentRecord;

// What a handle's one pointer designates. Records are never released. When exists is false only
// name (null) is meaningful; every handle that does not exist may share one such record.
struct NodeRecord {
  DocumentRecord* document;  // the document the value lives in
  JsonValue* value;          // the value designated; the root for a document's own record
  const char* name;          // name it was reached under; null for a document
  bool exists;
};

// A document's own record, never released: objects that share it by assignment may be destroyed in
// any order. A document object points at its root record, which a handle may take over as it is.
struct DocumentRecord {
  NodeRecord root;
  CheckedAllocator base;  // where the pool and the parser take their memory
  JsonPool pool;          // every value, member or element of the tree comes from it
  JsonTree tree;
  const char* path;    // file that every write-back replaces
  bool swept = false;  // the first write-back removed what killed processes left beside the file

  explicit DocumentRecord(const char* path);
};

// object.AddMember(name, value) that leaves object as it was when memory runs out (std::bad_alloc).
void addMember(DocumentRecord& document, JsonValue& object, const char* name, JsonValue& value);

// The one record of every handle that does not exist; it is never written.
extern const NodeRecord kMissingRecord;
