// Writing PCX pictures: the 24-bit three-plane form, each plane line coded by itself.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "pcx.hpp"

namespace kpl::rastunes {

void EncodePcxLine(const uint8_t* line, size_t bytes, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < bytes) {
    const uint8_t value = line[i];
    const size_t limit = std::min(bytes, i + 63);
    size_t end = i + 1;
    while (end < limit && line[end] == value)
      ++end;
    const size_t run = end - i;
    if (run > 1 || value >= 0xC0) out.push_back(uint8_t(0xC0 + run));
    out.push_back(value);
    i = end;
  }
}

namespace {

// A component of the palette the picture reports, as the header stores it.
uint8_t storedComponent(uint8_t c) {
  return uint8_t((c / 4) * 255 / 63);
}

}  // namespace

bool WritePcxPicture(const char* path, uint32_t frame24) {
  BitmapObject picture;
  if (!picture.assignHandle(BitmapFromFrame(frame24)) ||
      !picture.setPixelFormat(PixelFormat::k24Bit))
    return false;
  const int32_t width = picture.width(), height = picture.height();
  if (width > 65536 || height > 65536) return false;  // the header holds width - 1 in 16 bits

  // The palette the picture reports: none for a 24-bit picture, so both areas stay zero.
  std::array<RGBQUAD, 256> reported{};
  const size_t entries = picture.paletteEntries(reported.data(), reported.size());
  std::array<uint8_t, 768> palette{};
  for (size_t i = 0; i < entries; ++i) {
    palette[3 * i] = storedComponent(reported[i].rgbRed);
    palette[3 * i + 1] = storedComponent(reported[i].rgbGreen);
    palette[3 * i + 2] = storedComponent(reported[i].rgbBlue);
  }

  UniqueFile file = UniqueFile::Create(path);
  if (!file) return false;
  uint8_t header[128] = {};
  header[0] = 10;
  header[1] = 5;
  header[2] = 1;
  header[3] = 8;
  PutLe16(header + 8, uint32_t(width - 1));
  PutLe16(header + 10, uint32_t(height - 1));
  PutLe16(header + 12, 96);
  PutLe16(header + 14, 96);
  std::memcpy(header + 16, palette.data(), 48);
  header[65] = 3;
  PutLe16(header + 66, uint32_t(width));
  PutLe16(header + 68, 1);

  BufferedWriter out(file.get());
  out.write(header, sizeof header);
  std::vector<uint8_t> planes(size_t(width) * 3);
  std::vector<uint8_t> coded;
  coded.reserve(planes.size() * 2);
  uint8_t *red = planes.data(), *green = red + width, *blue = green + width;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = picture.scanLine(y);
    for (int32_t x = 0; x < width; ++x, row += 3) {
      blue[x] = row[0];
      green[x] = row[1];
      red[x] = row[2];
    }
    coded.clear();
    EncodePcxLine(red, size_t(width), coded);
    EncodePcxLine(green, size_t(width), coded);
    EncodePcxLine(blue, size_t(width), coded);
    out.write(coded.data(), coded.size());
  }
  out.put(12);
  out.write(palette.data(), palette.size());
  const bool written = out.flush();
  return file.close() && written;
}

}  // namespace kpl::rastunes
