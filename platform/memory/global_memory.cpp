// Global memory blocks in the process-wide handle table.
#include <memory>

#include "../common/handle_table.hpp"
#include "../common/recycled_storage.hpp"
#include "kpl/platform/memory.h"

namespace {

struct Block {
  kpl::platform::StoragePtr<std::byte> data;
  size_t bytes = 0;
  uint32_t flags = 0;
  uint32_t locks = 0;
};

// Multiples of 4 well above small integers, so counts and indexes passed by mistake are never
// mistaken for blocks.
kpl::platform::HandleTable<Block>& blocks() {
  static kpl::platform::HandleTable<Block> table(0x10004, 4);
  return table;
}

}  // namespace

extern "C" {

uint32_t GlobalAlloc(uint32_t flags, size_t bytes) {
  if (bytes > kMaxGlobalBlockBytes) return 0;
  void* raw = kpl::platform::AllocateStorage(bytes, (flags & GMEM_ZEROINIT) != 0);
  if (!raw) return 0;
  return blocks().add(
      Block{kpl::platform::StoragePtr<std::byte>(static_cast<std::byte*>(raw), {bytes}), bytes,
            flags & (GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE), 0});
}

void* GlobalLock(uint32_t handle) {
  return blocks().with(handle, [](Block* b) -> void* {
    if (!b) return nullptr;
    if (b->flags & GMEM_MOVEABLE) ++b->locks;
    return b->data.get();
  });
}

int32_t GlobalUnlock(uint32_t handle) {
  return blocks().with(handle, [](Block* b) -> int32_t {
    if (!b || b->locks == 0) return 0;
    return static_cast<int32_t>(--b->locks);
  });
}

uint32_t GlobalFree(uint32_t handle) {
  return blocks().take(handle) ? 0 : handle;
}

size_t GlobalSize(uint32_t handle) {
  return blocks().with(handle, [](const Block* b) -> size_t { return b ? b->bytes : 0; });
}

uint32_t GlobalFlags(uint32_t handle) {
  return blocks().with(handle, [](const Block* b) -> uint32_t { return b ? b->flags : 0; });
}

uint32_t GlobalLockCount(uint32_t handle) {
  return blocks().with(handle, [](const Block* b) -> uint32_t { return b ? b->locks : 0; });
}

size_t GlobalLiveBlocks(void) {
  return blocks().size();
}
}
