#pragma once
// Address arithmetic and single-call reads and writes for blocks of any size.
#include <cstddef>
#include <cstdint>

namespace kpl {

inline void* HugeOffset(void* address, int64_t offset) {
  return static_cast<uint8_t*>(address) + offset;
}
inline const void* HugeOffset(const void* address, int64_t offset) {
  return static_cast<const uint8_t*>(address) + offset;
}

// One platform read or write on an open file; the byte count done, or -1 on failure.
int64_t HugeRead(int file, void* buffer, size_t bytes);
int64_t HugeWrite(int file, const void* buffer, size_t bytes);

}  // namespace kpl
