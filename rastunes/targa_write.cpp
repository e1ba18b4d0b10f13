// Writing Targa pictures: uncompressed 24-bit, top row first, signed in the image ID.
#include <cstring>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "targa.hpp"

namespace kpl::rastunes {

bool WriteTargaPicture(const char* path, uint32_t frame24) {
  BitmapObject picture;
  if (!picture.assignHandle(BitmapFromFrame(frame24)) ||
      !picture.setPixelFormat(PixelFormat::k24Bit))
    return false;
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
  for (int32_t y = 0; y < height; ++y)
    out.write(picture.scanLine(y), size_t(width) * 3);
  const bool written = out.flush();
  return file.close() && written;
}

}  // namespace kpl::rastunes
