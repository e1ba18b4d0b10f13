#include "picture_clip.hpp"

#include <filesystem>
#include <limits>

#include "errors.hpp"
#include "png_io.hpp"

namespace kplhost {

PictureClip PictureClip::Open(const std::string& pathOrPattern) {
  const std::optional<NumberedPath> pattern = NumberedPath::Parse(pathOrPattern);
  if (!pattern && IsAviPath(pathOrPattern))
    return PictureClip(std::make_unique<AviReader>(pathOrPattern));
  if (!pattern) return PictureClip(ReadPng(pathOrPattern));

  auto exists = [&](uint32_t number) { return std::filesystem::exists(pattern->at(number)); };
  const uint32_t first = exists(0) ? 0 : 1;
  if (!exists(first))
    throw Failure("no pictures match " + pathOrPattern + " (looked for " + pattern->at(0) +
                  " and " + pattern->at(1) + ")");
  int32_t count = 1;
  while (count < std::numeric_limits<int32_t>::max() && exists(first + uint32_t(count)))
    ++count;
  return PictureClip(Sequence{*pattern, first, count});
}

PictureClip::PictureClip(const RgbImage& picture) : frame_(std::make_unique<HostFrame>(picture)) {}

std::optional<int32_t> PictureClip::sequenceLength() const {
  if (avi_) return avi_->frames();
  if (!sequence_) return std::nullopt;
  return sequence_->count;
}

const HostFrame& PictureClip::frameFor(int32_t step) {
  if (avi_) {
    if (step < 0 || step >= avi_->frames())
      throw Failure("the clip has no frame for step " + std::to_string(step + 1));
    if (step != frameStep_) {
      frame_.reset();
      frame_ = std::make_unique<HostFrame>(avi_->frame(step));
      frameStep_ = step;
    }
    return *frame_;
  }
  if (!sequence_) return *frame_;
  if (step < 0 || step >= sequence_->count)
    throw Failure("the sequence " + sequence_->pattern.pattern() + " has no picture for step " +
                  std::to_string(step + 1));
  if (step != frameStep_) {
    frame_.reset();  // one frame in memory at a time
    frame_ = std::make_unique<HostFrame>(
        ReadPng(sequence_->pattern.at(sequence_->firstNumber + uint32_t(step))));
    frameStep_ = step;
  }
  return *frame_;
}

}  // namespace kplhost
