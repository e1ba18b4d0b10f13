#include "kpl/support/tessal_plug.hpp"

#include <algorithm>
#include <cstring>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/platform/sound.h"

namespace kpl {

uint32_t AllocBlock(uint32_t flags, size_t size) {
  const uint32_t handle = GlobalAlloc(flags & 0xFFFF, size);
  if (!handle) MessageBeep(MB_OK);
  return handle;
}

uint32_t NewPatternBlock(const char* pattern) {
  char text[256] = {};
  std::strncpy(text, pattern ? pattern : "", sizeof text - 1);
  const size_t bytes = std::strlen(text) + 1;
  const uint32_t handle = AllocBlock(kShared, bytes);
  if (!handle) return 0;
  BlockLock lock(handle);
  if (!lock) {
    GlobalFree(handle);
    return 0;
  }
  std::memcpy(lock.get(), text, bytes);
  return handle;
}

uint32_t NewPictureFormatRecord(int32_t width, int32_t height) {
  FormatRecord record{};
  record.flags = 1;  // video
  record.frameCount = 1;
  record.video.size = kBitmapHeaderBytes;
  record.video.width = width;
  record.video.height = height;
  record.video.planes = 1;
  record.video.bitCount = 24;
  return NewFileInstance(record);
}

FormatRecord FormatFromCopy(const uint8_t (&copy)[kFormatCopyBytes]) {
  FormatRecord record{};
  std::memcpy(&record, copy, kFormatCopyBytes);
  return record;
}

bool AcceptsPictureFormat(const FormatRecord& format, std::span<const uint16_t> depths) {
  if (!(format.flags & 0x1)) return false;
  if (format.video.size == 0) return false;
  if (format.video.width == 0 || format.video.height == 0) return false;
  if (!depths.empty() &&
      std::find(depths.begin(), depths.end(), format.video.bitCount) == depths.end())
    return false;
  return !(format.flags & 0x2);
}

bool AcceptsSoundFormat(const FormatRecord& format) {
  return format.sampleFrames > 0 && (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
         format.formatTag == 1 && format.channels != 0 && format.blockAlign != 0;
}

}  // namespace kpl
