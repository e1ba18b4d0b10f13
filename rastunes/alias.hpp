#pragma once
// Alias pictures: a 10-byte header and 4-byte run-length packets of 24-bit colour, both ways.
#include <cstdint>
#include <optional>

#include "picture_io.hpp"

namespace kpl::rastunes {

inline constexpr uint64_t kAliasHeaderBytes = 10;
inline constexpr int32_t kAliasMaxSide = 4095;  // the largest width or height the reader takes

std::optional<PictureSize> ReadAliasHeader(const char* path);
uint32_t ReadAliasPicture(const char* path);
bool WriteAliasPicture(const char* path, const void* frame24, uint64_t bytes);

}  // namespace kpl::rastunes
