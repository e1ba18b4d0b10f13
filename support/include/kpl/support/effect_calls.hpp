#pragma once
// What every effect instance block keeps besides its settings, and the instance calls that do
// the same for every effect: a block type Block provides the fields `flags`, `length`,
// `inputs`, `counter` and `result` (and `format` for the effects that take sound).
#include <cstdint>
#include <cstring>

#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/type_routing.hpp"

namespace kpl {

// The four values of the last piLocalSetData.
struct StepInputs {
  void* first = nullptr;
  void* second = nullptr;
  int32_t firstSize = 0;
  int32_t secondSize = 0;
};

// Step counters wrap as 32-bit counters do, without signed overflow.
inline int32_t Advance(int32_t counter, int64_t by) {
  return int32_t(uint32_t(counter) + uint32_t(by));
}

template <class Block>
struct EffectCalls {
  static Block& of(const Instance& i) { return i.as<Block>(); }

  static bool setLength(const Instance& i, int32_t length) {
    of(i).length = length;
    return true;
  }
  // Stores the inputs; true whatever they are.
  static bool setAnyData(const Instance& i, void* a, int32_t asize, void* b, int32_t bsize) {
    of(i).inputs = {a, b, asize, bsize};
    return true;
  }
  // Stores the inputs; true only when both are there (two-clip effects).
  static bool setBothData(const Instance& i, void* a, int32_t asize, void* b, int32_t bsize) {
    setAnyData(i, a, asize, b, bsize);
    return a && b;
  }
  static bool resetCounter(const Instance& i) {
    of(i).counter = 0;
    return true;
  }
  static uint32_t result(const Instance& i) { return of(i).result; }
  // Takes the 16-byte sound format, only for an instance that works on sound.
  static bool setSoundFormat(const Instance& i, const void* format) {
    if (!(of(i).flags & pifAudio) || !format) return false;
    std::memcpy(&of(i).format, format, sizeof(WaveFormat));
    return true;
  }
};

}  // namespace kpl
