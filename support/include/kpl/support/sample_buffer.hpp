#pragma once
// Sample buffers: raw interleaved PCM, 8-bit unsigned around 128 or 16-bit signed
// little-endian, and the scaling pass the sound effects are built from.
#include <cstddef>
#include <cstdint>

#include "kpl/support/plug_hdr.hpp"

namespace kpl {

// Bytes of a result block holding `frames` sample frames in `format`
// (frames x (bits / 8) x channels); negative when the count is negative.
int64_t SoundBlockBytes(const WaveFormat& format, int32_t frames);

// True when the samples the scaling pass reads and writes (one byte for 8-bit sound, two for
// anything else) fit the bytes per sample of the format's blocks. Formats of 1 to 7 or 9 to 15
// bits would make the pass overrun its buffers, so their steps leave the block silent.
bool ScalePassFits(const WaveFormat& format);

enum class PassMode { kWrite, kAdd };

// v = Trunc(g x s) (writing) or Trunc(g x s + r) (adding), formed in extended precision, for
// `samples` samples; g is `gainBefore` for the samples before `gainSwitch` and `gainFrom` from
// it on. Results beyond the sample range are clamped to it.
void ScalePass(const void* source, void* result, int64_t samples, int64_t gainSwitch,
               double gainBefore, double gainFrom, bool eightBit, PassMode mode);

}  // namespace kpl
