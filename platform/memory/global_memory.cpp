// Process-wide table of global memory blocks. Handles are never reused while the counter has
// not wrapped, so a stale handle is detected instead of reaching another block.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "kpl/platform/memory.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

struct Block {
  std::unique_ptr<std::byte, FreeDeleter> data;
  size_t bytes = 0;
  uint32_t flags = 0;
  uint32_t locks = 0;
};

class HandleTable {
 public:
  uint32_t allocate(uint32_t flags, size_t bytes) {
    if (bytes > kMaxGlobalBlockBytes) return 0;
    // calloc hands out fresh zero pages without touching them, which keeps big frames cheap.
    const size_t storage = bytes == 0 ? 1 : bytes;
    void* raw = (flags & GMEM_ZEROINIT) ? std::calloc(1, storage) : std::malloc(storage);
    if (!raw) return 0;
    std::lock_guard guard(mutex_);
    const uint32_t handle = nextFreeHandle();
    blocks_.emplace(
        handle, Block{std::unique_ptr<std::byte, FreeDeleter>(static_cast<std::byte*>(raw)), bytes,
                      flags & (GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE), 0});
    return handle;
  }

  void* lock(uint32_t handle) {
    std::lock_guard guard(mutex_);
    Block* block = find(handle);
    if (!block) return nullptr;
    if (block->flags & GMEM_MOVEABLE) ++block->locks;
    return block->data.get();
  }

  int32_t unlock(uint32_t handle) {
    std::lock_guard guard(mutex_);
    Block* block = find(handle);
    if (!block || block->locks == 0) return 0;
    return static_cast<int32_t>(--block->locks);
  }

  bool free(uint32_t handle) {
    std::unique_ptr<std::byte, FreeDeleter> data;  // released outside the lock
    std::lock_guard guard(mutex_);
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) return false;
    data = std::move(it->second.data);
    blocks_.erase(it);
    return true;
  }

  template <class F>
  auto inspect(uint32_t handle, F&& read) {
    std::lock_guard guard(mutex_);
    return read(find(handle));
  }

  size_t live() {
    std::lock_guard guard(mutex_);
    return blocks_.size();
  }

 private:
  Block* find(uint32_t handle) {
    auto it = blocks_.find(handle);
    return it == blocks_.end() ? nullptr : &it->second;
  }

  uint32_t nextFreeHandle() {
    // Multiples of 4 starting well above small integers, so counts and indexes passed by
    // mistake are never mistaken for blocks.
    do {
      next_ += 4;
      if (next_ < kFirstHandle) next_ = kFirstHandle;
    } while (blocks_.count(next_));
    return next_;
  }

  static constexpr uint32_t kFirstHandle = 0x10004;
  std::mutex mutex_;
  std::unordered_map<uint32_t, Block> blocks_;
  uint32_t next_ = kFirstHandle - 4;
};

HandleTable& table() {
  static HandleTable instance;
  return instance;
}

}  // namespace

extern "C" {

uint32_t GlobalAlloc(uint32_t flags, size_t bytes) {
  return table().allocate(flags, bytes);
}

void* GlobalLock(uint32_t handle) {
  return table().lock(handle);
}

int32_t GlobalUnlock(uint32_t handle) {
  return table().unlock(handle);
}

uint32_t GlobalFree(uint32_t handle) {
  return table().free(handle) ? 0 : handle;
}

size_t GlobalSize(uint32_t handle) {
  return table().inspect(handle, [](const Block* b) -> size_t { return b ? b->bytes : 0; });
}

uint32_t GlobalFlags(uint32_t handle) {
  return table().inspect(handle, [](const Block* b) -> uint32_t { return b ? b->flags : 0; });
}

uint32_t GlobalLockCount(uint32_t handle) {
  return table().inspect(handle, [](const Block* b) -> uint32_t { return b ? b->locks : 0; });
}

size_t GlobalLiveBlocks(void) {
  return table().live();
}
}
