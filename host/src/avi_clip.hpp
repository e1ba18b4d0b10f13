#pragma once
// AVI clips read and written through the AVI file type of the clipvane module, as a host
// does: format records, frames one at a time at any position, sound in blocks.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "host_frame.hpp"
#include "kpl/support/tessal_plug.hpp"
#include "module_loader.hpp"
#include "rgb_image.hpp"
#include "sound_clip.hpp"

namespace kplhost {

// Whether a path names an AVI file (by its extension, in any case).
bool IsAviPath(const std::filesystem::path& path);

// The module that reads and writes AVI files, found next to kplhost.
std::shared_ptr<const Module> AviModule();

class AviReader {
 public:
  // Throws Failure when the file is not an AVI file the type reads.
  explicit AviReader(const std::string& path);
  ~AviReader();
  AviReader(const AviReader&) = delete;
  AviReader& operator=(const AviReader&) = delete;

  const kpl::FormatRecord& format() const { return format_; }
  int32_t frames() const { return format_.frameCount; }
  bool hasSound() const { return format_.flags & kpl::pifAudio; }

  // Frame `index` (from 0) as a picture, whatever depth the file's decoder delivers.
  RgbImage frame(int32_t index);
  // The whole sound of the first audio stream: the clip's sample count, in its PCM format.
  SoundClip sound();

 private:
  std::shared_ptr<const Module> module_;
  std::string path_;
  uint32_t local_ = 0;
  kpl::FormatRecord format_{};
};

// What an AVI file is made of: frames of one size at a rate, and optionally PCM sound.
struct AviLayout {
  int32_t width = 0, height = 0;
  int32_t frames = 0;
  int32_t frameRate = 25000;       // frames per 1000 seconds
  std::optional<SoundClip> sound;  // its format and its whole sound
};

class AviWriter {
 public:
  // Prepares the file; throws Failure when the type refuses the layout or the file.
  AviWriter(const std::string& path, const AviLayout& layout);
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Appends the next frame, then the sound that plays until the frame after it begins.
  void addFrame(const RgbImage& picture);
  // Writes the rest of the sound and closes the file with its comment.
  void finish();

 private:
  void writeSoundUpTo(int64_t sampleFrame);

  std::shared_ptr<const Module> module_;
  std::string path_;
  AviLayout layout_;
  uint32_t local_ = 0;
  int32_t framesWritten_ = 0;
  int64_t soundWritten_ = 0;
  bool finished_ = false;
};

// A picture from a frame of any uncompressed depth, trusting nothing beyond `frame`.
RgbImage ImageFromAnyFrame(std::span<const uint8_t> frame);

}  // namespace kplhost
