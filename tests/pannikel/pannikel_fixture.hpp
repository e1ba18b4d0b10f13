#pragma once
// Loads pannikel.kpl as a host does and offers small helpers to build inputs and read results.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "module_test_base.hpp"

namespace pannikel_test {

inline constexpr uint32_t kFade = 0, kWipe = 1, kMix = 2, kBlueScreen = 3, kTitle = 4;

class Pannikel : public module_test::ModuleTest<Pannikel> {
 public:
  static constexpr const char* kModuleFile = "pannikel.kpl";
};

using module_test::MakeFrame;

// A result frame read back: its size and colour values, top row first.
struct Picture {
  int32_t width = 0, height = 0;
  uint16_t bitCount = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Reads a 24-bit frame block and frees it: results belong to the host.
inline Picture TakePicture(uint32_t handle) {
  Picture picture;
  {
    kpl::BlockLock lock(handle);
    if (!lock) return picture;
    const auto header = kpl::ReadHeader(lock.get());
    picture = {header.width, header.height, header.bitCount, {}};
    for (int32_t y = 0; y < header.height; ++y)
      for (int32_t x = 0; x < header.width; ++x)
        picture.pixels.push_back(kpl::ReadPixel24(lock.get(), x, y));
  }
  GlobalFree(handle);
  return picture;
}

// The picture a host frame holds.
inline Picture PictureOf(const kpl::OwnedBlock& frame) {
  kpl::OwnedBlock copy(kpl::ToFrame24FromHandle(frame.get()));
  return TakePicture(copy.release());
}

inline uint8_t Red(uint32_t c) {
  return uint8_t(c);
}
inline uint8_t Green(uint32_t c) {
  return uint8_t(c >> 8);
}
inline uint8_t Blue(uint32_t c) {
  return uint8_t(c >> 16);
}

inline kpl::WaveFormat Pcm(uint16_t channels, uint16_t bits) {
  const uint16_t align = uint16_t(channels * bits / 8);
  return {1, channels, 48000, 48000u * align, align, bits};
}

inline std::vector<int16_t> Samples16(uint32_t handle) {
  kpl::BlockLock lock(handle);
  std::vector<int16_t> out(GlobalSize(handle) / 2);
  if (lock && !out.empty()) std::memcpy(out.data(), lock.get(), out.size() * 2);
  return out;
}

inline std::vector<uint8_t> Samples8(uint32_t handle) {
  kpl::BlockLock lock(handle);
  std::vector<uint8_t> out(GlobalSize(handle));
  if (lock && !out.empty()) std::memcpy(out.data(), lock.get(), out.size());
  return out;
}

}  // namespace pannikel_test
