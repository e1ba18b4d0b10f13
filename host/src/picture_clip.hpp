#pragma once
// The pictures of a video input: one picture reused for every step, a numbered sequence of
// PNG files, or the frames of an AVI clip, read one step at a time.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "avi_clip.hpp"
#include "host_frame.hpp"
#include "numbered_path.hpp"
#include "rgb_image.hpp"

namespace kplhost {

class PictureClip {
 public:
  // A PNG file, a numbered pattern such as "frames/%03d.png" whose numbering starts at 0
  // or 1 and runs while the files exist, or an AVI file. Throws Failure when nothing can be
  // read.
  static PictureClip Open(const std::string& pathOrPattern);
  // Built-in material: one picture reused for every step.
  explicit PictureClip(const RgbImage& picture);

  // The number of pictures of a sequence or frames of a clip; none for one picture reused
  // for every step.
  std::optional<int32_t> sequenceLength() const;
  // The AVI clip the pictures come from, if they do.
  AviReader* avi() const { return avi_.get(); }
  // The frame for a step, valid until the next call.
  const HostFrame& frameFor(int32_t step);

 private:
  struct Sequence {
    NumberedPath pattern;
    uint32_t firstNumber;
    int32_t count;
  };
  explicit PictureClip(Sequence sequence) : sequence_(std::move(sequence)) {}
  explicit PictureClip(std::unique_ptr<AviReader> avi) : avi_(std::move(avi)) {}

  std::optional<Sequence> sequence_;
  std::unique_ptr<AviReader> avi_;
  std::unique_ptr<HostFrame> frame_;
  int32_t frameStep_ = -1;  // sequence picture the frame holds
};

}  // namespace kplhost
