// Writing: the format a file is made for, its preparation, and frames and sound blocks
// appended to its streams.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

#include "avi_block.hpp"
#include "compressor_settings.hpp"
#include "kpl/support/plug_hdr.hpp"

namespace kpl::clipvane {
namespace {

constexpr uint32_t kCreateReadWrite = OF_CREATE | OF_READWRITE;
constexpr uint32_t kSampleRates[] = {11025, 22050, 44100};

// Three quarters of a second of frames: frame rate x 0.75 truncated, then / 1000.
int32_t audioLeadOf(int32_t frameRate) {
  return int32_t(int64_t((long double)frameRate * 0.75L) / 1000);
}

bool acceptsSound(const FormatRecord& f) {
  if (f.sampleFrames <= 0) return false;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return false;
  if (f.formatTag != 1 || f.channels == 0) return false;
  if (std::find(std::begin(kSampleRates), std::end(kSampleRates), f.sampleRate) ==
      std::end(kSampleRates))
    return false;
  // Sound is written in whole sample frames of this size; any other block align would make
  // the stream's header disagree with its data.
  return f.blockAlign == uint32_t(f.channels) * f.bitsPerSample / 8;
}

bool acceptsFormat(const AviBlock& block) {
  const FormatRecord f = FormatOf(block);
  const int32_t version = FormatLong(block, kRecordVersionAt);
  if (version != 1 && version != 2) return false;
  if (!(f.flags & pifVideo) || !(f.flags & pifStream)) return false;
  if (f.frameCount <= 0) return false;
  // A negative frame rate has no meaning as a stream rate.
  if (f.frameRate <= 0) return false;
  if (f.video.size == 0 || f.video.width == 0 || f.video.height == 0) return false;
  if (f.video.bitCount != 8 && f.video.bitCount != 24) return false;
  if (f.video.planes != 1 || f.video.compression != 0) return false;
  return !(f.flags & pifAudio) || acceptsSound(f);
}

FOURCC fourCharacterCode(const char* text) {
  char code[4] = {};
  std::memcpy(code, text, strnlen(text, 4));
  return mmioFOURCC(code[0], code[1], code[2], code[3]);
}

void fillVideoOptions(AviBlock& block) {
  RegisterCompressorSettings();
  const CompressorSettings& settings = Compressor();
  AVICOMPRESSOPTIONS& o = block.videoOptions;
  o = {};
  o.fccType = streamtypeVIDEO;
  o.fccHandler = fourCharacterCode(settings.codec);
  o.dwKeyFrameEvery = uint32_t(settings.keyframeEvery);
  o.dwQuality = uint32_t(settings.quality);
  o.dwBytesPerSecond = uint32_t(settings.bytesPerSec);
  o.dwFlags = AVICOMPRESSF_VALID | (settings.useKeyframe ? AVICOMPRESSF_KEYFRAMES : 0) |
              (settings.useDatarate ? AVICOMPRESSF_DATARATE : 0);
  block.hasVideoOptions = true;
}

void fillStreamInfo(AviBlock& block) {
  const FormatRecord f = FormatOf(block);
  AVISTREAMINFOA& video = block.videoInfo;
  video = {};
  video.fccType = streamtypeVIDEO;
  video.fccHandler = mmioFOURCC('c', 'v', 'i', 'd');
  // The exact frame rate, so picture and sound stay in step: frames per 1000 seconds.
  video.dwScale = 1000;
  video.dwRate = uint32_t(f.frameRate);
  video.dwQuality = 10000;
  video.rcFrame = {0, 0, f.video.width, f.video.height};
  std::snprintf(video.szName, sizeof video.szName, "Video stream #0");
  block.hasVideoInfo = true;
  if (!(f.flags & pifAudio)) return;
  AVISTREAMINFOA& audio = block.audioInfo;
  audio = {};
  audio.fccType = streamtypeAUDIO;
  audio.dwScale = 1;
  audio.dwRate = f.sampleRate;
  audio.dwInitialFrames = uint32_t(audioLeadOf(f.frameRate));
  audio.dwQuality = 10000;
  audio.dwSampleSize = f.blockAlign;
  std::snprintf(audio.szName, sizeof audio.szName, "Audio stream #0");
  block.hasAudioInfo = true;
}

bool createFile(AviBlock& block, const char* fileName, bool compressed) {
  const FormatRecord f = FormatOf(block);
  if (!compressed) {
    std::memcpy(block.headerBuffer, &f.video, kBitmapHeaderBytes);
    fillVideoOptions(block);
    fillStreamInfo(block);
  } else {
    block.videoInfo.fccHandler = block.videoOptions.fccHandler;
    block.videoInfo.dwQuality = block.videoOptions.dwQuality;
  }
  bool created = fileName != nullptr;
  if (created) {
    std::remove(fileName);
    created = AVIFileOpenA(&block.file, fileName, kCreateReadWrite, nullptr) == AVIERR_OK;
    if (!created) block.file = nullptr;
  }
  created =
      created && AVIFileCreateStreamA(block.file, &block.video, &block.videoInfo) == AVIERR_OK;
  if ((f.flags & pifAudio) && created)
    created = AVIFileCreateStreamA(block.file, &block.audio, &block.audioInfo) == AVIERR_OK;
  if (compressed && created)
    created = AVIMakeCompressedStream(&block.compressedVideo, block.video, &block.videoOptions,
                                      nullptr) == AVIERR_OK;
  if (!created) CloseInstance(block);
  return created;
}

bool prepare(AviBlock& block, const char* fileName) {
  // A second preparation finishes the file of the first rather than abandoning it.
  if (block.file) CloseInstance(block);
  return createFile(block, fileName, false);
}

bool ensureFile(AviBlock& block, const char* fileName) {
  return block.file || !block.optionsChosen || createFile(block, fileName, true);
}

// Colours in the palette of an 8-bit frame of the accepted format (0 there means all 256).
uint32_t paletteEntries(const FormatRecord& f) {
  if (f.video.bitCount != 8) return 0;
  return f.video.clrUsed == 0 || f.video.clrUsed > 256 ? 256 : f.video.clrUsed;
}

// Where a frame's pixels start and how many bytes they take, when the frame is of the accepted
// format and (when its size is known) holds all it claims.
struct FramePixels {
  const uint8_t* pixels;
  uint32_t bytes;
};
std::optional<FramePixels> framePixels(const AviBlock& block) {
  if (!block.inputData) return std::nullopt;
  if (block.inputSize > 0 && uint32_t(block.inputSize) < kBitmapHeaderBytes) return std::nullopt;
  const FormatRecord f = FormatOf(block);
  BitmapInfoHeader h{};
  std::memcpy(&h, block.inputData, sizeof h);
  const uint32_t colours = h.bitCount == 8 && h.clrUsed == 0 ? 256 : h.clrUsed;
  if (h.size != kBitmapHeaderBytes || h.width != f.video.width || h.height != f.video.height ||
      h.bitCount != f.video.bitCount || h.compression != 0 || h.planes != 1 ||
      (h.bitCount == 8 && colours != paletteEntries(f)))
    return std::nullopt;
  const uint64_t rowBytes = (uint64_t(uint32_t(h.width)) * h.bitCount + 31) / 32 * 4;
  const uint64_t needed = rowBytes * uint64_t(h.height < 0 ? -int64_t(h.height) : h.height);
  const uint64_t bytes = h.sizeImage ? h.sizeImage : needed;
  const uint64_t offset = kBitmapHeaderBytes + 4ull * paletteEntries(f);
  if (bytes < needed || offset + bytes > uint64_t(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  if (block.inputSize > 0 && offset + bytes > uint64_t(block.inputSize)) return std::nullopt;
  return FramePixels{static_cast<const uint8_t*>(block.inputData) + offset, uint32_t(bytes)};
}

bool writeFrame(AviBlock& block, const char* fileName) {
  if (!ensureFile(block, fileName)) return false;
  const PAVISTREAM target = block.compressedVideo ? block.compressedVideo : block.video;
  if (!target) return false;
  const std::optional<FramePixels> frame = framePixels(block);
  if (!frame) return false;
  block.written = true;
  const FormatRecord f = FormatOf(block);
  if (block.videoPosition == 0) {
    uint32_t headerBytes = kBitmapHeaderBytes;
    if (f.video.bitCount == 8) {
      headerBytes += 4 * paletteEntries(f);
      std::memcpy(block.headerBuffer, block.inputData, headerBytes);
    }
    if (AVIStreamSetFormat(target, 0, block.headerBuffer, int32_t(headerBytes)) != AVIERR_OK)
      return false;
  }
  // An interval of 0 marks every frame; so does the default of -1, which divides every position.
  const int32_t interval = int32_t(block.videoOptions.dwKeyFrameEvery);
  const bool key = interval == 0 || block.videoPosition % interval == 0;
  int32_t samples = 0;
  const HRESULT status =
      AVIStreamWrite(target, block.videoPosition, 1, frame->pixels, int32_t(frame->bytes),
                     key ? AVIIF_KEYFRAME : 0, &samples, nullptr);
  block.videoPosition += std::max(samples, 0);
  return status == AVIERR_OK;
}

bool writeSound(AviBlock& block, const char* fileName) {
  if (!ensureFile(block, fileName)) return false;
  if (!block.audio) return true;
  const FormatRecord f = FormatOf(block);
  if (block.inputSize < 0 || (block.inputSize > 0 && !block.inputData) || f.blockAlign == 0)
    return false;
  block.written = true;
  // Whole sample frames only: a stray byte would shift every later sample.
  const int32_t samples = block.inputSize / f.blockAlign;
  if (samples == 0) return true;
  if (block.audioPosition == 0 &&
      AVIStreamSetFormat(block.audio, 0, block.format + offsetof(FormatRecord, formatTag),
                         int32_t(sizeof(WaveFormat))) != AVIERR_OK)
    return false;
  int32_t written = 0;
  const HRESULT status = AVIStreamWrite(block.audio, block.audioPosition, samples, block.inputData,
                                        samples * f.blockAlign, 0, &written, nullptr);
  block.audioPosition += std::max(written, 0);
  return status == AVIERR_OK;
}

}  // namespace

bool SetFormat(AviBlock& block, const void* format) {
  if (!format) return false;
  uint32_t flags = 0;
  std::memcpy(&flags, format, sizeof flags);
  if (flags & pifLongFormat) {
    std::memcpy(block.format, format, kFormatRecordBytes);
    SetFormatLong(block, kAudioLeadAt, audioLeadOf(FormatOf(block).frameRate));
    SetFormatLong(block, kInterleaveAt, 1);
  } else {
    std::memset(block.format, 0, sizeof block.format);
    std::memcpy(block.format, format, kFormatCopyBytes);
    SetFormatLong(block, kRecordVersionAt, 1);
  }
  return acceptsFormat(block);
}

bool SaveData(AviBlock& block, int32_t mode, const char* fileName) {
  switch (mode) {
    case 0:
      return prepare(block, fileName);
    case 1:
      return writeFrame(block, fileName);
    case 2:
      return writeSound(block, fileName);
    default:
      return false;
  }
}

}  // namespace kpl::clipvane
