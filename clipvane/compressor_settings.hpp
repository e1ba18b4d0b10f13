#pragma once
// The compressor settings the module remembers in the store, module-wide.
#include <cstdint>

namespace kpl::clipvane {

struct CompressorSettings {
  char codec[5];  // four-character code of the video compressor
  int32_t useKeyframe;
  int32_t useDatarate;
  int32_t keyframeEvery;
  int32_t quality;
  int32_t bytesPerSec;
};

// Sets the six settings to their defaults and registers them in the store, which replaces a
// default by a stored value. Runs at every preparation of a file.
void RegisterCompressorSettings();
const CompressorSettings& Compressor();

}  // namespace kpl::clipvane
