// Writing Alias pictures: runs of at most 255 equal pixels, none across a row's end.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "alias.hpp"
#include "frame_view.hpp"

namespace kpl::rastunes {
namespace {

// Appends the packets of one top-down row of blue, green, red pixels; the bytes appended.
size_t encodeRow(const uint8_t* pixel, size_t width, uint8_t* out) {
  uint8_t* start = out;
  size_t x = 0;
  while (x < width) {
    const uint8_t* first = pixel + 3 * x;
    size_t count = 1;
    while (count < 255 && x + count < width && std::memcmp(first + 3 * count, first, 3) == 0)
      ++count;
    out[0] = uint8_t(count);
    out[1] = first[0];
    out[2] = first[1];
    out[3] = first[2];
    out += 4;
    x += count;
  }
  return size_t(out - start);
}

}  // namespace

bool WriteAliasPicture(const char* path, const void* frame24, uint64_t bytes) {
  const auto frame = ViewFrame24(frame24, bytes);
  if (!frame) return false;
  // The header holds 16-bit sizes: a larger frame cannot be described.
  if (frame->width > 65535 || frame->height > 65535) return false;
  const size_t width = size_t(frame->width), height = size_t(frame->height);

  UniqueFile file = UniqueFile::Create(path);
  if (!file) return false;
  uint8_t header[kAliasHeaderBytes] = {};
  PutBe16(header, uint32_t(width));
  PutBe16(header + 2, uint32_t(height));
  PutBe16(header + 8, 24);
  BufferedWriter out(file.get());
  out.write(header, sizeof header);
  std::vector<uint8_t> packets(width * 4);  // a row never codes to more than a packet a pixel
  for (size_t y = 0; y < height; ++y)
    out.write(packets.data(),
              encodeRow(frame->rowFromBottom(height - 1 - y), width, packets.data()));
  const bool written = out.flush();
  if (file.close() && written) return true;
  ::unlink(path);
  return false;
}

}  // namespace kpl::rastunes
