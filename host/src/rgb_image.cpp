#include "rgb_image.hpp"

#include <algorithm>

namespace kplhost {

void Fill(RgbImage& image, int32_t left, int32_t top, int32_t width, int32_t height, Rgb colour) {
  const int32_t endX = std::min(image.width(), left + width);
  const int32_t endY = std::min(image.height(), top + height);
  for (int32_t y = std::max(0, top); y < endY; ++y)
    for (int32_t x = std::max(0, left); x < endX; ++x)
      image.at(x, y) = colour;
}

void Paste(RgbImage& target, const RgbImage& source, int32_t left, int32_t top) {
  const int32_t firstX = std::max(0, -left), firstY = std::max(0, -top);
  const int32_t endX = std::min(source.width(), target.width() - left);
  const int32_t endY = std::min(source.height(), target.height() - top);
  for (int32_t y = firstY; y < endY; ++y)
    std::copy(source.row(y) + firstX, source.row(y) + std::max(firstX, endX),
              target.row(top + y) + left + firstX);
}

}  // namespace kplhost
