// Writing SGI pictures: verbatim, one byte per value, three channels, signed in the image
// name.
#include <unistd.h>

#include <cstring>
#include <vector>

#include "frame_view.hpp"
#include "sgi.hpp"

namespace kpl::rastunes {

bool WriteSgiPicture(const char* path, const void* frame24, uint64_t bytes) {
  const auto frame = ViewFrame24(frame24, bytes);
  if (!frame) return false;
  // The header holds 16-bit sizes: a larger frame cannot be described.
  if (frame->width > 65535 || frame->height > 65535) return false;
  const size_t width = size_t(frame->width), height = size_t(frame->height);

  uint8_t header[kSgiHeaderBytes] = {};
  PutBe16(header, 474);
  header[3] = 1;
  PutBe16(header + 4, 3);
  PutBe16(header + 6, uint32_t(width));
  PutBe16(header + 8, uint32_t(height));
  PutBe16(header + 10, 3);
  PutBe32(header + 16, 255);
  std::memcpy(header + 24, kSgiSignature, sizeof kSgiSignature);

  // The red, green and blue planes, each from the bottom row up, split in one pass.
  const size_t plane = width * height;
  std::vector<uint8_t> planes(plane * 3);
  uint8_t *red = planes.data(), *green = red + plane, *blue = green + plane;
  for (size_t r = 0; r < height; ++r) {
    const uint8_t* pixel = frame->rowFromBottom(r);
    for (size_t x = 0; x < width; ++x, pixel += 3) {
      blue[x] = pixel[0];
      green[x] = pixel[1];
      red[x] = pixel[2];
    }
    red += width;
    green += width;
    blue += width;
  }

  UniqueFile file = UniqueFile::Create(path);
  if (!file) return false;
  BufferedWriter out(file.get());
  out.write(header, sizeof header);
  if (plane > 0) out.writeRows(planes.data(), ptrdiff_t(plane), plane, 3);
  const bool written = out.flush();
  if (file.close() && written) return true;
  ::unlink(path);  // a file cut short is not left behind
  return false;
}

}  // namespace kpl::rastunes
