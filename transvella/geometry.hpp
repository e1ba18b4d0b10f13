#pragma once
// The pixel mapping of each two-clip transition at progress p, drawn into a new frame the size
// of the first picture. Pictures: a (outgoing) and b (incoming, at least as large as a).
// Positions count from the top-left pixel; X = width - 1, Y = height - 1.
#include <cstdint>

#include "kpl/support/frame24.hpp"

namespace kpl::transvella {

// DEGREE: the direction of movement, counter-clockwise from the right (0, 90, 180, 270, and
// for Slide also 45, 135, 225, 315). Any other value changes nothing.

// The incoming picture pushes the outgoing one out.
struct PushGeometry {
  int32_t degree;
  bool changes(int32_t width, int32_t height) const;
  void draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, double p) const;
};

// One picture slides over the other: the incoming one in (reverse 0) or the outgoing one away
// (reverse 1).
struct SlideGeometry {
  int32_t degree;
  bool reverse;
  bool changes(int32_t width, int32_t height) const;
  void draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, double p) const;
};

// Two halves moving like stage curtains: horizontally (DEGREE 0) or vertically (90); the
// incoming halves close in (reverse 1) or the outgoing halves open (reverse 0).
struct CurtainGeometry {
  int32_t degree;
  bool reverse;
  bool changes(int32_t width, int32_t height) const;
  void draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, double p) const;
};

// A grid of `columns` x `rows` tiles switching to the incoming picture one by one along a
// serpentine path that DEGREE starts (0 left column, 90 bottom row, 180 right column, 270 top
// row); Chessboard takes first the tiles of one chessboard colour, then the other.
struct TileGeometry {
  enum class Order { kSnake, kChessboard };
  Order order;
  int32_t degree;
  int32_t columns;
  int32_t rows;
  // False when the tiles would be empty (more tiles than pixels, or no tiles).
  bool changes(int32_t width, int32_t height) const;
  void draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, double p) const;
};

// Trunc(v) of a value formed in extended precision.
inline int32_t Trunc(long double v) {
  return static_cast<int32_t>(v);
}

}  // namespace kpl::transvella
