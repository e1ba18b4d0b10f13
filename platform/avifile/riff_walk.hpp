#pragma once
// Walking the chunks of one level of a RIFF file, never past the end of the region or file.
#include <algorithm>
#include <cstdint>

#include "byte_file.hpp"
#include "le_bytes.hpp"

namespace kpl::avi {

struct ChunkAt {
  uint32_t id = 0;
  uint32_t size = 0;      // as the header states
  uint32_t listType = 0;  // RIFF and LIST chunks
  uint64_t data = 0;      // offset of the data (for RIFF and LIST, of the list type)
  uint64_t end = 0;       // end of the data, cut at the end of the region
};

inline constexpr uint32_t kRiff = fourcc("RIFF");
inline constexpr uint32_t kList = fourcc("LIST");

// Calls visit(const ChunkAt&) for each chunk header in [begin, end); visit answers false to stop.
// Every step moves at least one header forward, so the walk ends.
template <class Visit>
void walkChunks(const ByteFile& file, uint64_t begin, uint64_t end, Visit&& visit) {
  uint64_t at = begin;
  while (at + 8 <= end) {
    uint8_t header[12];
    if (!file.readAt(at, header, 8)) return;
    ChunkAt chunk;
    chunk.id = le32(header);
    chunk.size = le32(header + 4);
    chunk.data = at + 8;
    chunk.end = std::min<uint64_t>(chunk.data + chunk.size, end);
    if ((chunk.id == kRiff || chunk.id == kList) && chunk.end >= chunk.data + 4 &&
        file.readAt(chunk.data, header + 8, 4))
      chunk.listType = le32(header + 8);
    if (!visit(chunk)) return;
    at = chunk.data + padded(chunk.size);
  }
}

}  // namespace kpl::avi
