#pragma once
// Little-endian fields of RIFF structures, read from and written to byte buffers.
#include <cstdint>
#include <cstring>

namespace kpl::avi {

inline uint16_t le16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t le64(const uint8_t* p) {
  return le32(p) | uint64_t(le32(p + 4)) << 32;
}

inline void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

inline constexpr uint32_t fourcc(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
         uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// Chunks are padded to an even size.
inline constexpr uint64_t padded(uint64_t size) {
  return size + (size & 1);
}

}  // namespace kpl::avi
