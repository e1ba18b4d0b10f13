// Reading PCX pictures.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "pcx.hpp"

namespace kpl::rastunes {
namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kTrailingPaletteBytes = 768;
constexpr uint8_t kManufacturer = 10;

// The fixed 16 colours of a version 3 file, 6 bits per component.
constexpr std::array<std::array<uint8_t, 3>, 16> kVersion3Palette = {{
    {0, 0, 0},
    {0, 0, 32},
    {0, 32, 0},
    {0, 32, 32},
    {32, 0, 0},
    {32, 0, 32},
    {32, 32, 0},
    {42, 42, 42},
    {21, 21, 21},
    {0, 0, 63},
    {0, 63, 0},
    {0, 63, 63},
    {63, 0, 0},
    {63, 0, 63},
    {63, 63, 0},
    {63, 63, 63},
}};

struct Header {
  uint8_t version;
  uint8_t bitsPerPixel;
  uint8_t planes;
  uint16_t bytesPerLine;
  int32_t width;
  int32_t height;
  uint8_t palette[48];
};

Header parse(const uint8_t* b) {
  Header h{};
  h.version = b[1];
  h.bitsPerPixel = b[3];
  h.width = int32_t(Le16(b + 8)) - int32_t(Le16(b + 4)) + 1;
  h.height = int32_t(Le16(b + 10)) - int32_t(Le16(b + 6)) + 1;
  std::memcpy(h.palette, b + 16, 48);
  h.planes = b[65];
  h.bytesPerLine = Le16(b + 66);
  return h;
}

bool monochromeOrPlanar(const Header& h) {
  return h.bitsPerPixel == 1 && h.planes >= 1 && h.planes <= 4;
}
bool indexed256(const Header& h) {
  return h.bitsPerPixel == 8 && h.planes == 1;
}
bool trueColour(const Header& h) {
  return h.bitsPerPixel == 8 && h.planes == 3;
}

// The kinds the reader decodes, with lines long enough for the picture and a frame of
// bounded size.
bool decodable(const Header& h, uint64_t fileBytes) {
  if (fileBytes < kHeaderBytes) return false;
  if (!FrameFits(h.width, h.height) || h.width > 65535 || h.height > 65535) return false;
  if (monochromeOrPlanar(h)) return uint64_t(h.bytesPerLine) * 8 >= uint64_t(h.width);
  if (indexed256(h)) return h.bytesPerLine >= h.width && fileBytes >= kTrailingPaletteBytes + 1;
  if (trueColour(h)) return h.bytesPerLine >= h.width;
  return false;
}

// Reads and checks the header of an open file.
std::optional<Header> readHeader(const UniqueFile& file, uint64_t& fileBytes) {
  const auto size = file.size();
  if (!size || *size < kHeaderBytes) return std::nullopt;
  uint8_t bytes[kHeaderBytes];
  if (!file.readAt(0, bytes, kHeaderBytes) || bytes[0] != kManufacturer) return std::nullopt;
  const Header h = parse(bytes);
  fileBytes = *size;
  if (!decodable(h, fileBytes)) return std::nullopt;
  return h;
}

// A palette component as stored: 6 bits, version 2 files scaling their small values first.
uint8_t component(uint8_t c, uint8_t version) {
  if (version == 2 && c < 4) c = uint8_t(c * 85);
  return c / 4;
}

using Palette = std::array<std::array<uint8_t, 3>, 256>;  // red, green, blue, 6 bits each

bool loadPalette(const Header& h, const UniqueFile& file, uint64_t fileBytes, Palette& palette) {
  palette = {};
  for (int i = 0; i < 16; ++i)
    for (int c = 0; c < 3; ++c)
      palette[i][c] = component(h.palette[3 * i + c], h.version);
  if (h.version == 3) std::copy(kVersion3Palette.begin(), kVersion3Palette.end(), palette.begin());
  if (h.bitsPerPixel == 1 && h.planes == 1) {
    palette[0] = {0, 0, 0};
    palette[1] = {63, 63, 63};
  }
  if (indexed256(h)) {
    // The marker byte before the trailing palette is not trusted: some writers omit it.
    uint8_t bytes[kTrailingPaletteBytes];
    if (!file.readAt(fileBytes - kTrailingPaletteBytes, bytes, sizeof bytes)) return false;
    for (int i = 0; i < 256; ++i)
      for (int c = 0; c < 3; ++c)
        palette[i][c] = component(bytes[3 * i + c], h.version);
  }
  return true;
}

// Decodes one line of `bytes` bytes; runs never carry into the next line.
void decodeLine(ZeroFillReader& in, uint8_t* line, size_t bytes) {
  size_t position = 0;
  while (position < bytes) {
    const uint8_t b = in.next();
    if ((b & 0xC0) == 0xC0) {
      const size_t count = std::min<size_t>(b & 0x3F, bytes - position);
      const uint8_t value = in.next();
      std::memset(line + position, value, count);
      position += count;
    } else {
      line[position++] = b;
    }
  }
}

}  // namespace

std::optional<PictureSize> ReadPcxHeader(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return std::nullopt;
  uint64_t fileBytes = 0;
  const auto h = readHeader(file, fileBytes);
  if (!h) return std::nullopt;
  return PictureSize{h->width, h->height};
}

uint32_t ReadPcxPicture(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return 0;
  uint64_t fileBytes = 0;
  const auto header = readHeader(file, fileBytes);
  if (!header) return 0;
  const Header& h = *header;
  Palette palette;
  if (!loadPalette(h, file, fileBytes, palette)) return 0;

  // Blue, green, red of every palette index: 4 x v + 3 from the 6-bit components.
  std::array<std::array<uint8_t, 3>, 256> bgr;
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c)
      bgr[i][2 - c] = uint8_t(4 * palette[i][c] + 3);

  BitmapObject picture;
  if (!picture.setSize(h.width, h.height, PixelFormat::k24Bit,
                       BitmapObject::Contents::kWrittenByCaller))
    return 0;
  const size_t bpl = h.bytesPerLine;
  std::vector<uint8_t> line(size_t(h.planes) * bpl);
  ZeroFillReader in(file.get());
  in.skip(kHeaderBytes);
  const size_t width = size_t(h.width);
  for (int32_t y = 0; y < h.height; ++y) {
    decodeLine(in, line.data(), line.size());
    uint8_t* row = picture.scanLine(y);
    if (trueColour(h)) {
      const uint8_t *red = line.data(), *green = red + bpl, *blue = green + bpl;
      for (size_t x = 0; x < width; ++x, row += 3) {
        row[0] = blue[x];
        row[1] = green[x];
        row[2] = red[x];
      }
    } else if (indexed256(h)) {
      for (size_t x = 0; x < width; ++x, row += 3)
        std::memcpy(row, bgr[line[x]].data(), 3);
    } else {
      // Plane p carries bit p of the palette index.
      for (size_t x = 0; x < width; ++x, row += 3) {
        unsigned index = 0;
        for (unsigned p = 0; p < h.planes; ++p)
          index |= ((line[p * bpl + (x >> 3)] >> (7 - (x & 7))) & 1u) << p;
        std::memcpy(row, bgr[index].data(), 3);
      }
    }
  }
  if (in.failed()) return 0;
  return FrameFromBitmap(picture.handle(), 0);
}

}  // namespace kpl::rastunes
