#include "kpl/support/frame24.hpp"

#include <cstring>

#include "kpl/support/dib_lib.hpp"

namespace kpl {

InputFrame24::InputFrame24(const void* header) {
  if (!header) return;
  if (IsFrame24(header)) {
    header_ = static_cast<const uint8_t*>(header);
  } else {
    converted_ = OwnedBlock(ToFrame24(header));
    if (!converted_) return;
    lock_.emplace(converted_.get());
    header_ = lock_->as<const uint8_t>();
  }
  const BitmapInfoHeader h = ReadHeader(header_);
  width_ = h.width;
  height_ = h.height;
  rowBytes_ = size_t(RowBytes24(h.width));
  pixels_ = header_ + h.size;
}

OutputFrame24::OutputFrame24(int32_t width, int32_t height, FrameContents contents)
    : block_(contents == FrameContents::kBlack ? NewFrame24(width, height)
                                               : NewFrame24Uncleared(width, height)) {
  if (!block_) return;
  lock_.emplace(block_.get());
  height_ = height;
  rowBytes_ = size_t(RowBytes24(width));
  pixels_ = lock_->as<uint8_t>() + ReadHeader(lock_->get()).size;
  if (contents == FrameContents::kWrittenByCaller) {
    const size_t used = size_t(width) * 3;
    if (used < rowBytes_)
      for (int32_t y = 0; y < height; ++y)
        std::memset(row(y) + used, 0, rowBytes_ - used);
  }
}

}  // namespace kpl
