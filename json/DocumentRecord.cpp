// A document's record and the memory its tree lives in.
#include "json/NodeRecord.h"

#include <algorithm>
#include <cstdlib>
#include <new>

static const size_t kPoolChunkBytes = 64 * 1024;            // RapidJSON's own default
static const size_t kParseStackBytes = 1024;                // likewise; the stack grows as it must
static const size_t kChunkHeaderBytes = 4 * sizeof(void*);  // the pool's header before each chunk, rounded up
static const rapidjson::SizeType kFirstMembers = 16;        // an object's first capacity in AddMember

const NodeRecord kMissingRecord = {nullptr, nullptr, nullptr, false};

void* CheckedAllocator::Malloc(size_t size) {
  if (size == 0) return nullptr;
  if (spare && size <= spareSize) {
    void* block = spare;
    spare = nullptr;
    return block;
  }
  void* block = std::malloc(size);
  if (!block) throw std::bad_alloc();
  return block;
}

void* CheckedAllocator::Realloc(void* block, size_t, size_t newSize) {
  if (newSize == 0) {
    std::free(block);
    return nullptr;
  }
  void* moved = std::realloc(block, newSize);
  if (!moved) throw std::bad_alloc();
  return moved;
}

void CheckedAllocator::Free(void* block) {
  std::free(block);
}

DocumentRecord::DocumentRecord(const char* path)
    : root{this, &tree, nullptr, false},
      pool(kPoolChunkBytes, &base),
      tree(&pool, kParseStackBytes, &base),
      path(path) {}

// AddMember raises an object's capacity before it asks for the memory, so a failure there would leave
// the object claiming room it lacks. The most its growth can take from the base allocator (one new
// chunk of the pool) is set aside first; a failure then happens before anything changes.
void addMember(DocumentRecord& document, JsonValue& object, const char* name, JsonValue& value) {
  rapidjson::SizeType count = object.MemberCount();
  size_t members = count == 0 ? kFirstMembers : count + (count + 1) / 2;
  size_t chunk = kChunkHeaderBytes + std::max(kPoolChunkBytes, members * sizeof(JsonValue::Member));
  document.base.spare = document.base.Malloc(chunk);
  document.base.spareSize = chunk;
  object.AddMember(rapidjson::StringRef(name), value, document.pool);
  std::free(document.base.spare);  // null when the growth took it
  document.base.spare = nullptr;
}
