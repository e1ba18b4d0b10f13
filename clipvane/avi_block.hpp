#pragma once
// The instance block that reading and writing share, and the calls of the AVI file type.
#include <cstdint>

#include "kpl/platform/avifile.h"
#include "kpl/support/tessal_plug.hpp"
#include "kpl/support/type_routing.hpp"

namespace kpl::clipvane {

inline constexpr uint32_t kTypeFlags = 0x45070303;
inline constexpr uint32_t kInstanceBits = 0x45070003;
inline constexpr uint32_t kFormatRecordBytes = 128;
inline constexpr uint32_t kHeaderBufferBytes = 40 + 256 * 4;

// String ids: the type name is shifted by the language offset, the pattern is not.
inline constexpr uint32_t kNameString = 1;
inline constexpr uint32_t kPatternString = 30000;

// Offsets of the long part of a format record.
inline constexpr size_t kRecordVersionAt = 76;
inline constexpr size_t kAudioLeadAt = 80;
inline constexpr size_t kInterleaveAt = 84;

// Fields in the order the type keeps them. The AVI services' objects are kept by address; the
// stream descriptions, the compression options and the header buffer live in the block itself,
// so freeing the block can never leave them behind.
struct AviBlock {
  uint32_t flags;
  int32_t pendingPosition;  // -1: none
  int32_t videoPosition;
  int32_t audioPosition;
  PAVIFILE file;
  PAVISTREAM compressedVideo;
  PAVISTREAM video;
  PAVISTREAM audio;
  bool hasVideoInfo;
  AVISTREAMINFOA videoInfo;
  bool hasAudioInfo;
  AVISTREAMINFOA audioInfo;
  int32_t openAudioStream;  // mode of the last sound read on the open stream; -1 after close
  PGETFRAME decoder;
  bool optionsChosen;
  bool hasVideoOptions;
  AVICOMPRESSOPTIONS videoOptions;
  uint32_t frameBlock;
  uint32_t soundBlock;
  void* frameAddress;  // the frame and sound blocks stay locked while they exist
  void* soundAddress;
  uint32_t frameBlockSize;
  uint32_t frameColoursUsed;  // colours used as the frame block's header states them
  bool written;
  const void* inputData;
  int32_t inputSize;
  uint32_t result;
  uint8_t format[kFormatRecordBytes];
  uint8_t headerBuffer[kHeaderBufferBytes];
};

FormatRecord FormatOf(const AviBlock& block);
int32_t FormatLong(const AviBlock& block, size_t offset);
void SetFormatLong(AviBlock& block, size_t offset, int32_t value);

// Reading (mode 0, 1 and 2 and up of piLocalLoadData).
bool LoadData(AviBlock& block, int32_t mode, const char* fileName);
// Writing.
bool SetFormat(AviBlock& block, const void* format);
bool SaveData(AviBlock& block, int32_t mode, const char* fileName);
// Releases everything the instance opened, writing the comment chunk into a file that
// received data; the instance can then read or write again.
void CloseInstance(AviBlock& block);

// A new 128-byte record (shared, zeroed) holding the block's format copy; 0 on failure.
uint32_t NewFormatRecordBlock(const AviBlock& block);

}  // namespace kpl::clipvane
