#include "sound_effect.hpp"

#include <algorithm>
#include <limits>

#include "errors.hpp"

namespace kplhost {
namespace {

// The sample frames of one step's block, copied so the module gets memory of its own to read
// (the interface passes addresses it could write through).
class Block {
 public:
  Block(const SoundClip* clip, int32_t step, int32_t blockFrames) {
    if (!clip) return;
    const int64_t start = int64_t(step) * blockFrames;
    frames_ = int32_t(std::clamp<int64_t>(clip->frames() - start, 0, blockFrames));
    const auto begin = clip->pcm.begin() + ptrdiff_t(start * clip->frameBytes());
    bytes_.assign(begin, begin + ptrdiff_t(int64_t(frames_) * clip->frameBytes()));
  }
  // Null for an empty block, so a module never reads through an address with nothing behind it.
  void* address() { return frames_ ? bytes_.data() : nullptr; }
  int32_t frames() const { return frames_; }

 private:
  std::vector<uint8_t> bytes_;
  int32_t frames_ = 0;
};

// Steps that cover `frames` sample frames in blocks of `blockFrames`.
int32_t soundSteps(int64_t frames, int32_t blockFrames) {
  const int64_t steps = (frames + blockFrames - 1) / blockFrames;
  if (steps > std::numeric_limits<int32_t>::max())
    throw Failure("the sound needs more than 2^31 steps; choose a larger --block");
  return int32_t(steps);
}

}  // namespace

SoundRun RunSoundEffect(const Module& module, EffectJob job, const SoundClip& first,
                        const SoundClip* second, int32_t blockFrames) {
  if (first.frames() == 0) throw Failure("the sound holds no samples");
  if (second && !second->sameFormat(first))
    throw Failure("the two sounds differ in channels, sample rate or sample size");
  job.soundFormat = WaveFormatOf(first);
  job.steps = soundSteps(first.frames(), blockFrames);

  SoundRun run;
  run.sound = SoundClip{first.channels, first.sampleRate, first.bitsPerSample, {}};
  std::optional<Block> a, b;  // the blocks of the step being processed
  auto inputs = [&](int32_t step) {
    a.emplace(&first, step, blockFrames);
    b.emplace(second, step, blockFrames);
    return StepInputs{a->address(), a->frames(), b->address(), b->frames()};
  };
  auto results = [&](int32_t, std::span<const uint8_t> pcm) {
    run.sound.pcm.insert(run.sound.pcm.end(), pcm.begin(), pcm.end());
  };
  run.outcome = RunEffect(module, job, inputs, results);
  return run;
}

}  // namespace kplhost
