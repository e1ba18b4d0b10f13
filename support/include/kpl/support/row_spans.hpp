#pragma once
// Output frames composed row by row from runs of other frames' rows: the form every moving
// transition takes (a picture shifted by an offset beside another one). Each output row is
// written once per run with plain copies, so a step costs about one frame copy.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "kpl/support/frame24.hpp"

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
}  // namespace row_spans_detail

// Writes every row y of `out` (the size of `base`) from the runs `planRow(y, plan)` lists.
template <class PlanRow>
void ComposeRows(OutputFrame24& out, const InputFrame24& base, PlanRow&& planRow) {
  const int32_t width = base.width();
  for (int32_t y = 0; y < base.height(); ++y) {
    RowPlan plan;
    planRow(y, plan);
    // Runs before the last one that covers the whole row would be painted over: skip them.
    size_t first = 0;
    bool covered = false;
    size_t kept = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
      RowSpan s = plan[i];
      if (!row_spans_detail::clip(s, width)) continue;
      plan[kept] = s;
      if (s.x0 == 0 && s.x1 == width - 1) {
        first = kept;
        covered = true;
      }
      ++kept;
    }
    uint8_t* row = out.row(y);
    if (!covered) std::memcpy(row, base.row(y), size_t(width) * 3);
    for (size_t i = first; i < kept; ++i) {
      const RowSpan& s = plan[i];
      std::memcpy(row + size_t(s.x0) * 3, s.from->row(s.fromY) + size_t(s.fromX) * 3,
                  size_t(s.x1 - s.x0 + 1) * 3);
    }
  }
}

// out = base, row for row.
inline void CopyRows(OutputFrame24& out, const InputFrame24& base) {
  ForEachRow(out, base, [](uint8_t* o, const uint8_t* a, size_t n) { std::memcpy(o, a, n); });
}

}  // namespace kpl
