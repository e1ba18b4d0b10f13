#include "wav_io.hpp"

#include <sndfile.h>

#include <limits>
#include <memory>

#include "errors.hpp"

namespace kplhost {
namespace {

struct SndFileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFile = std::unique_ptr<SNDFILE, SndFileCloser>;

// Sound beyond this many samples (4 GiB of 16-bit PCM) is refused before anything is sized.
constexpr sf_count_t kMaxSamples = sf_count_t(1) << 31;

// The library converts between its 16-bit samples and 8-bit unsigned bytes exactly as
// (byte - 128) << 8 and back, so 8-bit sound passes through 16-bit without change.
int16_t sampleOf(const SoundClip& clip, size_t index) {
  if (clip.bitsPerSample == 8) return int16_t((clip.pcm[index] - 128) * 256);
  return int16_t(clip.pcm[2 * index] | clip.pcm[2 * index + 1] << 8);
}

void storeSample(SoundClip& clip, size_t index, int16_t sample) {
  if (clip.bitsPerSample == 8) {
    clip.pcm[index] = uint8_t((sample >> 8) + 128);
  } else {
    clip.pcm[2 * index] = uint8_t(uint16_t(sample));
    clip.pcm[2 * index + 1] = uint8_t(uint16_t(sample) >> 8);
  }
}

}  // namespace

SoundClip ReadWav(const std::filesystem::path& path) {
  const std::string name = path.string();
  SF_INFO info{};
  SndFile file(sf_open(name.c_str(), SFM_READ, &info));
  if (!file) throw Failure("cannot read sound " + name + ": " + sf_strerror(nullptr));
  if (info.channels <= 0 || info.channels > std::numeric_limits<uint16_t>::max() ||
      info.samplerate <= 0 || info.frames < 0 || info.frames > kMaxSamples / info.channels)
    throw Failure("cannot read sound " + name + ": its size or format is out of range");

  SoundClip clip;
  clip.channels = uint16_t(info.channels);
  clip.sampleRate = uint32_t(info.samplerate);
  clip.bitsPerSample = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 ? 8 : 16;
  const size_t samples = size_t(info.frames) * size_t(info.channels);
  std::vector<int16_t> decoded(samples);
  const sf_count_t read = sf_readf_short(file.get(), decoded.data(), info.frames);
  if (read != info.frames)
    throw Failure("cannot read sound " + name + ": " + sf_strerror(file.get()));
  clip.pcm.resize(samples * (clip.bitsPerSample / 8));
  for (size_t i = 0; i < samples; ++i)
    storeSample(clip, i, decoded[i]);
  return clip;
}

void WriteWav(const std::filesystem::path& path, const SoundClip& clip) {
  const std::string name = path.string();
  SF_INFO info{};
  info.channels = clip.channels;
  info.samplerate = int(clip.sampleRate);
  info.format = SF_FORMAT_WAV | (clip.bitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
  SndFile file(sf_open(name.c_str(), SFM_WRITE, &info));
  if (!file) throw Failure("cannot write sound " + name + ": " + sf_strerror(nullptr));
  const size_t samples = size_t(clip.frames()) * clip.channels;
  std::vector<int16_t> encoded(samples);
  for (size_t i = 0; i < samples; ++i)
    encoded[i] = sampleOf(clip, i);
  if (sf_writef_short(file.get(), encoded.data(), clip.frames()) != clip.frames())
    throw Failure("cannot write sound " + name + ": " + sf_strerror(file.get()));
  // Closing writes the final header sizes; a failure there leaves a broken file.
  if (sf_close(file.release()) != 0) throw Failure("cannot finish sound " + name);
}

}  // namespace kplhost
