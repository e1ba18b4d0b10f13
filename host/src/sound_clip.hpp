#pragma once
// Sound as the modules take it: interleaved PCM, 8-bit unsigned around 128 or 16-bit signed
// little-endian.
#include <cstdint>
#include <vector>

#include "kpl/support/plug_hdr.hpp"

namespace kplhost {

struct SoundClip {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 16;  // 8 or 16
  std::vector<uint8_t> pcm;

  uint32_t frameBytes() const { return uint32_t(channels) * (bitsPerSample / 8); }
  int64_t frames() const { return frameBytes() ? int64_t(pcm.size() / frameBytes()) : 0; }
  bool sameFormat(const SoundClip& other) const {
    return channels == other.channels && sampleRate == other.sampleRate &&
           bitsPerSample == other.bitsPerSample;
  }
};

// The 16-byte PCM format record piLocalSetFormat takes for this clip.
inline kpl::WaveFormat WaveFormatOf(const SoundClip& clip) {
  return {.formatTag = 1,
          .channels = clip.channels,
          .samplesPerSecond = clip.sampleRate,
          .averageBytesPerSecond = clip.sampleRate * clip.frameBytes(),
          .blockAlign = uint16_t(clip.frameBytes()),
          .bitsPerSample = clip.bitsPerSample};
}

}  // namespace kplhost
