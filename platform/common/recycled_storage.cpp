#include "recycled_storage.hpp"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <type_traits>

namespace kpl::platform {
namespace {

struct Kept {
  void* storage = nullptr;
  size_t bytes = 0;
};

// Oldest first. Nothing to destroy, so blocks freed while the process exits still find it.
struct Pool {
  std::mutex lock;
  Kept kept[kRecycledMaxBlocks];
  size_t count = 0;
  size_t bytes = 0;
};

static_assert(std::is_trivially_destructible_v<Pool>);

Pool& pool() {
  static Pool p;
  return p;
}

void* takeKept(size_t bytes) {
  Pool& p = pool();
  std::lock_guard guard(p.lock);
  for (size_t i = p.count; i-- > 0;)  // the most recent fit is the likeliest still in cache
    if (p.kept[i].bytes == bytes) {
      void* storage = p.kept[i].storage;
      std::memmove(p.kept + i, p.kept + i + 1, (p.count - i - 1) * sizeof(Kept));
      --p.count;
      p.bytes -= bytes;
      return storage;
    }
  return nullptr;
}

}  // namespace

void* AllocateStorage(size_t bytes, bool zeroed) {
  if (bytes == 0) bytes = 1;
  // Zeroed storage always comes fresh: calloc hands out zero pages without touching them.
  if (zeroed) return std::calloc(1, bytes);
  if (bytes >= kRecycledMinBytes)
    if (void* storage = takeKept(bytes)) return storage;
  return std::malloc(bytes);
}

void ReleaseStorage(void* storage, size_t bytes) noexcept {
  if (!storage) return;
  if (bytes == 0) bytes = 1;
  if (bytes < kRecycledMinBytes || bytes > kRecycledMaxBytes) {
    std::free(storage);
    return;
  }
  Kept dropped[kRecycledMaxBlocks];
  size_t droppedCount = 0;
  {
    Pool& p = pool();
    std::lock_guard guard(p.lock);
    // The oldest make room for the newest.
    while (p.count == kRecycledMaxBlocks || p.bytes + bytes > kRecycledMaxBytes) {
      dropped[droppedCount++] = p.kept[0];
      p.bytes -= p.kept[0].bytes;
      std::memmove(p.kept, p.kept + 1, (p.count - 1) * sizeof(Kept));
      --p.count;
    }
    p.kept[p.count++] = Kept{storage, bytes};
    p.bytes += bytes;
  }
  for (size_t i = 0; i < droppedCount; ++i)
    std::free(dropped[i].storage);
}

size_t RecycledBlocks() {
  Pool& p = pool();
  std::lock_guard guard(p.lock);
  return p.count;
}

}  // namespace kpl::platform
