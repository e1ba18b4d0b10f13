#include "wipe.hpp"

#include <algorithm>

#include "kpl/support/frame24.hpp"
#include "kpl/support/row_spans.hpp"
#include "kpl/support/settings_line.hpp"

namespace kpl::pannikel {

const WipeRegion::Direction WipeRegion::kDirections[8] = {
    {0, Across::kFromLeft, Along::kNone},    {45, Across::kFromLeft, Along::kFromBottom},
    {90, Across::kNone, Along::kFromBottom}, {135, Across::kFromRight, Along::kFromBottom},
    {180, Across::kFromRight, Along::kNone}, {225, Across::kFromRight, Along::kFromTop},
    {270, Across::kNone, Along::kFromTop},   {315, Across::kFromLeft, Along::kFromTop},
};

double WipeProgressOf(int32_t length, int32_t counter) {
  double p = 0.5;
  if (length >= 3)
    p = static_cast<double>(static_cast<long double>(counter) /
                            static_cast<long double>(int64_t(length) - 1));
  return p > 1.0 ? 1.0 : p;
}

std::optional<WipeRegion> WipeRegion::Of(int32_t degree, int32_t width, int32_t height, double p) {
  const auto found = std::find_if(std::begin(kDirections), std::end(kDirections),
                                  [&](const Direction& d) { return d.degree == degree; });
  if (found == std::end(kDirections)) return std::nullopt;
  // The longest distance of the direction: (W - 1), (H - 1), or their sum for a corner.
  int64_t span = 0;
  if (found->across != Across::kNone) span += int64_t(width) - 1;
  if (found->along != Along::kNone) span += int64_t(height) - 1;
  int64_t extent = static_cast<int64_t>(static_cast<long double>(span) * p);
  if (found->across != Across::kNone && found->along != Along::kNone)
    extent = std::min(extent, span);
  return WipeRegion(*found, width, height, extent);
}

ColumnSpan WipeRegion::columns(int32_t y) const {
  int64_t alongDistance = 0;
  if (direction_.along == Along::kFromTop) alongDistance = y;
  if (direction_.along == Along::kFromBottom) alongDistance = int64_t(height_) - 1 - y;
  const int64_t room = extent_ - alongDistance;  // what is left for the x term
  if (room < 0) return {0, 0};
  if (direction_.across == Across::kNone) return {0, width_};
  const auto count = int32_t(std::min<int64_t>(room + 1, width_));
  return {direction_.across == Across::kFromLeft ? 0 : width_ - count, count};
}

bool WipeStep(WipeBlock& block) {
  const double p = WipeProgressOf(block.length, block.counter);
  block.counter = Advance(block.counter, 1);

  // Inputs are read as Fade reads them: a frame of another depth through a 24-bit copy, and a
  // second frame smaller than the first is refused.
  const InputFrame24 first(block.inputs.first);
  if (!first) return false;
  const std::optional<WipeRegion> region =
      WipeRegion::Of(block.degree, first.width(), first.height(), p);
  std::optional<InputFrame24> second;
  if (region) {
    second.emplace(block.inputs.second);
    if (!Covers(*second, first)) return false;
  }
  OutputFrame24 out(first.width(), first.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;

  // Each row: the first frame's pixels with the region's run taken from the second frame.
  ComposeRows(out, first, [&](int32_t y, RowPlan& plan) {
    const ColumnSpan run = region ? region->columns(y) : ColumnSpan{0, 0};
    if (run.count > 0) plan.add(*second, y, run.first, run.first, run.first + run.count - 1);
  });
  block.result = out.release();
  return true;
}

void ApplyWipeLine(WipeBlock& block, const char* line) {
  block.degree = ReadNumber(ValueOf(line));
}

}  // namespace kpl::pannikel
