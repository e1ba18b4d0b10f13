#pragma once
// A picture as the host's files hold it: 8-bit red, green, blue per pixel, top row first.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kplhost {

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

class RgbImage {
 public:
  RgbImage() = default;
  RgbImage(int32_t width, int32_t height, Rgb fill = {})
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill) {}

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  Rgb& at(int32_t x, int32_t y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
  const Rgb& at(int32_t x, int32_t y) const {
    return pixels_[size_t(y) * size_t(width_) + size_t(x)];
  }
  Rgb* row(int32_t y) { return &at(0, y); }
  const Rgb* row(int32_t y) const { return &at(0, y); }
  bool operator==(const RgbImage&) const = default;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<Rgb> pixels_;
};
static_assert(sizeof(Rgb) == 3, "rows are handed to the PNG library as packed RGB bytes");

// Fills a rectangle, clipped to the image.
void Fill(RgbImage& image, int32_t left, int32_t top, int32_t width, int32_t height, Rgb colour);

// Copies `source` into `target` with its top left corner at (left, top), clipped to the target.
void Paste(RgbImage& target, const RgbImage& source, int32_t left, int32_t top);

}  // namespace kplhost
