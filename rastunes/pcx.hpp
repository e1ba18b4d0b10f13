#pragma once
// PCX pictures: monochrome, 2- to 16-colour planar, 256-colour and 24-bit three-plane files
// are read; the 24-bit three-plane form is written.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "picture_io.hpp"

namespace kpl::rastunes {

// The header of a file the reader can decode, or none.
std::optional<PictureSize> ReadPcxHeader(const char* path);
// A new 24-bit frame, or 0.
uint32_t ReadPcxPicture(const char* path);
// Writes the 24-bit frame `frame24` (a handle) as a 24-bit three-plane file.
bool WritePcxPicture(const char* path, const void* frame24, uint64_t bytes);

// Run-length codes one plane line: runs of at most 63 equal bytes, a run longer than 1 or a
// single byte of 0xC0 or above as a count byte and the value, any other byte as itself.
// The first form writes at most 2 x bytes into `out` and answers how many it wrote.
size_t EncodePcxLine(const uint8_t* line, size_t bytes, uint8_t* out);
void EncodePcxLine(const uint8_t* line, size_t bytes, std::vector<uint8_t>& out);

}  // namespace kpl::rastunes
