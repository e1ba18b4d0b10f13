// Writing Targa pictures: uncompressed 24-bit, top row first, signed in the image ID.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "targa.hpp"

namespace kpl::rastunes {

bool WriteTargaPicture(const char* path, const void* frame24, uint64_t bytes) {
  BitmapObject picture;
  if (!picture.assignHandle(BitmapFromFrame24(frame24, bytes))) return false;
  const int32_t width = picture.width(), height = picture.height();
  if (width > 65535 || height > 65535) return false;  // the header holds 16-bit sizes

  UniqueFile file = UniqueFile::Create(path);
  if (!file) return false;
  uint8_t header[18] = {};
  header[0] = uint8_t(kTargaIdBytes);
  header[2] = 2;
  header[7] = 24;
  PutLe16(header + 12, uint32_t(width));
  PutLe16(header + 14, uint32_t(height));
  header[16] = 24;
  header[17] = 0x20;
  BufferedWriter out(file.get());
  out.write(header, sizeof header);
  out.write(kTargaSignature, kTargaIdBytes);
  // Rows go out in bands that stay in the cache.
  constexpr int32_t kBandRows = 64;
  const size_t packed = size_t(width) * 3;
  std::vector<uint8_t> band(packed * kBandRows);
  for (int32_t top = 0; top < height; top += kBandRows) {
    const int32_t rows = std::min(kBandRows, height - top);
    if (!picture.copyRows24(top, rows, band.data())) return false;
    out.writeRows(band.data(), ptrdiff_t(packed), packed, size_t(rows));
  }
  const bool written = out.flush();
  return file.close() && written;
}

}  // namespace kpl::rastunes
