#pragma once
// Pictures as the modules take them: packed bottom-up 24-bit frames in global memory, and
// the way back from a frame a module hands out.
#include <cstdint>
#include <span>

#include "kpl/platform/blocks.hpp"
#include "rgb_image.hpp"

namespace kplhost {

// A 24-bit frame holding a picture, locked for as long as it lives so its address can be
// handed to piLocalSetData step after step.
class HostFrame {
 public:
  explicit HostFrame(const RgbImage& image);  // throws Failure when the frame cannot exist
  HostFrame(const HostFrame&) = delete;
  HostFrame& operator=(const HostFrame&) = delete;
  ~HostFrame();

  void* address() const { return address_; }
  int32_t bytes() const { return bytes_; }

 private:
  kpl::OwnedBlock block_;
  void* address_ = nullptr;
  int32_t bytes_ = 0;
};

// Reads a 24-bit frame a module returned, trusting nothing in its header beyond `frame`.
// Throws Failure for anything that is not a complete uncompressed 24-bit frame.
RgbImage ImageFromFrame(std::span<const uint8_t> frame);

}  // namespace kplhost
