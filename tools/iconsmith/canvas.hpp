#pragma once
// A 32 x 32 true-colour drawing surface for icon art, reduced to the 16-colour icon palette
// with ordered dithering when it is written out.
#include <array>
#include <cstdint>
#include <string_view>

namespace iconsmith {

struct Rgb {
  int r, g, b;
};

inline constexpr int kSize = 32;

class Canvas {
 public:
  void fill(Rgb c);
  void rect(int x0, int y0, int x1, int y1, Rgb c);  // inclusive corners, clipped
  void pixel(int x, int y, Rgb c);
  Rgb at(int x, int y) const { return pixels_[y][x]; }
  // Text in a 5 x 7 font, `scale` pixels per font pixel, centred on (cx, cy).
  void text(std::string_view s, int cx, int cy, int scale, Rgb c);
  void line(int x0, int y0, int x1, int y1, Rgb c);
  // Multiplies every colour by `factor` (0 black .. 1 unchanged).
  void darken(double factor);
  // Palette indexes, top row first.
  std::array<uint8_t, kSize * kSize> quantise() const;

 private:
  std::array<std::array<Rgb, kSize>, kSize> pixels_{};
};

}  // namespace iconsmith
