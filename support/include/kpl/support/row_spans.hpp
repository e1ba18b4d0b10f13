#pragma once
// Output frames composed row by row from runs of other frames' rows: the form every moving
// transition takes (a picture shifted by an offset beside another one). Each output pixel is
// written by plain copies of whole runs, once where runs do not overlap, so a step costs
// about one frame copy.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "kpl/support/frame24.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kpl {

// Output pixels x0 to x1 (both included) of one row, taken from row `fromY` of `from`,
// starting at its column `fromX`.
struct RowSpan {
  const InputFrame24* from;
  int32_t fromY;
  int32_t fromX;
  int32_t x0;
  int32_t x1;
};

// The runs of one output row in painting order: a later run wins where runs overlap. Pixels
// that no run covers keep the base picture's pixel at the same place.
class RowPlan {
 public:
  void add(const InputFrame24& from, int32_t fromY, int32_t fromX, int32_t x0, int32_t x1) {
    if (count_ == spans_.size()) throw std::logic_error("too many runs in one row");
    spans_[count_++] = {&from, fromY, fromX, x0, x1};
  }
  // The whole row `fromY` of `from` at the same columns.
  void addRow(const InputFrame24& from, int32_t fromY) { add(from, fromY, 0, 0, INT32_MAX - 1); }

  size_t size() const { return count_; }
  RowSpan& operator[](size_t i) { return spans_[i]; }

 private:
  std::array<RowSpan, 6> spans_{};
  size_t count_ = 0;
};

namespace row_spans_detail {
// A copy of one run. Runs start anywhere in a row, so source and target are seldom aligned
// alike; the library copy slows down badly for such pairs at these sizes, plain unaligned
// sixteen-byte moves do not. Pairs aligned alike keep the library copy.
inline void copyRun(uint8_t* __restrict to, const uint8_t* __restrict from, size_t bytes) {
  if ((reinterpret_cast<uintptr_t>(to) - reinterpret_cast<uintptr_t>(from)) % 64 == 0)
    return void(std::memcpy(to, from, bytes));
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 64 <= bytes; i += 64) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 32));
    const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 48));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), v0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), v1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 32), v2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 48), v3);
  }
#endif
  std::memcpy(to + i, from + i, bytes - i);
}

// Clips a run to the output row and to its source; false when nothing of it is left.
inline bool clip(RowSpan& s, int32_t width) {
  const InputFrame24& from = *s.from;
  if (s.fromY < 0 || s.fromY >= from.height() || s.x0 > s.x1) return false;
  int64_t x0 = s.x0, x1 = s.x1, fromX = s.fromX;
  const int64_t startCut = std::max<int64_t>({0, -x0, -fromX});
  x0 += startCut;
  fromX += startCut;
  x1 = std::min<int64_t>({x1, int64_t(width) - 1, x0 + (from.width() - 1 - fromX)});
  if (x0 > x1) return false;
  s = {s.from, s.fromY, int32_t(fromX), int32_t(x0), int32_t(x1)};
  return true;
}
// Calls gap(x0, x1) for every stretch of columns 0 to width - 1 that runs first .. end - 1
// leave uncovered, left to right.
template <class Gap>
void forEachGap(RowPlan& plan, size_t first, size_t end, int32_t width, Gap&& gap) {
  int64_t x = 0;  // columns before x are covered or handed to gap()
  while (x < width) {
    bool grew = false;
    int64_t nextStart = width;  // the first run that starts beyond x
    for (size_t i = first; i < end; ++i) {
      if (plan[i].x0 <= x && plan[i].x1 >= x) {
        x = int64_t(plan[i].x1) + 1;
        grew = true;
      } else if (plan[i].x0 > x) {
        nextStart = std::min<int64_t>(nextStart, plan[i].x0);
      }
    }
    if (grew) continue;
    gap(int32_t(x), int32_t(nextStart - 1));
    x = nextStart;
  }
}
}  // namespace row_spans_detail

// Writes every row y of `out` (the size of `base`) from the runs `planRow(y, plan)` lists.
template <class PlanRow>
void ComposeRows(OutputFrame24& out, const InputFrame24& base, PlanRow&& planRow) {
  const int32_t width = base.width();
  for (int32_t y = base.height() - 1; y >= 0; --y) {  // in memory order
    RowPlan plan;
    planRow(y, plan);
    // Runs before the last one that covers the whole row would be painted over: skip them.
    size_t first = 0, kept = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
      RowSpan s = plan[i];
      if (!row_spans_detail::clip(s, width)) continue;
      if (s.x0 == 0 && s.x1 == width - 1) first = kept;
      plan[kept++] = s;
    }
    uint8_t* row = out.row(y);
    const uint8_t* baseRow = base.row(y);
    auto copyBase = [&](int64_t x0, int64_t x1) {
      if (x0 <= x1)
        std::memcpy(row + size_t(x0) * 3, baseRow + size_t(x0) * 3, size_t(x1 - x0 + 1) * 3);
    };
    auto copy = [&](const RowSpan& s) {
      row_spans_detail::copyRun(row + size_t(s.x0) * 3, s.from->row(s.fromY) + size_t(s.fromX) * 3,
                                size_t(s.x1 - s.x0 + 1) * 3);
    };
    // Runs side by side from left to right: one sweep, every pixel written once, in order.
    bool sideBySide = true;
    for (size_t i = first + 1; i < kept && sideBySide; ++i)
      sideBySide = plan[i].x0 > plan[i - 1].x1;
    if (sideBySide) {
      int64_t x = 0;
      for (size_t i = first; i < kept; ++i) {
        copyBase(x, int64_t(plan[i].x0) - 1);
        copy(plan[i]);
        x = int64_t(plan[i].x1) + 1;
      }
      copyBase(x, width - 1);
      continue;
    }
    // Otherwise the base row where the runs leave gaps, then the runs in painting order.
    row_spans_detail::forEachGap(plan, first, kept, width,
                                 [&](int32_t x0, int32_t x1) { copyBase(x0, x1); });
    for (size_t i = first; i < kept; ++i)
      copy(plan[i]);
  }
}

// out = base, row for row.
inline void CopyRows(OutputFrame24& out, const InputFrame24& base) {
  ForEachRow(out, base, [](uint8_t* o, const uint8_t* a, size_t n) { std::memcpy(o, a, n); });
}

}  // namespace kpl
