#include "file_types.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"

namespace kpl::rastunes::picture_calls {

uint32_t NewInstance() {
  SingleImageBlock block{};
  block.flags = kPictureTypeFlags;
  return NewFileInstance(block);
}

bool SetFormat(const Instance& i, const void* format, std::span<const uint16_t> depths) {
  if (!format) return false;
  auto& block = i.as<SingleImageBlock>();
  std::memcpy(block.format, format, kFormatCopyBytes);
  return AcceptsPictureFormat(FormatFromCopy(block.format), depths);
}

bool SetData(const Instance& i, void* frame, int32_t size) {
  auto& block = i.as<SingleImageBlock>();
  block.frame = frame;
  block.frameSize = size;
  return true;
}

uint32_t GetData(const Instance& i, uint32_t firstIndex) {
  auto& block = i.as<SingleImageBlock>();
  if (!block.result) block.result = NewPatternBlock(kFileTypes[firstIndex + i.variant].pattern);
  return block.result;
}

bool Load(const Instance& i, int32_t mode, const char* path, const PictureFormat& format) {
  auto& block = i.as<SingleImageBlock>();
  if (!path) return false;
  if (mode == 0 && format.recordedSize) {
    const auto recorded = format.recordedSize(path);
    if (!recorded) return false;
    const uint32_t record = NewPictureFormatRecord(recorded->width, recorded->height);
    if (!record) return false;
    block.result = record;
    return format.readHeader(path).has_value();
  }
  if (mode == 0) {
    const auto size = format.readHeader(path);
    if (!size) return false;
    const uint32_t record = NewPictureFormatRecord(size->width, size->height);
    if (!record) return false;
    block.result = record;
    return true;
  }
  if (mode == 1) {
    block.result = format.readPicture(path);
    return block.result != 0;
  }
  return false;
}

bool Save(const Instance& i, int32_t mode, const char* path, const PictureFormat& format) {
  auto& block = i.as<SingleImageBlock>();
  if (mode != 0 || !path || !block.frame) return false;
  // A host that saves after its format was refused gets the same answer again.
  if (!AcceptsPictureFormat(FormatFromCopy(block.format), format.saverDepths)) return false;
  // A frame that already is 24-bit is written from where it lies; others go through a copy.
  if (IsFrame24(block.frame)) {
    const uint64_t bytes = ReadHeader(block.frame).size + ImageBytes(block.frame);
    if (bytes <= kMaxGlobalBlockBytes) return format.writePicture(path, block.frame, bytes);
  }
  OwnedBlock copy(ToFrame24(block.frame));
  if (!copy) return false;
  BlockLock lock(copy.get());
  return lock && format.writePicture(path, lock.get(), GlobalSize(copy.get()));
}

}  // namespace kpl::rastunes::picture_calls
