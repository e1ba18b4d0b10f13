#include "sound_file.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "errors.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/tessal_plug.hpp"
#include "paths.hpp"
#include "type_session.hpp"

namespace kplhost {
namespace {

// The instance of one stream: ended and freed however the work ends.
class Stream {
 public:
  Stream(const Module& module, const FileType& type, uint32_t direction, const std::string& path)
      : m_(module), type_(type.index), local_(module.piLocalInit(type.index, direction)) {
    if (!local_) throw Failure(type.name + ": no instance for " + path);
  }
  ~Stream() {
    if (started_) m_.piLocalProcessDataEnd(type_, local_);
    m_.piLocalDone(type_, local_);
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  uint32_t local() const { return local_; }
  bool start() { return started_ = m_.piLocalProcessDataStart(type_, local_) == kpl::kTrue; }

 private:
  const Module& m_;
  uint32_t type_, local_;
  bool started_ = false;
};

kpl::FormatRecord takeRecord(uint32_t handle) {
  kpl::FormatRecord record{};
  {
    kpl::BlockLock lock(handle);
    if (lock && GlobalSize(handle) >= sizeof record)
      std::memcpy(&record, lock.get(), sizeof record);
  }
  if (handle) GlobalFree(handle);  // format records are the host's
  return record;
}

}  // namespace

SoundClip ReadSoundThroughModule(const Module& module, const FileType& type,
                                 const std::string& path) {
  const TypeSession session(module, type.index);
  Stream stream(module, type, kpl::pifRead | kpl::pifAudio, path);
  std::vector<char> name = FileNameArgument(path);
  const bool known =
      module.piLocalLoadData(type.index, stream.local(), 0, name.data()) == kpl::kTrue;
  const kpl::FormatRecord format = takeRecord(module.piLocalGetData(type.index, stream.local()));
  if (!known) throw Failure(path + " is not a file " + type.name + " can read");
  if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.channels == 0 ||
      format.blockAlign != format.channels * format.bitsPerSample / 8 || format.blockSize <= 0)
    throw Failure(type.name + " gave a sound format kplhost cannot take for " + path);
  if (module.piLocalSetFormat(type.index, stream.local(), &format) != kpl::kTrue || !stream.start())
    throw Failure(type.name + " could not start reading " + path);

  SoundClip clip;
  clip.channels = format.channels;
  clip.sampleRate = format.sampleRate;
  clip.bitsPerSample = format.bitsPerSample;
  const uint64_t total = uint64_t(std::max(format.sampleFrames, 0)) * format.blockAlign;
  clip.pcm.reserve(size_t(total));
  // Each read delivers one block from where the last one ended; the last is cut to the length.
  while (clip.pcm.size() < total) {
    if (module.piLocalLoadData(type.index, stream.local(), 2, name.data()) != kpl::kTrue) break;
    const uint32_t buffer = module.piLocalGetData(type.index, stream.local());
    kpl::BlockLock lock(buffer);
    const size_t bytes = std::min<uint64_t>(
        {uint64_t(format.blockSize), total - clip.pcm.size(), lock ? GlobalSize(buffer) : 0});
    if (bytes == 0) break;
    const uint8_t* block = lock.as<uint8_t>();
    clip.pcm.insert(clip.pcm.end(), block, block + bytes);
  }
  if (clip.pcm.size() < total)
    Warn(path + " holds " + std::to_string(clip.pcm.size() / format.blockAlign) + " of the " +
         std::to_string(format.sampleFrames) + " sample frames its header announces");
  return clip;
}

void WriteSoundThroughModule(const Module& module, const FileType& type, const SoundClip& clip,
                             const std::string& path) {
  const TypeSession session(module, type.index);
  Stream stream(module, type, kpl::pifWrite | kpl::pifAudio, path);
  const kpl::WaveFormat wave = WaveFormatOf(clip);
  kpl::FormatRecord format{};
  format.flags = kpl::pifAudio;
  format.sampleFrames = int32_t(std::min<int64_t>(clip.frames(), INT32_MAX));
  kpl::SetWaveFormat(format, wave);
  format.blockSize = int32_t(wave.averageBytesPerSecond);
  if (module.piLocalSetFormat(type.index, stream.local(), &format) != kpl::kTrue)
    throw Failure(type.name + " refused the format of " + std::to_string(clip.frames()) +
                  " sample frames of " + std::to_string(clip.bitsPerSample) + "-bit sound, " +
                  std::to_string(clip.channels) + " channels");
  if (!stream.start()) throw Failure(type.name + " could not start writing " + path);
  EnsureParentDirectory(path);
  std::vector<char> name = FileNameArgument(path);
  // The samples go out one second at a time from a copy the module may change.
  const size_t blockBytes = std::max<size_t>(wave.averageBytesPerSecond, wave.blockAlign);
  const size_t total = size_t(format.sampleFrames) * wave.blockAlign;
  std::vector<uint8_t> block;
  for (size_t at = 0; at < total; at += blockBytes) {
    const size_t bytes = std::min(blockBytes, total - at);
    block.assign(clip.pcm.begin() + ptrdiff_t(at), clip.pcm.begin() + ptrdiff_t(at + bytes));
    module.piLocalSetData(type.index, stream.local(), block.data(), int32_t(bytes), nullptr, 0);
    if (module.piLocalSaveData(type.index, stream.local(), 2, name.data()) != kpl::kTrue)
      throw Failure(type.name + " could not write " + path);
  }
}

}  // namespace kplhost
