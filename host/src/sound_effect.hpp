#pragma once
// A sound effect over sound clips, in blocks of sample frames: every step hands the module
// the next block of each clip, and the result blocks are joined into one clip.
#include <cstdint>

#include "effect_runner.hpp"
#include "sound_clip.hpp"

namespace kplhost {

struct SoundRun {
  SoundClip sound;  // in the first clip's format
  EffectOutcome outcome;
};

// Steps of the job come from the first clip's length and `blockFrames`; the job's sound format
// is the first clip's. `second` may be null; it must have the first's format. Throws Failure
// for clips the run cannot use.
SoundRun RunSoundEffect(const Module& module, EffectJob job, const SoundClip& first,
                        const SoundClip* second, int32_t blockFrames);

}  // namespace kplhost
