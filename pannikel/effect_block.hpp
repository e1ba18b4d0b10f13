#pragma once
// Fields every effect block of this module shares after its own settings: the inputs of the
// last piLocalSetData, the step counter and the result handle.
#include <cstdint>

namespace kpl::pannikel {

struct StepInputs {
  void* first = nullptr;
  void* second = nullptr;
  int32_t firstSize = 0;
  int32_t secondSize = 0;
};

// Step counters wrap as the host's 32-bit counters do, without signed overflow.
inline int32_t Advance(int32_t counter, int64_t by) {
  return int32_t(uint32_t(counter) + uint32_t(by));
}

}  // namespace kpl::pannikel
