#include "video_effect.hpp"

#include "host_frame.hpp"

namespace kplhost {

EffectOutcome RunVideoEffect(const Module& module, const EffectJob& job, PictureClip& first,
                             PictureClip* second, const StepPictureSink& onPicture) {
  auto inputs = [&](int32_t step) {
    StepInputs in;
    const HostFrame& a = first.frameFor(step);
    in.first = a.address();
    in.firstSize = a.bytes();
    if (second) {
      const HostFrame& b = second->frameFor(step);
      in.second = b.address();
      in.secondSize = b.bytes();
    }
    return in;
  };
  auto results = [&](int32_t step, std::span<const uint8_t> frame) {
    onPicture(step, ImageFromFrame(frame));
  };
  return RunEffect(module, job, inputs, results);
}

}  // namespace kplhost
