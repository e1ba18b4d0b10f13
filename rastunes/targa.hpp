#pragma once
// Targa pictures: colour-mapped, true-colour and run-length-coded files of 8, 16, 24 and 32
// bits per pixel in all four orientations are read; uncompressed 24-bit top-left files are
// written.
#include <cstdint>
#include <optional>

#include "picture_io.hpp"

namespace kpl::rastunes {

// The image ID the writer puts after the header: the signature and a zero byte.
inline constexpr char kTargaSignature[] = "Made by RASTUNE.KPL by Tessalbrook";
inline constexpr size_t kTargaIdBytes = sizeof kTargaSignature;  // 35, terminator included

std::optional<PictureSize> ReadTargaHeader(const char* path);
uint32_t ReadTargaPicture(const char* path);
bool WriteTargaPicture(const char* path, const void* frame24, uint64_t bytes);

}  // namespace kpl::rastunes
