#pragma once
// Blue-Screen: a colour key over two clips. Wherever the second (foreground) frame is within a
// tolerance of the key colour, the first (background) frame shows through.
#include <cstddef>
#include <cstdint>

#include "kpl/support/effect_calls.hpp"

namespace kpl::pannikel {

struct BlueScreenBlock {
  uint32_t flags;
  int32_t length;     // stored, not used
  uint32_t key;       // colour value: red | green << 8 | blue << 16
  int32_t tolerance;  // percent of the channel half-range
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

inline constexpr uint32_t kBlueScreenTypeFlags = 0x10032A01;
inline constexpr uint32_t kBlueScreenInstanceBits = 0x10032A00;
inline constexpr uint32_t kDefaultKey = 0x800000;  // blue 128
inline constexpr int32_t kDefaultTolerance = 20;

// Inclusive channel ranges a foreground pixel must lie in to be keyed, in the byte order of a
// pixel (blue, green, red). A channel whose range is empty holds low 255 and high 0, which no
// byte satisfies.
struct KeyBounds {
  uint8_t low[3];
  uint8_t high[3];
};

// t = tolerance x 128 / 100 (toward zero); each channel k of the key gives max(k - t, 0) to
// min(k + t, 255). Formed in 64 bits, so any loaded tolerance is safe.
KeyBounds KeyBoundsOf(uint32_t key, int32_t tolerance);

// Ways through a row, each wider than the one before: pixel by pixel, five pixels per vector,
// ten pixels per vector pair, whole 64-byte lines of output with mask registers.
enum class KeyPath : uint8_t { kPlain, kRuns, kRunPairs, kLines };
// The widest way this processor offers.
KeyPath WidestKeyPath();

// How a row's output is written: through the caches, or (where the path can) streamed past
// them in whole lines, which then needs EndStreamedStores before anyone else reads the frame.
enum class RowStores : uint8_t { kCached, kStreamed };
void EndStreamedStores();
// Results at least this large are streamed.
inline constexpr size_t kStreamedResultBytes = size_t(1) << 20;

// A key prepared once for the rows of a frame: its bounds, and the same bounds laid out for
// each of the three ways a 64-byte line can fall on the pixels (line byte i of phase q belongs
// to channel (q + i) mod 3).
struct KeyPlan {
  explicit KeyPlan(const KeyBounds& bounds);
  KeyBounds bounds;
  alignas(64) uint8_t lineLow[3][64];
  alignas(64) uint8_t lineRange[3][64];  // high - low
};

// out = the background pixel where the foreground pixel is keyed, else the foreground pixel;
// `bytes` covers whole pixels (3 x width). `path` must be one the processor offers.
void KeyRow(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t bytes,
            const KeyPlan& plan, KeyPath path, RowStores stores = RowStores::kCached);

// One step on the block's stored inputs: a new result frame. False when the inputs cannot be
// read.
bool BlueScreenStep(BlueScreenBlock& block);

// Applies a settings line (already lower-cased); false for the line "end".
bool ApplyBlueScreenLine(BlueScreenBlock& block, const char* line);

}  // namespace kpl::pannikel
