#pragma once
// The probe of a RIFF file's headers through the multimedia file calls: what kind of file it
// is, and the figures of its video and its first audio stream.
#include <cstdint>
#include <optional>

namespace kpl::clipvane {

struct RiffFacts {
  enum Kind : int32_t { kAvi = 0, kWave = 1 };
  Kind kind = kAvi;
  int32_t length = 0;     // frames (AVI) or sample frames (WAVE)
  int32_t frameRate = 0;  // frames per 1000 seconds
  int32_t width = 0, height = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  uint16_t channels = 0;
};

// None when the file cannot be opened or is neither an AVI nor a WAVE file.
std::optional<RiffFacts> RiffInfo(const char* fileName);

}  // namespace kpl::clipvane
