// Reading Alias pictures.
#include <algorithm>
#include <cstring>
#include <vector>

#include "alias.hpp"
#include "kpl/support/frame24.hpp"

namespace kpl::rastunes {
namespace {

std::optional<PictureSize> readHeader(const UniqueFile& file) {
  uint8_t b[kAliasHeaderBytes];
  if (!file.readAt(0, b, sizeof b)) return std::nullopt;
  const int32_t width = Be16(b), height = Be16(b + 2);
  if (Be16(b + 8) != 24 || width < 1 || width > kAliasMaxSide || height < 1 ||
      height > kAliasMaxSide)
    return std::nullopt;
  return PictureSize{width, height};
}

}  // namespace

std::optional<PictureSize> ReadAliasHeader(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return std::nullopt;
  return readHeader(file);
}

uint32_t ReadAliasPicture(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return 0;
  const auto fileBytes = file.size();
  const auto size = readHeader(file);
  if (!fileBytes || !size) return 0;
  const size_t width = size_t(size->width), height = size_t(size->height);
  OutputFrame24 frame(size->width, size->height, FrameContents::kWrittenByCaller);
  if (!frame) return 0;

  // Whole packets only; the picture is filled row after row from the top, and a packet
  // never carries into the next row. Reading stops once the picture is full.
  const uint64_t packets = (*fileBytes - std::min(*fileBytes, kAliasHeaderBytes)) / 4;
  constexpr size_t kChunkPackets = 16384;
  std::vector<uint8_t> chunk(kChunkPackets * 4);
  size_t x = 0, y = 0;
  uint8_t* row = frame.row(0);
  for (uint64_t done = 0; done < packets && y < height;) {
    const size_t want = size_t(std::min<uint64_t>(kChunkPackets, packets - done)) * 4;
    const size_t got = file.readUpTo(kAliasHeaderBytes + done * 4, chunk.data(), want) / 4;
    if (got == 0) break;
    done += got;
    for (const uint8_t* p = chunk.data(); p < chunk.data() + got * 4 && y < height; p += 4) {
      const size_t count = std::min<size_t>(p[0], width - x);
      uint8_t* out = row + 3 * x;
      for (size_t i = 0; i < count; ++i, out += 3) {
        out[0] = p[1];
        out[1] = p[2];
        out[2] = p[3];
      }
      x += count;
      if (x == width) {
        x = 0;
        if (++y < height) row = frame.row(int32_t(y));
      }
    }
  }
  // Pixels no packet reached stay black.
  if (y < height) {
    std::memset(row + 3 * x, 0, 3 * (width - x));
    for (size_t r = y + 1; r < height; ++r)
      std::memset(frame.row(int32_t(r)), 0, 3 * width);
  }
  return frame.release();
}

}  // namespace kpl::rastunes
