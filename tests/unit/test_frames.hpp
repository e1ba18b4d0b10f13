#pragma once
// Frames of any depth built byte by byte in ordinary memory, laid out by the frame rules
// (40-byte little-endian header, colour table, bottom-up rows padded to 4 bytes), so that
// the code under test is checked against an independent picture of the layout.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kpl_test {

// Colour value: red in bits 0-7, green 8-15, blue 16-23.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | g << 8 | b << 16;
}

// Bytes that no conversion or writer should ever touch start out as this marker.
inline constexpr uint8_t kMarker = 0xEE;

inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t Get16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct HeaderFields {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPels = 0;
  int32_t yPels = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

// Writes the 40 header bytes at their documented offsets.
inline void WriteHeader(uint8_t* p, const HeaderFields& h) {
  Put32(p + 0, h.size);
  Put32(p + 4, uint32_t(h.width));
  Put32(p + 8, uint32_t(h.height));
  Put16(p + 12, h.planes);
  Put16(p + 14, h.bits);
  Put32(p + 16, h.compression);
  Put32(p + 20, h.sizeImage);
  Put32(p + 24, uint32_t(h.xPels));
  Put32(p + 28, uint32_t(h.yPels));
  Put32(p + 32, h.clrUsed);
  Put32(p + 36, h.clrImportant);
}

inline HeaderFields ParseHeader(const uint8_t* p) {
  HeaderFields h;
  h.size = Get32(p + 0);
  h.width = int32_t(Get32(p + 4));
  h.height = int32_t(Get32(p + 8));
  h.planes = Get16(p + 12);
  h.bits = Get16(p + 14);
  h.compression = Get32(p + 16);
  h.sizeImage = Get32(p + 20);
  h.xPels = int32_t(Get32(p + 24));
  h.yPels = int32_t(Get32(p + 28));
  h.clrUsed = Get32(p + 32);
  h.clrImportant = Get32(p + 36);
  return h;
}

// A frame in a vector: every byte after the header starts as kMarker.
struct TestFrame {
  std::vector<uint8_t> bytes;
  HeaderFields h;
  size_t tableEntries = 0;
  size_t stride = 0;  // row bytes including padding

  void* header() { return bytes.data(); }
  uint8_t* pixels() { return bytes.data() + h.size + 4 * tableEntries; }
  // Row y counted from the top of the picture (stored at index height - 1 - y).
  uint8_t* rowFromTop(int32_t y) { return pixels() + stride * size_t(h.height - 1 - y); }
  void SetEntry(size_t index, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* e = bytes.data() + h.size + 4 * index;  // blue, green, red, reserved
    e[0] = b;
    e[1] = g;
    e[2] = r;
    e[3] = 0;
  }
  // Pixel (x, y) of a 24-bit frame: blue, green, red bytes.
  uint8_t* Pixel24(int32_t x, int32_t y) { return rowFromTop(y) + 3 * size_t(x); }
};

// Builds a frame whose buffer holds exactly what its header promises. `fields.size` may
// exceed 40; the extra header bytes are zero.
inline TestFrame MakeFrame(HeaderFields fields) {
  TestFrame f;
  f.h = fields;
  const uint32_t bits = fields.bits;
  if (bits <= 8) f.tableEntries = fields.clrUsed ? fields.clrUsed : (size_t{1} << bits);
  const bool known = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  f.stride = known ? (size_t(fields.width) * bits + 31) / 32 * 4 : size_t(fields.width);
  const size_t pixelBytes = f.stride * size_t(fields.height);
  f.bytes.assign(fields.size, 0);
  f.bytes.resize(fields.size + 4 * f.tableEntries + pixelBytes, kMarker);
  WriteHeader(f.bytes.data(), fields);
  return f;
}

inline TestFrame MakeFrame(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed = 0) {
  HeaderFields h;
  h.width = width;
  h.height = height;
  h.bits = bits;
  h.clrUsed = clrUsed;
  return MakeFrame(h);
}

}  // namespace kpl_test
