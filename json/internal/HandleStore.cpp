// Handles and their records, carved from large blocks that are never released, without a lock: look-ups
// may come from several threads at once, and each costs one atomic addition.
#include "json/internal/HandleStore.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

const size_t kBlockBytes = 64 * 1024;

struct Block {
  std::atomic<size_t> used;  // bytes handed out; past kBlockBytes once the block is full
  Block* previous;           // every block stays reachable from the newest one
  unsigned char bytes[kBlockBytes];
};

// A handle and the record it points at, side by side.
struct HandleAndRecord {
  SObject_Exp handle;
  NodeRecord record;
};
static_assert(sizeof(HandleAndRecord) == 5 * sizeof(void*), "a handle and its record: 20 bytes a look-up");
static_assert(sizeof(HandleAndRecord) % alignof(void*) == 0 && sizeof(SObject_Exp) % alignof(void*) == 0,
              "every piece keeps the next one aligned");

std::atomic<Block*> gBlock{nullptr};  // the block pieces are carved from; earlier ones are full

// size bytes that stay allocated for the rest of the process; null when memory ran out.
void* carve(size_t size) {
  Block* block = gBlock.load(std::memory_order_acquire);
  for (;;) {
    if (block) {
      size_t at = block->used.fetch_add(size, std::memory_order_relaxed);
      if (at <= kBlockBytes - size) return block->bytes + at;
    }
    Block* fresh = static_cast<Block*>(std::malloc(sizeof(Block)));
    if (!fresh) return nullptr;
    new (&fresh->used) std::atomic<size_t>(size);
    fresh->previous = block;
    if (gBlock.compare_exchange_strong(block, fresh, std::memory_order_acq_rel)) return fresh->bytes;
    std::free(fresh);  // another thread put in a block first: carve from that one
  }
}

}  // namespace

SObject_Exp* newHandle(const NodeRecord& fields) {
  void* piece = carve(sizeof(HandleAndRecord));
  if (!piece) return nullptr;
  HandleAndRecord* made = new (piece) HandleAndRecord{SObject_Exp{nullptr}, fields};
  made->handle.record = &made->record;
  return &made->handle;
}

SObject_Exp* newMissingHandle() {
  void* piece = carve(sizeof(SObject_Exp));
  if (!piece) return nullptr;
  return new (piece) SObject_Exp{const_cast<NodeRecord*>(&kMissingRecord)};
}
