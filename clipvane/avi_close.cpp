// The close sequence, the comment chunk, and the format copy's accessors.
#include <cstring>
#include <string_view>
#include <vector>

#include "avi_block.hpp"

namespace kpl::clipvane {
namespace {

constexpr std::string_view kComment =
    "Created with CLIPVANE.KPL plug-in, part of the kpl file plug-ins";

// The comment as an INFO list: "INFO", "ICMT", the text's length with its terminator, the text.
void writeComment(PAVIFILE file) {
  const uint32_t textBytes = uint32_t(kComment.size() + 1);
  std::vector<uint8_t> data(12 + textBytes, 0);
  std::memcpy(data.data(), "INFOICMT", 8);
  for (int i = 0; i < 4; ++i)
    data[8 + i] = uint8_t(textBytes >> (8 * i));
  std::memcpy(data.data() + 12, kComment.data(), kComment.size());
  AVIFileWriteData(file, FOURCC_LIST, data.data(), int32_t(data.size()));
}

template <class Release, class Object>
void release(Object*& object, Release fn) {
  if (object) fn(object);
  object = nullptr;
}

void freeBlock(uint32_t& handle, void*& address, uint32_t& result) {
  if (!handle) return;
  GlobalUnlock(handle);
  GlobalFree(handle);
  if (result == handle) result = 0;
  handle = 0;
  address = nullptr;
}

}  // namespace

void CloseInstance(AviBlock& block) {
  release(block.compressedVideo, AVIStreamRelease);
  release(block.decoder, AVIStreamGetFrameClose);
  release(block.video, AVIStreamRelease);
  release(block.audio, AVIStreamRelease);
  if (block.file && block.written) writeComment(block.file);
  block.written = false;
  block.hasVideoOptions = block.hasVideoInfo = block.hasAudioInfo = false;
  block.videoOptions = {};
  release(block.file, AVIFileRelease);

  freeBlock(block.frameBlock, block.frameAddress, block.result);
  freeBlock(block.soundBlock, block.soundAddress, block.result);
  block.frameBlockSize = 0;
  block.frameColoursUsed = 0;
  block.openAudioStream = -1;
  block.videoPosition = block.audioPosition = 0;
  block.pendingPosition = -1;
}

FormatRecord FormatOf(const AviBlock& block) {
  FormatRecord record{};
  std::memcpy(&record, block.format, sizeof record);
  return record;
}

int32_t FormatLong(const AviBlock& block, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, block.format + offset, sizeof value);
  return value;
}

void SetFormatLong(AviBlock& block, size_t offset, int32_t value) {
  std::memcpy(block.format + offset, &value, sizeof value);
}

uint32_t NewFormatRecordBlock(const AviBlock& block) {
  const uint32_t handle = AllocBlock(kSharedZeroed, kFormatRecordBytes);
  if (!handle) return 0;
  BlockLock lock(handle);
  if (!lock) {
    GlobalFree(handle);
    return 0;
  }
  std::memcpy(lock.get(), block.format, kFormatRecordBytes);
  return handle;
}

}  // namespace kpl::clipvane
