#include "kpl/support/sample_buffer.hpp"

#include <algorithm>

namespace kpl {

int64_t SoundBlockBytes(const WaveFormat& format, int32_t frames) {
  return int64_t(frames) * (format.bitsPerSample / 8) * format.channels;
}

bool ScalePassFits(const WaveFormat& format) {
  const int passBytes = format.bitsPerSample == 8 ? 1 : 2;
  return format.bitsPerSample / 8 >= passBytes;
}

namespace {

template <bool kEightBit, PassMode kMode>
[[gnu::always_inline]] inline void scaleRunBody(const uint8_t* src, uint8_t* dst, int64_t begin,
                                                int64_t end, long double gain) {
  constexpr int kBytes = kEightBit ? 1 : 2;
  constexpr int64_t kLow = kEightBit ? -128 : -32768;
  constexpr int64_t kHigh = kEightBit ? 127 : 32767;
  for (int64_t i = begin; i < end; ++i) {
    const uint8_t* s = src + i * kBytes;
    uint8_t* r = dst + i * kBytes;
    const int32_t sample = kEightBit ? int32_t(s[0]) - 128 : int16_t(uint16_t(s[0] | s[1] << 8));
    long double product = gain * static_cast<long double>(sample);
    if constexpr (kMode == PassMode::kAdd) {
      const int32_t prior = kEightBit ? int32_t(r[0]) - 128 : int16_t(uint16_t(r[0] | r[1] << 8));
      product += static_cast<long double>(prior);
    }
    const int64_t v = std::clamp<int64_t>(static_cast<int64_t>(product), kLow, kHigh);
    if constexpr (kEightBit) {
      r[0] = uint8_t(v + 128);
    } else {
      r[0] = uint8_t(v);
      r[1] = uint8_t(uint64_t(v) >> 8);
    }
  }
}

// Truncating an extended value needs fisttp (SSE3) to run fast; without it every sample
// switches the x87 rounding mode twice. The clones pick the best form at load time and compute
// the same values.
#define KPL_SCALE_RUN(name, eightBit, mode)                                             \
  __attribute__((target_clones("sse3", "default"))) void name(                          \
      const uint8_t* src, uint8_t* dst, int64_t begin, int64_t end, long double gain) { \
    scaleRunBody<eightBit, mode>(src, dst, begin, end, gain);                           \
  }
KPL_SCALE_RUN(scaleRun8Write, true, PassMode::kWrite)
KPL_SCALE_RUN(scaleRun8Add, true, PassMode::kAdd)
KPL_SCALE_RUN(scaleRun16Write, false, PassMode::kWrite)
KPL_SCALE_RUN(scaleRun16Add, false, PassMode::kAdd)
#undef KPL_SCALE_RUN

template <bool kEightBit, PassMode kMode>
void scaleRun(const uint8_t* src, uint8_t* dst, int64_t begin, int64_t end, long double gain) {
  if constexpr (kEightBit)
    (kMode == PassMode::kWrite ? scaleRun8Write : scaleRun8Add)(src, dst, begin, end, gain);
  else
    (kMode == PassMode::kWrite ? scaleRun16Write : scaleRun16Add)(src, dst, begin, end, gain);
}

template <bool kEightBit, PassMode kMode>
void scaleAll(const void* source, void* result, int64_t samples, int64_t gainSwitch, double before,
              double from) {
  const auto* src = static_cast<const uint8_t*>(source);
  auto* dst = static_cast<uint8_t*>(result);
  const int64_t split = std::clamp<int64_t>(gainSwitch, 0, samples);
  scaleRun<kEightBit, kMode>(src, dst, 0, split, before);
  scaleRun<kEightBit, kMode>(src, dst, split, samples, from);
}

}  // namespace

void ScalePass(const void* source, void* result, int64_t samples, int64_t gainSwitch,
               double gainBefore, double gainFrom, bool eightBit, PassMode mode) {
  if (samples <= 0) return;
  if (eightBit) {
    if (mode == PassMode::kWrite)
      scaleAll<true, PassMode::kWrite>(source, result, samples, gainSwitch, gainBefore, gainFrom);
    else
      scaleAll<true, PassMode::kAdd>(source, result, samples, gainSwitch, gainBefore, gainFrom);
  } else {
    if (mode == PassMode::kWrite)
      scaleAll<false, PassMode::kWrite>(source, result, samples, gainSwitch, gainBefore, gainFrom);
    else
      scaleAll<false, PassMode::kAdd>(source, result, samples, gainSwitch, gainBefore, gainFrom);
  }
}

}  // namespace kpl
