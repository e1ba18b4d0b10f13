#pragma once
// What every file module shares: the block allocator, the 128-byte format record the host and
// a file type exchange, the instance blocks of single-image and streaming types, the pattern
// block and the format checks of the savers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/plug_hdr.hpp"

namespace kpl {

// A global block; the default beep and 0 when the platform refuses it.
uint32_t AllocBlock(uint32_t flags, size_t size);

inline constexpr uint32_t kSharedZeroed = 0x2040;  // instance blocks and format records
inline constexpr uint32_t kShared = 0x2000;        // pattern blocks and sound buffers

#pragma pack(push, 1)
struct FormatRecord {
  uint32_t flags;
  int32_t frameCount;
  int32_t frameRate;
  BitmapInfoHeader video;
  int32_t sampleFrames;
  uint16_t formatTag;
  uint16_t channels;
  uint32_t sampleRate;
  uint32_t averageBytesPerSecond;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  int32_t blockSize;
  uint8_t longPart[52];
};
#pragma pack(pop)
static_assert(sizeof(FormatRecord) == 128);

// A record's sound fields are laid out as a PCM wave format.
static_assert(offsetof(FormatRecord, bitsPerSample) + 2 - offsetof(FormatRecord, formatTag) ==
              sizeof(WaveFormat));
inline WaveFormat WaveFormatOf(const FormatRecord& record) {
  WaveFormat wave;
  std::memcpy(&wave, &record.formatTag, sizeof wave);
  return wave;
}
inline void SetWaveFormat(FormatRecord& record, const WaveFormat& wave) {
  std::memcpy(&record.formatTag, &wave, sizeof wave);
}

// The part of a format record a type copies and reads: everything before the long part.
inline constexpr size_t kFormatCopyBytes = 76;
static_assert(offsetof(FormatRecord, longPart) == kFormatCopyBytes);

// Instance block of a single-image type.
struct SingleImageBlock {
  uint32_t flags;
  uint8_t format[kFormatCopyBytes];
  const void* frame;  // first data argument of the last piLocalSetData
  int32_t frameSize;  // kept, not used
  uint32_t result;    // what piLocalGetData answers; 0 until something exists
};

// Instance block of a streaming sound type.
struct StreamingSoundBlock {
  uint32_t flags;
  uint8_t idle;  // 1 while no stream is open
  int32_t file;  // -1 when none
  uint32_t dataStart;
  uint32_t bytesToWrite;
  uint32_t framePosition;
  uint8_t padPending;
  uint8_t format[kFormatCopyBytes];
  uint32_t readBuffer;
  void* readAddress;
  void* samples;
  int32_t sampleBytes;
  uint32_t result;
};

// A new block holding `initial`, allocated with AllocBlock; 0 on failure.
template <class Block>
uint32_t NewFileInstance(const Block& initial) {
  OwnedBlock block(AllocBlock(kSharedZeroed, sizeof(Block)));
  if (!block) return 0;
  BlockLock lock(block.get());
  if (!lock) return 0;
  std::memcpy(lock.get(), &initial, sizeof(Block));
  return block.release();
}

// The type's file pattern as a zero-terminated text in a new shared block; 0 on failure.
uint32_t NewPatternBlock(const char* pattern);

// A zeroed format record describing one picture of that size as a 24-bit video frame.
uint32_t NewPictureFormatRecord(int32_t width, int32_t height);

// The checks of a single-image saver's piLocalSetFormat, in their order; `depths` empty means
// any depth.
bool AcceptsPictureFormat(const FormatRecord& format, std::span<const uint16_t> depths);
bool AcceptsSoundFormat(const FormatRecord& format);

// A format record read from any address (the host's need not be aligned), all 128 bytes, of
// which only the first kFormatCopyBytes are taken.
FormatRecord FormatFromCopy(const uint8_t (&copy)[kFormatCopyBytes]);

}  // namespace kpl
