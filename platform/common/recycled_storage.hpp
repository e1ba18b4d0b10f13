#pragma once
// Storage for memory blocks and bitmap rows. A few recently freed large blocks are kept and
// handed to the next request of the same size: pictures made and dropped one after another
// then reuse pages already mapped instead of faulting fresh ones in each time (the C library
// returns large freed blocks to the system at once).
#include <cstddef>
#include <memory>

namespace kpl::platform {

// Blocks smaller than this always come from and go back to the C library.
inline constexpr size_t kRecycledMinBytes = size_t{1} << 20;
// At most this many blocks, of this many bytes together, are kept.
inline constexpr size_t kRecycledMaxBlocks = 4;
inline constexpr size_t kRecycledMaxBytes = size_t{64} << 20;

// `bytes` (at least 1) of storage, all zero when `zeroed`; null when there is no memory.
void* AllocateStorage(size_t bytes, bool zeroed);
// Gives back storage from AllocateStorage of the same size.
void ReleaseStorage(void* storage, size_t bytes) noexcept;
// The number of blocks kept now.
size_t RecycledBlocks();

struct StorageDeleter {
  size_t bytes = 0;
  void operator()(void* storage) const noexcept { ReleaseStorage(storage, bytes); }
};
template <typename T>
using StoragePtr = std::unique_ptr<T, StorageDeleter>;

}  // namespace kpl::platform
