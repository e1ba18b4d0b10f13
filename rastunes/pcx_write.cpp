// Writing PCX pictures: the 24-bit three-plane form, each plane line coded by itself.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "pcx.hpp"

namespace kpl::rastunes {

size_t EncodePcxLine(const uint8_t* line, size_t bytes, uint8_t* out) {
  uint8_t* o = out;
  size_t i = 0;
  while (i < bytes) {
    const uint8_t value = line[i];
    size_t end = i + 1;
    if (end < bytes && line[end] == value) {
      const size_t limit = std::min(bytes, i + 63);
      while (++end < limit && line[end] == value) {
      }
      *o++ = uint8_t(0xC0 + (end - i));
    } else {
      *o = 0xC1;  // kept only in front of a single byte that looks like a count
      o += value >= 0xC0;
    }
    *o++ = value;
    i = end;
  }
  return size_t(o - out);
}

void EncodePcxLine(const uint8_t* line, size_t bytes, std::vector<uint8_t>& out) {
  const size_t before = out.size();
  out.resize(before + 2 * bytes);
  out.resize(before + EncodePcxLine(line, bytes, out.data() + before));
}

namespace {

// A component of the palette the picture reports, as the header stores it.
uint8_t storedComponent(uint8_t c) {
  return uint8_t((c / 4) * 255 / 63);
}

}  // namespace

bool WritePcxPicture(const char* path, const void* frame24, uint64_t bytes) {
  BitmapObject picture;
  if (!picture.assignHandle(BitmapFromFrame24(frame24, bytes))) return false;
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
  constexpr int32_t kBandRows = 32;  // rows fetched at a time, small enough for the cache
  std::vector<uint8_t> band(size_t(width) * 3 * kBandRows);
  std::vector<uint8_t> coded(planes.size() * 2);  // a line never codes to more than twice its bytes
  uint8_t *red = planes.data(), *green = red + width, *blue = green + width;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t inBand = y % kBandRows;
    if (inBand == 0 && !picture.copyRows24(y, std::min(kBandRows, height - y), band.data()))
      return false;
    const uint8_t* pixel = band.data() + size_t(inBand) * size_t(width) * 3;
    for (int32_t x = 0; x < width; ++x, pixel += 3) {
      blue[x] = pixel[0];
      green[x] = pixel[1];
      red[x] = pixel[2];
    }
    size_t used = EncodePcxLine(red, size_t(width), coded.data());
    used += EncodePcxLine(green, size_t(width), coded.data() + used);
    used += EncodePcxLine(blue, size_t(width), coded.data() + used);
    out.write(coded.data(), used);
  }
  out.put(12);
  out.write(palette.data(), palette.size());
  const bool written = out.flush();
  return file.close() && written;
}

}  // namespace kpl::rastunes
