#pragma once
// Fade in, fade out and cross fade of video frames and sound buffers.
#include <cstdint>

#include "kpl/support/effect_calls.hpp"
#include "kpl/support/plug_hdr.hpp"

namespace kpl::pannikel {

enum FadeKind : uint8_t { kFadeIn = 0, kFadeOut = 1, kCrossFade = 2 };

struct FadeBlock {
  uint32_t flags;
  int32_t length;
  uint8_t kind;
  WaveFormat format;
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

inline constexpr uint32_t kFadeTypeFlags = 0x10073E03;
inline constexpr uint32_t kFadeInstanceBits = 0x10070200;

// The kind a new instance starts as, from the host's placement bits.
uint8_t FadeKindFromFlags(uint32_t flags);
// The placement bits that mark a kind (0 for a kind outside the three).
uint32_t PlacementBitsOf(uint8_t kind);

struct FadeProgress {
  double p;  // at the step's first frame or sample frame
  double q;  // at the middle of a sound buffer (0 for video)
};
FadeProgress FadeProgressOf(int32_t length, int32_t counter, int32_t firstSize, bool sound);

// One step on the block's stored inputs: a new result frame or sound block.
// False when the inputs cannot be read.
bool FadeStep(FadeBlock& block);

// Applies a settings line (already lower-cased) to the block; false when nothing matched.
bool ApplyFadeLine(FadeBlock& block, const char* line);
const char* FadeLineOf(uint8_t kind);  // null for a kind outside the three

}  // namespace kpl::pannikel
