// Icons of the transitions module, drawn by running the module's own drawing code on two small
// clips: the first a teal field bearing In, the second a dark blue field bearing Out. Index 0 is
// a still (a transition half way, a fade at its start); indexes 1 to 8 animate it from start to
// end.
#include <functional>

#include "art.hpp"
#include "geometry.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "log_fade.hpp"
#include "transition.hpp"

namespace iconsmith {
namespace {

using kpl::transvella::TileGeometry;

constexpr Rgb kTeal{0, 128, 128}, kAqua{0, 255, 255}, kNavy{0, 0, 128}, kBlue{0, 0, 255},
    kWhite{255, 255, 255}, kYellow{255, 255, 0};

Canvas clipIn() {
  Canvas c;
  c.fill(kAqua);
  c.rect(2, 2, kSize - 3, kSize - 3, kTeal);
  c.text("In", 16, 16, 2, kWhite);
  return c;
}

Canvas clipOut() {
  Canvas c;
  c.fill(kBlue);
  c.rect(2, 2, kSize - 3, kSize - 3, kNavy);
  c.text("Out", 16, 16, 1, kYellow);
  return c;
}

// A canvas as a 24-bit frame in global memory, for the drawing code to read.
kpl::OwnedBlock frameOf(const Canvas& canvas) {
  kpl::OwnedBlock frame(kpl::NewFrame24(kSize, kSize));
  kpl::BlockLock lock(frame.get());
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const Rgb p = canvas.at(x, y);
      kpl::WritePixel24(lock.get(), x, y,
                        kpl::ColourValue(uint8_t(p.r), uint8_t(p.g), uint8_t(p.b)));
    }
  return frame;
}

using Drawing = std::function<void(kpl::OutputFrame24&, const kpl::InputFrame24& a,
                                   const kpl::InputFrame24& b, double progress)>;

// Runs a drawing at `progress` on the two clips and reads the picture back.
Canvas run(const Drawing& drawing, double progress) {
  const kpl::OwnedBlock in = frameOf(clipIn()), out = frameOf(clipOut());
  const kpl::BlockLock inLock(in.get()), outLock(out.get());
  const kpl::InputFrame24 a(inLock.get()), b(outLock.get());
  kpl::OutputFrame24 picture(kSize, kSize);
  drawing(picture, a, b, progress);
  Canvas c;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const uint32_t v = kpl::ReadPixel24(picture.header(), x, y);
      c.pixel(x, y, {int(v & 255), int((v >> 8) & 255), int((v >> 16) & 255)});
    }
  return c;
}

// Index 0 at `still`, then eight steps from 0 to 1.
void addSet(std::vector<Icon>& icons, uint32_t firstId, const Drawing& drawing, double still) {
  icons.push_back({firstId, run(drawing, still)});
  for (int k = 1; k <= 8; ++k)
    icons.push_back({firstId + uint32_t(k), run(drawing, (k - 1) / 7.0)});
}

template <class Geometry>
Drawing transition(Geometry geometry) {
  return [geometry](kpl::OutputFrame24& out, const kpl::InputFrame24& a, const kpl::InputFrame24& b,
                    double p) {
    if (p > 0 && geometry.changes(a.width(), a.height()))
      geometry.draw(out, a, b, p);
    else
      kpl::CopyRows(out, a);
  };
}

Drawing fade(uint8_t kind) {
  return [kind](kpl::OutputFrame24& out, const kpl::InputFrame24& a, const kpl::InputFrame24& b,
                double x) { kpl::transvella::DrawLogFade(out, a, &b, kind, x); };
}

}  // namespace

std::vector<Icon> TransvellaArt() {
  std::vector<Icon> icons;
  for (uint8_t kind = 0; kind < kpl::transvella::kLogFadeKinds; ++kind)
    addSet(icons, 50 + 10 * kind, fade(kind), 0.0);
  addSet(icons, 1, transition(kpl::transvella::PushGeometry{180}), 0.5);
  addSet(icons, 1201, transition(kpl::transvella::SlideGeometry{45, false}), 0.5);
  addSet(icons, 1801, transition(kpl::transvella::CurtainGeometry{0, false}), 0.5);
  addSet(icons, 3401, transition(TileGeometry{TileGeometry::Order::kChessboard, 270, 4, 4}), 0.5);
  addSet(icons, 3501, transition(TileGeometry{TileGeometry::Order::kSnake, 270, 4, 4}), 0.5);
  return icons;
}

}  // namespace iconsmith
