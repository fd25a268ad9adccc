// The record behind every JSON document and node handle.
#pragma once

#include <rapidjson/document.h>

// When exists is false only name (null) is meaningful.
struct NodeRecord {
  rapidjson::Document* document;                     // the whole tree
  rapidjson::Value* value;                           // the value designated; the root for a document
  const char* name;                                  // name it was reached under; null for a document
  rapidjson::MemoryPoolAllocator<>* allocator;       // the tree's pool: everything added comes from it
  const char* path;                                  // file that every write-back replaces
  bool exists;
};
