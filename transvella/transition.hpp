#pragma once
// What the five two-clip transitions share: their instance blocks, the progress of a step and
// the step itself around each transition's drawing.
#include <cstdint>

#include "kpl/support/effect_calls.hpp"
#include "kpl/support/frame24.hpp"
#include "kpl/support/row_spans.hpp"

namespace kpl::transvella {

inline constexpr uint32_t kTransitionTypeFlags = 0x10032A01;
inline constexpr uint32_t kTransitionInstanceBits = 0x10032A00;

// Push.
struct DegreeBlock {
  uint32_t flags;
  int32_t length;
  int32_t degree;
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

// Slide and Curtain Slide.
struct DegreeReverseBlock {
  uint32_t flags;
  int32_t length;
  int32_t degree;
  uint8_t reverse;  // 0 or 1
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

// Snake Wipe and Chessboard.
struct TileBlock {
  uint32_t flags;
  int32_t length;
  int32_t degree;
  int32_t columns;  // tiles across
  int32_t rows;     // tiles down
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

// p of a step from the length and the steps done: 1 for a length of 1, otherwise
// counter / (length - 1) held at most 1. A length of 0 or below gives p <= 0.
double TransitionProgress(int32_t length, int32_t counter);

// One step: the result is the first picture, drawn over by `geometry` when p > 0 and the
// geometry changes anything for pictures of that size. False when an input cannot be read:
// a first input that is no frame, or (when it is needed) a second frame smaller than the first.
// Geometry: bool changes(width, height) const;
//           void draw(OutputFrame24&, const InputFrame24& a, const InputFrame24& b, double p)
//           const.
template <class Block, class Geometry>
bool TransitionStep(Block& block, const Geometry& geometry) {
  const double p = TransitionProgress(block.length, block.counter);
  block.counter = Advance(block.counter, 1);
  const InputFrame24 first(block.inputs.first);
  if (!first) return false;
  OutputFrame24 out(first.width(), first.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;
  if (p > 0 && geometry.changes(first.width(), first.height())) {
    const InputFrame24 second(block.inputs.second);
    if (!Covers(second, first)) return false;
    geometry.draw(out, first, second, p);
  } else {
    CopyRows(out, first);
  }
  block.result = out.release();
  return true;
}

}  // namespace kpl::transvella
