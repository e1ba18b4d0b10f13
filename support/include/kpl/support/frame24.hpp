#pragma once
// Row access to 24-bit frames for the effect steps. Inputs are the host's frames: one that is
// not already an uncompressed 24-bit frame is read through a converted copy, so a step never
// reads outside what its input holds.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "kpl/platform/blocks.hpp"

namespace kpl {

class InputFrame24 {
 public:
  explicit InputFrame24(const void* header);
  InputFrame24(const InputFrame24&) = delete;
  InputFrame24& operator=(const InputFrame24&) = delete;

  explicit operator bool() const { return pixels_ != nullptr; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  size_t rowBytes() const { return rowBytes_; }
  // Row y counted from the top of the picture.
  const uint8_t* row(int32_t y) const { return pixels_ + rowBytes_ * size_t(height_ - 1 - y); }
  const uint8_t* header() const { return header_; }

 private:
  OwnedBlock converted_;
  std::optional<BlockLock> lock_;
  const uint8_t* header_ = nullptr;
  const uint8_t* pixels_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t rowBytes_ = 0;
};

enum class FrameContents {
  kBlack,            // every pixel black
  kWrittenByCaller,  // the caller writes every pixel; saves clearing a frame about to be filled
};

// The new 24-bit frame a step produces, locked while it is written. Its row padding is always
// zero, whatever the contents.
class OutputFrame24 {
 public:
  OutputFrame24(int32_t width, int32_t height, FrameContents contents = FrameContents::kBlack);
  OutputFrame24(const OutputFrame24&) = delete;
  OutputFrame24& operator=(const OutputFrame24&) = delete;

  explicit operator bool() const { return pixels_ != nullptr; }
  uint8_t* row(int32_t y) const { return pixels_ + rowBytes_ * size_t(height_ - 1 - y); }
  size_t pixelBytes() const { return rowBytes_ * size_t(height_); }
  void* header() const { return lock_ ? lock_->get() : nullptr; }
  // Hands the frame to the caller; it is no longer freed here.
  uint32_t release() {
    lock_.reset();
    return block_.release();
  }

 private:
  OwnedBlock block_;
  std::optional<BlockLock> lock_;
  uint8_t* pixels_ = nullptr;
  int32_t height_ = 0;
  size_t rowBytes_ = 0;
};

// Applies `rowStep(out, a, bytes)` or `rowStep(out, a, b, bytes)` to every row of the picture,
// where `bytes` covers the pixels of a row (3 x width) and not its padding. Rows are taken in
// the order they lie in memory (the bottom row first), which keeps every stream ascending.
template <class RowStep>
void ForEachRow(OutputFrame24& out, const InputFrame24& a, RowStep&& rowStep) {
  const size_t bytes = size_t(a.width()) * 3;
  for (int32_t y = a.height() - 1; y >= 0; --y)
    rowStep(out.row(y), a.row(y), bytes);
}

template <class RowStep>
void ForEachRow(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b,
                RowStep&& rowStep) {
  const size_t bytes = size_t(a.width()) * 3;
  for (int32_t y = a.height() - 1; y >= 0; --y)
    rowStep(out.row(y), a.row(y), b.row(y), bytes);
}

// True when the second frame covers the first, so pixels of the first's size can be read.
inline bool Covers(const InputFrame24& second, const InputFrame24& first) {
  return second && second.width() >= first.width() && second.height() >= first.height();
}

}  // namespace kpl
