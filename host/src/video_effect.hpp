#pragma once
// A video effect over picture clips: each step hands the module the frames of one or two
// clips and turns the result frame back into a picture.
#include <cstdint>
#include <functional>

#include "effect_runner.hpp"
#include "picture_clip.hpp"
#include "rgb_image.hpp"

namespace kplhost {

using StepPictureSink = std::function<void(int32_t step, RgbImage picture)>;

// `job.steps` steps; `second` may be null for one-clip effects.
EffectOutcome RunVideoEffect(const Module& module, const EffectJob& job, PictureClip& first,
                             PictureClip* second, const StepPictureSink& onPicture);

}  // namespace kplhost
