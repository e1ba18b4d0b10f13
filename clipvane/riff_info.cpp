#include "riff_info.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "kpl/platform/avifile.h"

namespace kpl::clipvane {
namespace {

constexpr FOURCC kAviForm = mmioFOURCC('A', 'V', 'I', ' ');
constexpr FOURCC kWaveForm = mmioFOURCC('W', 'A', 'V', 'E');

#pragma pack(push, 1)
struct MainHeader {
  uint32_t microSecPerFrame, maxBytesPerSec, paddingGranularity, flags, totalFrames, initialFrames,
      streams, suggestedBufferSize;
  int32_t width, height;
  uint32_t reserved[4];
};
struct StreamHeader {
  FOURCC type, handler;
  uint32_t flags;
  uint16_t priority, language;
  uint32_t initialFrames, scale, rate, start, length, suggestedBufferSize, quality, sampleSize;
  int16_t frame[4];
};
struct PcmFormat {
  uint16_t tag, channels;
  uint32_t sampleRate, averageBytes;
  uint16_t blockAlign, bitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(MainHeader) == 56 && sizeof(StreamHeader) == 56 && sizeof(PcmFormat) == 16);

// Closes the file however the probe ends.
class MmioCloser {
 public:
  explicit MmioCloser(HMMIO file) : file_(file) {}
  ~MmioCloser() {
    if (file_) mmioClose(file_, 0);
  }
  MmioCloser(const MmioCloser&) = delete;
  MmioCloser& operator=(const MmioCloser&) = delete;

 private:
  HMMIO file_;
};

template <class Record>
bool readWhole(HMMIO file, Record& record) {
  return mmioRead(file, reinterpret_cast<char*>(&record), int32_t(sizeof record)) ==
         int32_t(sizeof record);
}

// A stream header chunk may be shorter than the full record; the fields up to its length are
// what the probe needs.
bool readStreamHeader(HMMIO file, const MMCKINFO& chunk, StreamHeader& header) {
  constexpr int32_t kNeeded = offsetof(StreamHeader, length) + sizeof header.length;
  const int32_t bytes = int32_t(std::min<uint32_t>(chunk.cksize, sizeof header));
  return bytes >= kNeeded && mmioRead(file, reinterpret_cast<char*>(&header), bytes) == bytes;
}

bool descendList(HMMIO file, MMCKINFO& chunk, const MMCKINFO& parent, FOURCC listType) {
  chunk = {};
  chunk.fccType = listType;
  return mmioDescend(file, &chunk, &parent, MMIO_FINDLIST) == MMSYSERR_NOERROR;
}

bool descendChunk(HMMIO file, MMCKINFO& chunk, const MMCKINFO& parent, FOURCC id) {
  chunk = {};
  chunk.ckid = id;
  return mmioDescend(file, &chunk, &parent, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
}

// 1,000,000,000 / microseconds, rounded half to even; 0 for 0 microseconds.
int32_t rateOfMicroseconds(uint32_t microseconds) {
  if (microseconds == 0) return 0;
  return int32_t(std::nearbyint(1e9 / double(microseconds)));
}

std::optional<RiffFacts> probeAvi(HMMIO file, const MMCKINFO& riff) {
  MMCKINFO headers{}, mainChunk{};
  if (!descendList(file, headers, riff, mmioFOURCC('h', 'd', 'r', 'l'))) return std::nullopt;
  if (!descendChunk(file, mainChunk, headers, mmioFOURCC('a', 'v', 'i', 'h'))) return std::nullopt;
  MainHeader main{};
  if (!readWhole(file, main)) return std::nullopt;
  mmioAscend(file, &mainChunk, 0);

  RiffFacts facts;
  facts.kind = RiffFacts::kAvi;
  facts.length = int32_t(main.totalFrames);
  facts.width = main.width;
  facts.height = main.height;
  facts.frameRate = rateOfMicroseconds(main.microSecPerFrame);

  for (uint32_t s = 0; s < main.streams; ++s) {
    MMCKINFO list{}, streamChunk{};
    if (!descendList(file, list, headers, mmioFOURCC('s', 't', 'r', 'l'))) break;
    if (!descendChunk(file, streamChunk, list, mmioFOURCC('s', 't', 'r', 'h'))) break;
    StreamHeader stream{};
    if (!readStreamHeader(file, streamChunk, stream)) break;
    if (stream.type == streamtypeVIDEO) {
      if (facts.length <= 0) facts.length = int32_t(stream.length - stream.start);
      if (stream.rate >= 1 && stream.scale != 0)
        facts.frameRate = int32_t(
            std::min<int64_t>(1000 * int64_t(stream.rate) / int64_t(stream.scale), INT32_MAX));
    } else if (stream.type == streamtypeAUDIO) {
      mmioAscend(file, &streamChunk, 0);
      MMCKINFO formatChunk{};
      if (descendChunk(file, formatChunk, list, mmioFOURCC('s', 't', 'r', 'f'))) {
        PcmFormat wave{};
        if (readWhole(file, wave)) {
          facts.sampleRate = wave.sampleRate;
          facts.bitsPerSample = wave.bitsPerSample;
          facts.channels = wave.channels;
        }
        mmioAscend(file, &formatChunk, 0);
      }
      mmioAscend(file, &list, 0);
      break;
    }
    mmioAscend(file, &streamChunk, 0);
    mmioAscend(file, &list, 0);
  }
  return facts;
}

std::optional<RiffFacts> probeWave(HMMIO file, const MMCKINFO& riff) {
  MMCKINFO formatChunk{}, dataChunk{};
  if (!descendChunk(file, formatChunk, riff, mmioFOURCC('f', 'm', 't', ' '))) return std::nullopt;
  PcmFormat wave{};
  if (formatChunk.cksize < sizeof wave || !readWhole(file, wave)) return std::nullopt;
  if (mmioAscend(file, &formatChunk, 0) != MMSYSERR_NOERROR) return std::nullopt;
  if (!descendChunk(file, dataChunk, riff, mmioFOURCC('d', 'a', 't', 'a'))) return std::nullopt;
  RiffFacts facts;
  facts.kind = RiffFacts::kWave;
  facts.sampleRate = wave.sampleRate;
  facts.bitsPerSample = wave.bitsPerSample;
  facts.channels = wave.channels;
  // A format that states no whole bytes per sample or no channels has no countable length.
  const uint32_t sampleBytes = wave.bitsPerSample / 8;
  if (sampleBytes != 0 && wave.channels != 0)
    facts.length = int32_t(dataChunk.cksize / sampleBytes / wave.channels);
  return facts;
}

}  // namespace

std::optional<RiffFacts> RiffInfo(const char* fileName) {
  if (!fileName) return std::nullopt;
  const HMMIO file = mmioOpenA(fileName, nullptr, MMIO_READ | MMIO_DENYWRITE);
  if (!file) return std::nullopt;
  const MmioCloser closer(file);
  mmioSeek(file, 0, SEEK_SET);
  MMCKINFO riff{};
  if (mmioDescend(file, &riff, nullptr, 0) != MMSYSERR_NOERROR || riff.ckid != FOURCC_RIFF)
    return std::nullopt;
  if (riff.fccType == kAviForm) return probeAvi(file, riff);
  if (riff.fccType == kWaveForm) return probeWave(file, riff);
  return std::nullopt;
}

}  // namespace kpl::clipvane
