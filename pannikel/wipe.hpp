#pragma once
// Wipe: the second frame uncovers the first from an edge or a corner, moving in one of eight
// directions given in degrees.
#include <cstdint>
#include <optional>

#include "kpl/support/effect_calls.hpp"

namespace kpl::pannikel {

struct WipeBlock {
  uint32_t flags;
  int32_t length;
  int32_t degree;
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

inline constexpr uint32_t kWipeTypeFlags = 0x10032A01;
inline constexpr uint32_t kWipeInstanceBits = 0x10032A00;

// Progress of the step with counter c: c / (L - 1) for L >= 3, else 0.5; held at most 1.
double WipeProgressOf(int32_t length, int32_t counter);

// The columns of one row that show the second frame.
struct ColumnSpan {
  int32_t first;
  int32_t count;
};

// The part of a W x H picture reached at progress p: the pixels whose distance from the start
// edge or corner is at most the extent. Every row's share is one run at its left or right end.
class WipeRegion {
 public:
  // None for a degree that names no direction.
  static std::optional<WipeRegion> Of(int32_t degree, int32_t width, int32_t height, double p);

  int64_t extent() const { return extent_; }
  ColumnSpan columns(int32_t y) const;

 private:
  enum class Across : uint8_t { kNone, kFromLeft, kFromRight };
  enum class Along : uint8_t { kNone, kFromTop, kFromBottom };
  struct Direction {
    int32_t degree;
    Across across;  // the distance term of x: none, x, or (W - 1) - x
    Along along;    // the distance term of y: none, y, or (H - 1) - y
  };
  static const Direction kDirections[8];

  WipeRegion(const Direction& direction, int32_t width, int32_t height, int64_t extent)
      : direction_(direction), width_(width), height_(height), extent_(extent) {}

  Direction direction_;
  int32_t width_;
  int32_t height_;
  int64_t extent_;
};

// One step on the block's stored inputs: a new result frame. False when the inputs cannot be
// read.
bool WipeStep(WipeBlock& block);

// Reads the degree from a settings line (already lower-cased): the number after the first "=".
void ApplyWipeLine(WipeBlock& block, const char* line);

}  // namespace kpl::pannikel
