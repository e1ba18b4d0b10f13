#pragma once
// A 24-bit frame in the host's memory, read in place: its rows, once its header and the
// bytes the host vouches for are found to cover them.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "kpl/support/dib_lib.hpp"

namespace kpl::rastunes {

struct Frame24View {
  int32_t width;
  int32_t height;
  size_t rowBytes;
  const uint8_t* bottomRow;  // rows lie bottom-up in memory
  const uint8_t* rowFromBottom(size_t r) const { return bottomRow + r * rowBytes; }
};

inline std::optional<Frame24View> ViewFrame24(const void* frame24, uint64_t bytes) {
  if (!frame24 || !IsFrame24(frame24)) return std::nullopt;
  const BitmapInfoHeader h = ReadHeader(frame24);
  const uint64_t rowBytes = RowBytes24(h.width);
  if (bytes < uint64_t(h.size) + rowBytes * uint64_t(h.height)) return std::nullopt;
  return Frame24View{h.width, h.height, size_t(rowBytes),
                     static_cast<const uint8_t*>(frame24) + h.size};
}

}  // namespace kpl::rastunes
