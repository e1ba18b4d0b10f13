#pragma once
// Mix: the sound of two overlapping clips summed at a fixed level of 0.51 each.
#include <cstdint>

#include "kpl/support/effect_calls.hpp"
#include "kpl/support/plug_hdr.hpp"

namespace kpl::pannikel {

struct MixBlock {
  uint32_t flags;
  int32_t length;  // stored, not used
  WaveFormat format;
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

inline constexpr uint32_t kMixTypeFlags = 0x10061A02;
inline constexpr uint32_t kMixInstanceBits = 0x10060A00;
inline constexpr double kMixLevel = 0.51;

// One step: a new sound block, or nothing for an instance without sound. False when the
// inputs cannot be read.
bool MixStep(MixBlock& block);

}  // namespace kpl::pannikel
