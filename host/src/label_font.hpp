#pragma once
// A small built-in 5x7 pixel font for labelling contact sheets without a font library.
// Letters are drawn in capitals; characters it lacks are drawn as '?'.
#include <cstdint>
#include <string_view>

#include "rgb_image.hpp"

namespace kplhost {

struct LabelStyle {
  int32_t scale = 2;  // pixels per font pixel
  Rgb colour{235, 235, 235};
};

int32_t LabelWidth(std::string_view text, const LabelStyle& style);
int32_t LabelHeight(const LabelStyle& style);
// Draws `text` with its top left corner at (left, top), clipped to the image.
void DrawLabel(RgbImage& image, std::string_view text, int32_t left, int32_t top,
               const LabelStyle& style);

}  // namespace kplhost
