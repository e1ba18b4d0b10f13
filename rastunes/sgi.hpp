#pragma once
// SGI pictures: verbatim and run-length files of one or two bytes per value and one to three
// channels (further channels are not read) are read; verbatim one-byte three-channel files are
// written.
#include <cstdint>
#include <optional>

#include "picture_io.hpp"

namespace kpl::rastunes {

inline constexpr char kSgiSignature[] = "Made by RASTUNE.KPL by Tessalbrook";
inline constexpr uint64_t kSgiHeaderBytes = 512;
// A run-length file is read whole; larger ones are refused.
inline constexpr uint64_t kMaxSgiRunLengthFileBytes = kMaxFrameBytes;

// The header of a file the reader can decode, or none.
std::optional<PictureSize> ReadSgiHeader(const char* path);
// The size the format record gets from whatever header the file holds (missing bytes read as
// zero); none when the file cannot be opened.
std::optional<PictureSize> SgiRecordedSize(const char* path);
uint32_t ReadSgiPicture(const char* path);
bool WriteSgiPicture(const char* path, const void* frame24, uint64_t bytes);

}  // namespace kpl::rastunes
