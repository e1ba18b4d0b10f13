// Icons of the effects module: a still picture at index 0, an eight-frame animation after it.
#include <cmath>
#include <numbers>

#include "art.hpp"

namespace iconsmith {
namespace {

constexpr Rgb kBlack{0, 0, 0}, kDarkRed{128, 0, 0}, kYellow{255, 255, 0}, kWhite{255, 255, 255},
    kLime{0, 255, 0}, kAqua{0, 255, 255}, kNavy{0, 0, 128};

Canvas fadeFrame(double level) {
  Canvas c;
  c.fill(kDarkRed);
  c.text("Fade", 16, 16, 1, kYellow);
  c.rect(0, 0, 31, 1, kYellow);
  c.rect(0, 30, 31, 31, kYellow);
  c.darken(level);
  return c;
}

void wave(Canvas& c, int x0, int x1, int cy, int amplitude, double phase, Rgb colour) {
  int previous = cy;
  for (int x = x0; x <= x1; ++x) {
    const int y = cy - int(std::lround(amplitude * std::sin(phase + (x - x0) * 0.9)));
    c.line(x - 1, previous, x, y, colour);
    previous = y;
  }
}

Canvas mixFrame(double phase) {
  Canvas c;
  c.fill(kNavy);
  wave(c, 1, 12, 7, 3, phase, kLime);
  wave(c, 1, 12, 24, 3, phase * 1.5, kAqua);
  c.line(13, 8, 18, 15, kWhite);
  c.line(13, 23, 18, 16, kWhite);
  c.line(16, 15, 18, 15, kWhite);
  c.line(16, 16, 18, 16, kWhite);
  wave(c, 20, 30, 16, 5, phase * 1.25, kYellow);
  return c;
}

}  // namespace

std::vector<Icon> PannikelArt() {
  std::vector<Icon> icons;
  icons.push_back({10, fadeFrame(1.0)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(10 + k), fadeFrame((8 - k) / 8.0)});
  icons.push_back({30, mixFrame(0.0)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(30 + k), mixFrame(k * std::numbers::pi / 4)});
  return icons;
}

}  // namespace iconsmith
