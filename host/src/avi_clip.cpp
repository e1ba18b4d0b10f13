#include "avi_clip.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "errors.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "paths.hpp"

namespace kplhost {
namespace {

constexpr uint32_t kAviType = 0;

// piInit and a fresh instance; piLocalProcessDataEnd, piLocalDone and piDone when done.
uint32_t openInstance(const Module& module, uint32_t flags, const std::string& what) {
  if (!(module.piInit(kAviType) & 0xFF)) throw Failure("the AVI type refused to start");
  const uint32_t local = module.piLocalInit(kAviType, flags);
  if (!local) {
    module.piDone(kAviType);
    throw Failure("the AVI type made no instance to " + what);
  }
  return local;
}

void closeInstance(const Module& module, uint32_t local) {
  module.piLocalProcessDataEnd(kAviType, local);
  module.piLocalDone(kAviType, local);
  module.piDone(kAviType);
}

}  // namespace

bool IsAviPath(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == ".avi";
}

std::shared_ptr<const Module> AviModule() {
  static std::weak_ptr<const Module> loaded;
  if (auto module = loaded.lock()) return module;
  auto module = std::make_shared<const Module>(ResolveModulePath("clipvane").string());
  loaded = module;
  return module;
}

RgbImage ImageFromAnyFrame(std::span<const uint8_t> frame) {
  if (frame.size() < kpl::kBitmapHeaderBytes) throw Failure("a frame shorter than its header");
  if (kpl::IsFrame24(frame.data())) return ImageFromFrame(frame);
  const kpl::BitmapInfoHeader h = kpl::ReadHeader(frame.data());
  if (h.size < kpl::kBitmapHeaderBytes || h.compression != 0 || h.width <= 0 || h.height <= 0 ||
      h.bitCount == 0 || h.bitCount > 32)
    throw Failure("a frame in a form kplhost cannot show (" + std::to_string(h.bitCount) +
                  " bits, compression " + std::to_string(h.compression) + ")");
  const uint64_t entries = h.clrUsed ? h.clrUsed : h.bitCount <= 8 ? 1u << h.bitCount : 0;
  const uint64_t rowBytes = (uint64_t(h.width) * h.bitCount + 31) / 32 * 4;
  if (uint64_t(h.size) + 4 * entries + rowBytes * uint64_t(h.height) > frame.size())
    throw Failure("a frame that does not fit its block");
  const kpl::OwnedBlock copy(kpl::ToFrame24(frame.data()));
  const kpl::BlockLock lock(copy.get());
  if (!lock) throw Failure("a " + std::to_string(h.bitCount) + "-bit frame kplhost cannot convert");
  return ImageFromFrame({lock.as<const uint8_t>(), GlobalSize(copy.get())});
}

AviReader::AviReader(const std::string& path) : module_(AviModule()), path_(path) {
  local_ = openInstance(*module_, kpl::pifRead, "read " + path);
  try {
    std::vector<char> name = FileNameArgument(path_);
    if (module_->piLocalLoadData(kAviType, local_, 0, name.data()) != kpl::kTrue)
      throw Failure(path + " is not an AVI file clipvane reads");
    const kpl::OwnedBlock record(module_->piLocalGetData(kAviType, local_));
    const kpl::BlockLock lock(record.get());
    if (!lock || GlobalSize(record.get()) < sizeof format_)
      throw Failure("clipvane handed out no format record for " + path);
    std::memcpy(&format_, lock.get(), sizeof format_);
    if (format_.frameCount <= 0) throw Failure(path + " holds no frames");
    module_->piLocalProcessDataStart(kAviType, local_);
  } catch (...) {
    closeInstance(*module_, local_);
    throw;
  }
}

AviReader::~AviReader() {
  closeInstance(*module_, local_);
}

RgbImage AviReader::frame(int32_t index) {
  module_->piLocalLength(kAviType, local_, index);
  std::vector<char> name = FileNameArgument(path_);
  if (module_->piLocalLoadData(kAviType, local_, 1, name.data()) != kpl::kTrue)
    throw Failure("clipvane could not read frame " + std::to_string(index) + " of " + path_);
  // The frame block stays the instance's own: read it, never free it.
  const uint32_t block = module_->piLocalGetData(kAviType, local_);
  const kpl::BlockLock lock(block);
  if (!lock) throw Failure("clipvane handed out no frame for " + path_);
  return ImageFromAnyFrame({lock.as<const uint8_t>(), GlobalSize(block)});
}

SoundClip AviReader::sound() {
  SoundClip clip{format_.channels, format_.sampleRate, format_.bitsPerSample, {}};
  if (!hasSound()) return clip;
  if (format_.blockAlign == 0 || clip.frameBytes() != format_.blockAlign ||
      (clip.bitsPerSample != 8 && clip.bitsPerSample != 16))
    throw Failure(path_ + " has sound kplhost does not take (" +
                  std::to_string(format_.bitsPerSample) + "-bit)");
  // The clip's duration in sound, but never more than the file could hold: a header claiming
  // hours of sound in a small file must not make kplhost allocate them.
  std::error_code noSize;
  const uint64_t fileBytes = std::filesystem::file_size(path_, noSize);
  const uint64_t total =
      std::min<uint64_t>(uint64_t(std::max(format_.sampleFrames, 0)) * format_.blockAlign,
                         noSize ? 0 : fileBytes / format_.blockAlign * format_.blockAlign);
  if (total == 0) return clip;
  clip.pcm.reserve(total);
  // Reads of one second in whole sample frames (the record proposes an eighth of a second,
  // which need not be whole frames), or of the whole sound when it is shorter. The type keeps
  // the block size whatever it answers.
  kpl::FormatRecord reading = format_;
  reading.blockSize = int32_t(
      std::min<uint64_t>({uint64_t(format_.sampleRate) * format_.blockAlign,
                          uint64_t(INT32_MAX / format_.blockAlign * format_.blockAlign), total}));
  if (reading.blockSize <= 0) throw Failure(path_ + " has sound without a sample rate");
  module_->piLocalSetFormat(kAviType, local_, &reading);
  module_->piLocalLength(kAviType, local_, 0);
  std::vector<char> name = FileNameArgument(path_);
  while (clip.pcm.size() < total) {
    if (module_->piLocalLoadData(kAviType, local_, 2, name.data()) != kpl::kTrue)
      throw Failure("clipvane could not read the sound of " + path_);
    const uint32_t block = module_->piLocalGetData(kAviType, local_);
    const kpl::BlockLock lock(block);
    const size_t bytes = GlobalSize(block) / format_.blockAlign * format_.blockAlign;
    if (!lock || bytes == 0) throw Failure("clipvane handed out no sound for " + path_);
    const auto* at = lock.as<const uint8_t>();
    clip.pcm.insert(clip.pcm.end(), at, at + std::min<uint64_t>(bytes, total - clip.pcm.size()));
  }
  return clip;
}

AviWriter::AviWriter(const std::string& path, const AviLayout& layout)
    : module_(AviModule()), path_(path), layout_(layout) {
  kpl::FormatRecord format{};
  format.flags = kpl::pifVideo | kpl::pifStream;
  format.frameCount = layout.frames;
  format.frameRate = layout.frameRate;
  format.video = {40, layout.width, layout.height, 1, 24, 0, 0, 0, 0, 0, 0};
  if (layout.sound) {
    const SoundClip& s = *layout.sound;
    format.flags |= kpl::pifAudio;
    format.sampleFrames = int32_t(std::min<int64_t>(s.frames(), INT32_MAX));
    kpl::SetWaveFormat(format, WaveFormatOf(s));
  }
  local_ = openInstance(*module_, kpl::pifWrite, "write " + path);
  try {
    if (module_->piLocalSetFormat(kAviType, local_, &format) != kpl::kTrue)
      throw Failure("clipvane does not write " + std::to_string(layout.width) + "x" +
                    std::to_string(layout.height) + " frames" +
                    (layout.sound
                         ? " with " + std::to_string(layout.sound->sampleRate) + " Hz " +
                               std::to_string(layout.sound->bitsPerSample) +
                               "-bit sound (it takes 11025, 22050 or 44100 Hz, 8 or 16 bits)"
                         : std::string()));
    EnsureParentDirectory(path);
    std::vector<char> name = FileNameArgument(path_);
    if (module_->piLocalSaveData(kAviType, local_, 0, name.data()) != kpl::kTrue)
      throw Failure("clipvane could not create " + path);
    module_->piLocalProcessDataStart(kAviType, local_);
  } catch (...) {
    closeInstance(*module_, local_);
    throw;
  }
}

AviWriter::~AviWriter() {
  if (!finished_) closeInstance(*module_, local_);
}

void AviWriter::writeSoundUpTo(int64_t sampleFrame) {
  if (!layout_.sound) return;
  const SoundClip& s = *layout_.sound;
  const int64_t end = std::min(sampleFrame, s.frames());
  // Blocks of at most a second, so no single call carries an unbounded size.
  while (soundWritten_ < end) {
    const int64_t count = std::min<int64_t>(end - soundWritten_, s.sampleRate);
    std::vector<uint8_t> block(s.pcm.begin() + ptrdiff_t(soundWritten_ * s.frameBytes()),
                               s.pcm.begin() + ptrdiff_t((soundWritten_ + count) * s.frameBytes()));
    module_->piLocalSetData(kAviType, local_, block.data(), int32_t(block.size()), nullptr, 0);
    std::vector<char> name = FileNameArgument(path_);
    if (module_->piLocalSaveData(kAviType, local_, 2, name.data()) != kpl::kTrue)
      throw Failure("clipvane could not write the sound into " + path_);
    soundWritten_ += count;
  }
}

void AviWriter::addFrame(const RgbImage& picture) {
  if (picture.width() != layout_.width || picture.height() != layout_.height)
    throw Failure("a " + std::to_string(picture.width()) + "x" + std::to_string(picture.height()) +
                  " picture in a " + std::to_string(layout_.width) + "x" +
                  std::to_string(layout_.height) + " clip");
  const HostFrame frame(picture);
  module_->piLocalSetData(kAviType, local_, frame.address(), frame.bytes(), nullptr, 0);
  std::vector<char> name = FileNameArgument(path_);
  if (module_->piLocalSaveData(kAviType, local_, 1, name.data()) != kpl::kTrue)
    throw Failure("clipvane could not write frame " + std::to_string(framesWritten_) + " into " +
                  path_);
  ++framesWritten_;
  if (layout_.sound)
    writeSoundUpTo(int64_t(framesWritten_) * 1000 * layout_.sound->sampleRate / layout_.frameRate);
}

void AviWriter::finish() {
  if (layout_.sound) writeSoundUpTo(layout_.sound->frames());
  finished_ = true;
  const bool closed = module_->piLocalProcessDataEnd(kAviType, local_) == kpl::kTrue;
  module_->piLocalDone(kAviType, local_);
  module_->piDone(kAviType);
  if (!closed) throw Failure("clipvane could not close " + path_);
}

}  // namespace kplhost
