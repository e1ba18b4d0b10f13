// The AIFF types: streaming instances that read a file block by block from a position the
// host sets, or write one block by block after headers made from the announced length.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "aiff.hpp"
#include "file_types.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/tessal_plug.hpp"
#include "picture_io.hpp"

namespace kpl::rastunes {
namespace {

constexpr uint32_t First = kAiffFirstIndex;
constexpr uint32_t kRead = 0x100, kWrite = 0x200, kStream = 0x1000000;

// The streaming block, and where the sound data of the file being read ends, so that a read
// never delivers the chunks after it as samples.
struct AiffBlock {
  StreamingSoundBlock s;
  uint64_t dataEnd;
};

bool reads(const StreamingSoundBlock& s) {
  return (s.flags & kRead) && (s.flags & kStream);
}

void closeStream(StreamingSoundBlock& s) {
  if (s.file >= 0) ::close(s.file);
  s.file = -1;
  s.idle = 1;
}

void freeReadBuffer(StreamingSoundBlock& s) {
  if (!s.readBuffer) return;
  GlobalUnlock(s.readBuffer);
  GlobalFree(s.readBuffer);
  // The handle is no longer the host's to fetch.
  if (s.result == s.readBuffer) s.result = 0;
  s.readBuffer = 0;
  s.readAddress = nullptr;
}

bool startStream(AiffBlock& b) {
  StreamingSoundBlock& s = b.s;
  closeStream(s);
  if (!reads(s)) return true;
  freeReadBuffer(s);
  const int64_t blockSize = FormatFromCopy(s.format).blockSize;
  if (blockSize <= 0) return false;
  const uint32_t buffer = AllocBlock(kShared, size_t(blockSize) * 4);
  if (!buffer) return false;
  s.readBuffer = buffer;
  s.readAddress = GlobalLock(buffer);  // locked until the stream ends
  return s.readAddress != nullptr;
}

bool endStream(AiffBlock& b) {
  if (reads(b.s)) freeReadBuffer(b.s);
  closeStream(b.s);
  return true;
}

void putLayout(FormatRecord& f, const aiff::Layout& layout) {
  f.formatTag = 1;
  f.channels = layout.channels;
  f.bitsPerSample = layout.bitsPerSample;
  f.blockAlign = uint16_t(layout.channels * layout.bitsPerSample / 8);
  f.sampleRate = layout.sampleRate;
  f.averageBytesPerSecond = layout.sampleRate * f.blockAlign;
}

int openForReading(const char* path) {
  return path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
}

// piLocalLoadData mode 0: a new format record, the result whatever the answer.
bool loadFormat(AiffBlock& b, const char* path) {
  StreamingSoundBlock& s = b.s;
  const uint32_t handle = AllocBlock(kSharedZeroed, sizeof(FormatRecord));
  if (!handle) return false;
  s.result = handle;
  FormatRecord record{};
  bool answer = false;
  if (!path) {
    const FormatRecord own = FormatFromCopy(s.format);
    record.flags = 0x1000002;
    SetWaveFormat(record, WaveFormatOf(own));
    record.blockSize = int32_t(own.averageBytesPerSecond);
    answer = true;
  } else if (s.file < 0) {
    const int fd = openForReading(path);
    const auto layout = fd >= 0 ? aiff::Parse(fd) : std::nullopt;
    if (fd >= 0) ::close(fd);
    if (layout) {
      record.flags = 0x1000002;
      record.sampleFrames = int32_t(layout->sampleFrames);
      putLayout(record, *layout);
      record.blockSize = int32_t(record.averageBytesPerSecond);
      answer = true;
    }
  }
  BlockLock lock(handle);
  if (!lock) return false;
  std::memcpy(lock.get(), &record, kFormatCopyBytes);
  return answer;
}

// piLocalLoadData mode 2 and up: the next block from the frame position.
bool readBlock(AiffBlock& b, const char* path) {
  StreamingSoundBlock& s = b.s;
  if (s.idle) {
    const int fd = openForReading(path);
    if (fd < 0) return false;
    const auto layout = aiff::Parse(fd);
    if (!layout) {
      ::close(fd);
      return false;
    }
    FormatRecord own = FormatFromCopy(s.format);
    putLayout(own, *layout);
    std::memcpy(s.format, &own, kFormatCopyBytes);
    s.file = fd;
    s.dataStart = layout->dataStart;
    b.dataEnd = layout->dataEnd;
    s.idle = 0;
  }
  if (!s.readAddress || s.file < 0) return false;
  const FormatRecord own = FormatFromCopy(s.format);
  if (own.blockSize <= 0 || own.blockAlign == 0) return false;
  const size_t block = std::min<size_t>(size_t(own.blockSize), GlobalSize(s.readBuffer));
  const uint64_t at = uint64_t(s.dataStart) + uint64_t(s.framePosition) * own.blockAlign;
  // Whole sample frames only: a partial frame at the end would never advance the position.
  const uint64_t available = b.dataEnd > at ? b.dataEnd - at : 0;
  const size_t wanted =
      size_t(std::min<uint64_t>(block, available) / own.blockAlign * own.blockAlign);
  auto* buffer = static_cast<uint8_t*>(s.readAddress);
  // A file that ends inside a frame delivers the whole frames before it.
  const size_t got = ReadUpTo(s.file, at, buffer, wanted) / own.blockAlign * own.blockAlign;
  std::memset(buffer + got, own.bitsPerSample == 8 ? 0x80 : 0, block - got);
  aiff::ConvertSamples(buffer, buffer, got, own.bitsPerSample);
  s.result = s.readBuffer;
  s.framePosition += uint32_t(got / own.blockAlign);
  return got > 0;
}

bool writeAll(int fd, const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t done = ::write(fd, data, bytes);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    bytes -= size_t(done);
  }
  return true;
}

// piLocalSaveData mode 2 and up: the headers before the first block, then the block, cut to
// the announced length. The host's samples are converted into a buffer of our own.
bool writeBlock(AiffBlock& b, const char* path) {
  StreamingSoundBlock& s = b.s;
  if (s.idle && (s.flags & kWrite) && s.file < 0 && path)
    s.file = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (s.file < 0) return false;
  const FormatRecord own = FormatFromCopy(s.format);
  if (s.idle) {
    const uint64_t bytes = uint64_t(uint32_t(std::max(own.sampleFrames, 0))) * own.blockAlign;
    bool written = bytes <= UINT32_MAX - aiff::kHeaderBytes - 1;
    if (written) {
      s.bytesToWrite = uint32_t(bytes);
      s.padPending = bytes & 1;
      uint8_t header[aiff::kHeaderBytes];
      aiff::BuildHeader(own.channels, uint32_t(own.sampleFrames), own.bitsPerSample, own.sampleRate,
                        s.bytesToWrite, header);
      written = writeAll(s.file, header, sizeof header);
    }
    if (!written) {
      // Nothing usable was written: the next block starts the file again.
      ::close(s.file);
      s.file = -1;
      return false;
    }
    s.idle = 0;
  }
  if (s.sampleBytes > 0 && uint32_t(s.sampleBytes) > s.bytesToWrite)
    s.sampleBytes = int32_t(s.bytesToWrite);
  if (s.sampleBytes <= 0) return true;
  if (!s.samples) return false;
  const auto* in = static_cast<const uint8_t*>(s.samples);
  size_t left = size_t(s.sampleBytes);
  uint8_t converted[32768];
  while (left > 0) {
    const size_t n = std::min(left, sizeof converted);
    aiff::ConvertSamples(in, converted, n, own.bitsPerSample);
    if (!writeAll(s.file, converted, n)) return false;
    in += n;
    left -= n;
    s.bytesToWrite -= uint32_t(n);
  }
  if (s.bytesToWrite == 0 && s.padPending) {
    const uint8_t pad = 0;
    if (!writeAll(s.file, &pad, 1)) return false;
    s.padPending = 0;
  }
  return true;
}

constexpr TypeOps kAiff = {
    .blockBytes = sizeof(AiffBlock),
    .init = [](uint32_t) { return true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t v) { return TypeNameBuffer(First + v); },
    .flags = [](uint32_t) { return kSoundTypeFlags; },
    .localInit =
        [](uint32_t, uint32_t mode) {
          AiffBlock block{};
          block.s.flags = mode | kSoundInstanceBits;
          block.s.idle = 1;
          block.s.file = -1;
          return NewFileInstance(block);
        },
    .setFormat =
        [](const Instance& i, const void* format) {
          if (!format) return false;
          auto& s = i.as<AiffBlock>().s;
          std::memcpy(s.format, format, kFormatCopyBytes);
          return AcceptsSoundFormat(FormatFromCopy(s.format));
        },
    .length =
        [](const Instance& i, int32_t position) {
          i.as<AiffBlock>().s.framePosition = uint32_t(position);
          return true;
        },
    .setData =
        [](const Instance& i, void* samples, int32_t bytes, void*, int32_t) {
          auto& s = i.as<AiffBlock>().s;
          s.samples = samples;
          s.sampleBytes = bytes;
          return true;
        },
    .processStart = [](const Instance& i) { return startStream(i.as<AiffBlock>()); },
    .processEnd = [](const Instance& i) { return endStream(i.as<AiffBlock>()); },
    .getData =
        [](const Instance& i) {
          auto& s = i.as<AiffBlock>().s;
          if (!s.result) s.result = NewPatternBlock(kFileTypes[First + i.variant].pattern);
          return s.result;
        },
    .saveData =
        [](const Instance& i, int32_t mode, char* path) {
          if (mode == 0) return startStream(i.as<AiffBlock>());
          return mode >= 2 && writeBlock(i.as<AiffBlock>(), path);
        },
    .loadData =
        [](const Instance& i, int32_t mode, char* path) {
          if (mode == 0) return loadFormat(i.as<AiffBlock>(), path);
          return mode >= 2 && readBlock(i.as<AiffBlock>(), path);
        },
    .localName = [](uint32_t v, const Instance*) { return TypeNameBuffer(First + v); },
};

}  // namespace

const TypeOps& AiffType() {
  return kAiff;
}

}  // namespace kpl::rastunes
