// Reading: the format of a file (mode 0), its frames through the frame decoder (mode 1) and
// its sound from any audio stream (mode 2 and up).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "avi_block.hpp"
#include "kpl/platform/message_box.h"
#include "kpl/support/plug_hdr.hpp"
#include "riff_info.hpp"

namespace kpl::clipvane {
namespace {

constexpr uint32_t kOpenForReading = OF_READ | OF_SHARE_DENY_WRITE;
constexpr const char* kCaption = "ClipVane";

// The clip's duration in samples, formed in floating point and truncated once. The products
// come first: frames x 1000 x sample rate is exact in extended precision, so a clip of whole
// seconds gets its whole count (5 frames at 5 per second and 11025 Hz are 11025 samples, where
// dividing first leaves 11024.99...). A clip without a frame rate has no duration.
int32_t sampleCountOf(int32_t frames, int32_t frameRate, uint32_t sampleRate) {
  if (frameRate <= 0 || frames <= 0) return 0;
  const long double samples =
      (long double)frames * 1000.0L * (long double)sampleRate / (long double)frameRate;
  if (!(samples < (long double)std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return int32_t(samples);
}

bool loadFormat(AviBlock& block, const char* fileName) {
  block.result = 0;
  if (!fileName) {
    block.result = NewFormatRecordBlock(block);
    return block.result != 0;
  }
  const std::optional<RiffFacts> facts = RiffInfo(fileName);
  if (!facts || facts->kind != RiffFacts::kAvi) return false;

  FormatRecord record{};
  const bool sound = facts->sampleRate != 0;
  record.flags = sound ? pifLongFormat | pifStream | pifAudio | pifVideo : pifStream | pifVideo;
  record.frameCount = facts->length;
  record.frameRate = facts->frameRate;
  record.video.size = kBitmapHeaderBytes;
  record.video.width = facts->width;
  record.video.height = facts->height;
  record.video.planes = 1;
  record.video.bitCount = 24;
  if (sound) {
    record.sampleFrames = sampleCountOf(record.frameCount, record.frameRate, facts->sampleRate);
    record.formatTag = 1;
    record.channels = facts->channels;
    record.sampleRate = facts->sampleRate;
    record.blockAlign = uint16_t(uint32_t(facts->channels) * facts->bitsPerSample / 8);
    record.averageBytesPerSecond = uint32_t(record.blockAlign) * facts->sampleRate;
    record.bitsPerSample = facts->bitsPerSample;
    record.blockSize = int32_t(record.averageBytesPerSecond / 8);
  }
  std::memset(block.format, 0, sizeof block.format);
  std::memcpy(block.format, &record, sizeof record);
  block.result = NewFormatRecordBlock(block);
  return block.result != 0;
}

void takePendingPosition(AviBlock& block, int32_t& position) {
  if (block.pendingPosition < 0) return;
  position = block.pendingPosition;
  block.pendingPosition = -1;
}

bool openFile(AviBlock& block, const char* fileName) {
  if (block.file) return true;
  if (!fileName || AVIFileOpenA(&block.file, fileName, kOpenForReading, nullptr) != AVIERR_OK) {
    block.file = nullptr;
    return false;
  }
  return true;
}

// Bytes of header, colour table and pixels of a decoded frame, and the colours its table
// holds (a table of 0 entries at 8 bits or less means the full table). 0 for a header that
// cannot describe a frame.
uint64_t decodedFrameBytes(const BITMAPINFOHEADER& header, uint32_t& coloursUsed) {
  if (header.biSize < kBitmapHeaderBytes || header.biSize > 4096 || header.biWidth <= 0 ||
      header.biHeight == 0 || header.biBitCount == 0 || header.biBitCount > 32)
    return 0;
  coloursUsed = header.biClrUsed;
  if (coloursUsed == 0 && header.biBitCount <= 8) coloursUsed = 1u << header.biBitCount;
  if (coloursUsed > 256) return 0;
  const uint64_t rows = uint64_t(std::abs(int64_t(header.biHeight)));
  const uint64_t rowBytes = (uint64_t(header.biWidth) * header.biBitCount + 31) / 32 * 4;
  const uint64_t image = header.biSizeImage ? header.biSizeImage : rowBytes * rows;
  return uint64_t(header.biSize) + 4ull * coloursUsed + image;
}

// Copies a decoded frame into the frame block, which keeps the size of the first frame.
bool copyFrame(AviBlock& block, const void* decoded) {
  if (!decoded) return false;
  BITMAPINFOHEADER header{};
  std::memcpy(&header, decoded, sizeof header);
  uint32_t colours = 0;
  const uint64_t bytes = decodedFrameBytes(header, colours);
  if (bytes == 0) return false;
  std::memcpy(block.frameAddress, decoded, size_t(std::min<uint64_t>(bytes, block.frameBlockSize)));
  // The header states the colours its table holds.
  std::memcpy(static_cast<uint8_t*>(block.frameAddress) + offsetof(BITMAPINFOHEADER, biClrUsed),
              &block.frameColoursUsed, sizeof block.frameColoursUsed);
  return true;
}

bool firstFrame(AviBlock& block, const char* fileName) {
  if (!openFile(block, fileName)) {
    block.video = nullptr;
    return false;
  }
  if (!block.video && AVIFileGetStream(block.file, &block.video, streamtypeVIDEO, 0) != AVIERR_OK) {
    block.video = nullptr;
    return false;
  }
  block.decoder = AVIStreamGetFrameOpen(block.video, nullptr);
  if (!block.decoder) return false;
  const void* decoded = AVIStreamGetFrame(block.decoder, block.videoPosition);
  if (!decoded) return false;
  if (block.frameBlockSize == 0) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, decoded, sizeof header);
    uint32_t colours = 0;
    const uint64_t bytes = decodedFrameBytes(header, colours);
    if (bytes == 0 || bytes > uint64_t(std::numeric_limits<int32_t>::max())) return false;
    const uint32_t frame = AllocBlock(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(bytes));
    if (!frame) return false;
    block.frameAddress = GlobalLock(frame);
    if (!block.frameAddress) {
      GlobalFree(frame);
      return false;
    }
    block.frameBlock = frame;
    block.frameBlockSize = uint32_t(bytes);
    block.frameColoursUsed = colours;
  }
  return copyFrame(block, decoded);
}

bool loadFrame(AviBlock& block, const char* fileName) {
  takePendingPosition(block, block.videoPosition);
  bool read = false;
  if (block.decoder) {
    read = copyFrame(block, AVIStreamGetFrame(block.decoder, block.videoPosition));
  } else {
    if (!firstFrame(block, fileName)) return false;
    read = true;
  }
  block.result = block.frameBlock;
  ++block.videoPosition;
  return read;
}

// Reads `samples` at the audio position into the sound block; what the read delivered. The
// part of the block a short read leaves is silence, not the previous block's sound.
struct SoundRead {
  HRESULT status = AVIERR_OK;
  int32_t bytes = 0, samples = 0;
};
SoundRead readSound(AviBlock& block, int32_t samples, int32_t length) {
  const int32_t capacity = int32_t(std::min<size_t>(size_t(length), GlobalSize(block.soundBlock)));
  SoundRead read;
  read.status = AVIStreamRead(block.audio, block.audioPosition, samples, block.soundAddress,
                              capacity, &read.bytes, &read.samples);
  if (read.status != AVIERR_OK) read.bytes = read.samples = 0;
  read.bytes = std::clamp(read.bytes, 0, capacity);
  read.samples = std::max(read.samples, 0);
  const FormatRecord format = FormatOf(block);
  std::memset(static_cast<uint8_t*>(block.soundAddress) + read.bytes,
              format.bitsPerSample == 8 ? 0x80 : 0, size_t(capacity - read.bytes));
  return read;
}

bool loadSound(AviBlock& block, int32_t mode, const char* fileName) {
  takePendingPosition(block, block.audioPosition);
  const FormatRecord format = FormatOf(block);
  const int32_t length = format.blockSize;
  if (length <= 0 || format.blockAlign == 0) return false;
  const int32_t samples = length / format.blockAlign;

  SoundRead read;
  if (mode == block.openAudioStream && block.audio && block.soundBlock) {
    read = readSound(block, samples, length);
  } else {
    if (!block.file) {
      if (!openFile(block, fileName)) {
        block.audio = nullptr;
        return false;
      }
    } else if (block.openAudioStream > 1 && block.audio) {
      AVIStreamRelease(block.audio);
      block.audio = nullptr;
    }
    if (!block.soundBlock) {
      const uint32_t sound = AllocBlock(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(length));
      if (!sound) return false;
      block.soundAddress = GlobalLock(sound);
      if (!block.soundAddress) {
        GlobalFree(sound);
        return false;
      }
      block.soundBlock = sound;
    }
    if (!block.audio &&
        AVIFileGetStream(block.file, &block.audio, streamtypeAUDIO, mode - 2) != AVIERR_OK) {
      block.audio = nullptr;
      return false;
    }
    block.openAudioStream = mode;
    read = readSound(block, samples, length);
    if (read.status != AVIERR_OK) MessageBoxA(0, "AviStreamRead failed!", kCaption, MB_OK);
    if (read.bytes != length) MessageBoxA(0, "Readbytes <> Blocklength", kCaption, MB_OK);
    if (read.samples == 0) MessageBoxA(0, "samples read = 0", kCaption, MB_OK);
  }
  block.audioPosition += read.samples;
  block.result = block.soundBlock;
  return true;
}

}  // namespace

bool LoadData(AviBlock& block, int32_t mode, const char* fileName) {
  if (mode == 0) return loadFormat(block, fileName);
  if (mode == 1) return loadFrame(block, fileName);
  // Negative modes name no audio stream.
  if (mode < 2) return false;
  return loadSound(block, mode, fileName);
}

}  // namespace kpl::clipvane
