#pragma once
// One effect run from the host's side, with the calls in the order a host makes them:
// piInit, piLocalInit, piLocalSetFormat (sound), piLocalLength, piLocalLoadData for each
// settings line, piLocalProcessDataStart, then per step piLocalSetData, piLocalProcessData and
// piLocalGetData, then piLocalProcessDataEnd, piLocalSaveData, piLocalName, piLocalDone and
// piDone. Every begun call pair is closed, also when a step fails.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kpl/support/plug_hdr.hpp"
#include "module_loader.hpp"

namespace kplhost {

struct EffectJob {
  uint32_t type = 0;
  uint32_t instanceFlags = 0;  // pifVideo or pifAudio and the placement bits
  int32_t length = 0;          // for piLocalLength
  int32_t steps = 0;
  std::optional<kpl::WaveFormat> soundFormat;  // set for sound runs
  std::vector<std::string> settingsLines;      // "KEY=value", handed over as lines 0, 1, ...
  std::string progressLabel;                   // shown beside the bar on a terminal
};

// What the module reports after the run.
struct EffectOutcome {
  int32_t steps = 0;  // steps run
  std::vector<std::string> savedLines;
  std::string instanceName;
};

// Addresses and sizes for piLocalSetData: frame bytes for video, sample frames for sound.
struct StepInputs {
  void* first = nullptr;
  int32_t firstSize = 0;
  void* second = nullptr;
  int32_t secondSize = 0;
};

// Gives the inputs of a step; they must stay valid until the step's result has been read.
using StepInputSource = std::function<StepInputs(int32_t step)>;
// Receives the bytes of a step's result block while the block is locked; it is freed after.
using StepResultSink = std::function<void(int32_t step, std::span<const uint8_t> result)>;

// Throws Failure when the module refuses a call the run cannot go on without.
EffectOutcome RunEffect(const Module& module, const EffectJob& job, const StepInputSource& inputs,
                        const StepResultSink& results);

// Settings lines travel in buffers of this size, terminator included.
inline constexpr size_t kSettingsLineBytes = 2048;

}  // namespace kplhost
