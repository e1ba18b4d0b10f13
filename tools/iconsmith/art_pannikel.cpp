// Icons of the effects module: a still picture at index 0, an eight-frame animation after it.
#include <cmath>
#include <numbers>

#include "art.hpp"

namespace iconsmith {
namespace {

constexpr Rgb kBlack{0, 0, 0}, kDarkRed{128, 0, 0}, kYellow{255, 255, 0}, kWhite{255, 255, 255},
    kLime{0, 255, 0}, kAqua{0, 255, 255}, kNavy{0, 0, 128}, kTeal{0, 128, 128},
    kSilver{192, 192, 192}, kGrey{128, 128, 128};

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

// "In" on dark red, with the columns left of `edge` already showing "Out" on dark blue.
Canvas wipeFrame(int edge, bool markEdge) {
  Canvas in, out;
  in.fill(kDarkRed);
  in.text("In", 16, 16, 2, kYellow);
  out.fill(kNavy);
  out.text("Out", 16, 16, 1, kWhite);
  Canvas c = in;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < edge && x < kSize; ++x)
      c.pixel(x, y, out.at(x, y));
  if (markEdge) c.line(edge, 0, edge, kSize - 1, kYellow);
  return c;
}

// A grey diamond on teal, turned by `angle` about its vertical axis: the front face is lit on
// its left half, and the halves swap once the back comes round.
Canvas diamondFrame(double angle) {
  Canvas c;
  c.fill(kTeal);
  constexpr int kCentre = 16, kHalfHeight = 13, kHalfWidth = 11;
  const double facing = std::cos(angle);
  const int half = int(std::lround(kHalfWidth * std::abs(facing)));
  const Rgb lit = facing >= 0 ? kSilver : kGrey, shaded = facing >= 0 ? kGrey : kSilver;
  for (int dy = -kHalfHeight; dy <= kHalfHeight; ++dy) {
    const int reach = int(std::lround(half * (1.0 - std::abs(dy) / double(kHalfHeight))));
    c.rect(kCentre - reach, kCentre + dy, kCentre - 1, kCentre + dy, lit);
    c.rect(kCentre, kCentre + dy, kCentre + reach - 1, kCentre + dy, shaded);
  }
  c.line(kCentre, kCentre - kHalfHeight, kCentre, kCentre + kHalfHeight, kWhite);  // the axis
  return c;
}

}  // namespace

std::vector<Icon> PannikelArt() {
  std::vector<Icon> icons;
  icons.push_back({10, fadeFrame(1.0)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(10 + k), fadeFrame((8 - k) / 8.0)});
  icons.push_back({20, wipeFrame(kSize / 2, true)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(20 + k), wipeFrame(kSize * k / 8, false)});
  icons.push_back({30, mixFrame(0.0)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(30 + k), mixFrame(k * std::numbers::pi / 4)});
  // A whole turn over the eight frames; the still picture faces the viewer.
  icons.push_back({40, diamondFrame(0.0)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({uint32_t(40 + k), diamondFrame((k - 1) * std::numbers::pi / 4)});
  return icons;
}

}  // namespace iconsmith
