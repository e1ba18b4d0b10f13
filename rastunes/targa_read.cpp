// Reading Targa pictures.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/support/dib_lib.hpp"
#include "targa.hpp"

namespace kpl::rastunes {
namespace {

constexpr size_t kHeaderBytes = 18;

struct Header {
  uint8_t idLength;
  uint8_t mapType;
  uint8_t imageType;
  uint16_t mapFirst;
  uint16_t mapLength;
  uint8_t mapEntryBits;
  uint16_t width;
  uint16_t height;
  uint8_t depth;
  uint8_t descriptor;
};

Header parse(const uint8_t* b) {
  return Header{b[0], b[1],         b[2],         Le16(b + 3), Le16(b + 5),
                b[7], Le16(b + 12), Le16(b + 14), b[16],       b[17]};
}

// Image types and depths whose pixels the reader turns into colours (types 1, 2 and their
// run-length forms 9, 10; type 11 is read like 10), with a frame of bounded size.
bool decodable(const Header& h) {
  const bool type = h.imageType == 1 || h.imageType == 2 || h.imageType == 9 || h.imageType == 10 ||
                    h.imageType == 11;
  const bool depth = h.depth == 8 || h.depth == 16 || h.depth == 24 || h.depth == 32;
  return type && depth && h.width < 32768 && h.height < 32768 && h.mapEntryBits <= 32 &&
         (h.descriptor & 0xC0) == 0 && FrameFits(h.width, h.height);
}

std::optional<Header> readHeader(const UniqueFile& file) {
  uint8_t bytes[kHeaderBytes];
  if (!file.readAt(0, bytes, sizeof bytes)) return std::nullopt;  // shorter than a header
  const Header h = parse(bytes);
  if (!decodable(h)) return std::nullopt;
  return h;
}

using Palette = std::array<std::array<uint8_t, 3>, 256>;  // red, green, blue, 6 bits each

void readColourMap(const Header& h, ZeroFillReader& in, Palette& palette) {
  if (h.mapEntryBits != 16 && h.mapEntryBits != 24) {
    in.skip((uint64_t(h.mapLength) * h.mapEntryBits + 7) / 8);
    return;
  }
  for (uint32_t k = 0; k < h.mapLength; ++k) {
    const uint32_t index = uint32_t(h.mapFirst) + k;
    std::array<uint8_t, 3> rgb;
    if (h.mapEntryBits == 24) {
      const uint8_t blue = in.next(), green = in.next(), red = in.next();
      rgb = {uint8_t(red / 4), uint8_t(green / 4), uint8_t(blue / 4)};
    } else {
      const unsigned v = in.next();
      const unsigned w = v | unsigned(in.next()) << 8;
      rgb = {uint8_t(((w >> 10) & 31) * 2), uint8_t(((w >> 5) & 31) * 2), uint8_t((w & 31) * 2)};
    }
    if (index < 256) palette[index] = rgb;
  }
}

// Turns `count` stored pixels of `depth` bits into blue, green, red.
class PixelConverter {
 public:
  PixelConverter(uint8_t depth, const Palette& palette) : depth_(depth) {
    for (int i = 0; i < 256; ++i)
      for (int c = 0; c < 3; ++c)
        bgr_[i][2 - c] = uint8_t(4 * palette[i][c] + 3);
  }
  size_t bytesPerPixel() const { return depth_ / 8; }

  void convert(const uint8_t* src, uint8_t* out, size_t count) const {
    switch (depth_) {
      case 8:
        for (size_t x = 0; x < count; ++x, out += 3)
          std::memcpy(out, bgr_[src[x]].data(), 3);
        break;
      case 16:
        for (size_t x = 0; x < count; ++x, out += 3, src += 2) {
          const unsigned v = src[0] | src[1] << 8;
          out[0] = uint8_t((v & 31) * 8);
          out[1] = uint8_t(((v >> 5) & 31) * 8);
          out[2] = uint8_t(((v >> 10) & 31) * 8);
        }
        break;
      case 24:
        std::memcpy(out, src, count * 3);
        break;
      default:  // 32: the fourth byte is dropped
        for (size_t x = 0; x < count; ++x, out += 3, src += 4) {
          out[0] = src[0];
          out[1] = src[1];
          out[2] = src[2];
        }
    }
  }

 private:
  uint8_t depth_;
  std::array<std::array<uint8_t, 3>, 256> bgr_;
};

// One row of stored pixels, run-length coded or not; packets never carry into the next row.
void readRow(ZeroFillReader& in, bool encoded, const PixelConverter& pixels, size_t width,
             std::vector<uint8_t>& stored, uint8_t* row) {
  const size_t bpp = pixels.bytesPerPixel();
  if (!encoded) {
    if (bpp == 3) {
      in.read(row, width * 3);
      return;
    }
    in.read(stored.data(), width * bpp);
    pixels.convert(stored.data(), row, width);
    return;
  }
  size_t x = 0;
  uint8_t value[4];
  uint8_t colour[3];
  while (x < width) {
    const uint8_t h = in.next();
    const size_t count = (h & 0x7F) + 1u;
    const size_t kept = std::min(count, width - x);
    uint8_t* out = row + 3 * x;
    if (h & 0x80) {
      in.read(value, bpp);
      pixels.convert(value, colour, 1);
      for (size_t i = 0; i < kept; ++i, out += 3) {
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
      }
    } else if (bpp == 3 && kept == count) {
      in.read(out, count * 3);  // stored as the row keeps it
    } else {
      in.read(stored.data(), count * bpp);
      pixels.convert(stored.data(), out, kept);
    }
    x += kept;
  }
}

}  // namespace

std::optional<PictureSize> ReadTargaHeader(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return std::nullopt;
  const auto h = readHeader(file);
  if (!h) return std::nullopt;
  return PictureSize{h->width, h->height};
}

uint32_t ReadTargaPicture(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return 0;
  const auto header = readHeader(file);
  if (!header) return 0;
  const Header& h = *header;

  ZeroFillReader in(file.get());
  in.skip(kHeaderBytes + h.idLength);
  Palette palette{};
  if (h.mapType != 0) readColourMap(h, in, palette);
  if (h.depth == 8 && h.mapType == 0)
    for (int i = 0; i < 256; ++i)
      palette[i].fill(uint8_t(i * 63 / 255));

  BitmapObject picture;
  if (!picture.setSize(h.width, h.height, PixelFormat::k24Bit,
                       BitmapObject::Contents::kWrittenByCaller))
    return 0;
  const PixelConverter pixels(h.depth, palette);
  const bool encoded = h.imageType >= 9;
  const bool topFirst = h.descriptor & 0x20;
  const bool mirrored = h.descriptor & 0x10;
  const size_t width = h.width;
  std::vector<uint8_t> stored(128 * 4 + width * pixels.bytesPerPixel());
  if (!encoded && h.depth == 24 && !mirrored && h.height > 1) {
    // Stored exactly as the picture keeps its rows: read them in place.
    const ptrdiff_t down = picture.scanLine(1) - picture.scanLine(0);
    in.readRows(picture.scanLine(topFirst ? 0 : h.height - 1), topFirst ? down : -down, width * 3,
                h.height);
    if (in.failed()) return 0;
    return FrameFromBitmap(picture.handle(), 0);
  }
  for (int32_t r = 0; r < h.height; ++r) {
    uint8_t* row = picture.scanLine(topFirst ? r : h.height - 1 - r);
    readRow(in, encoded, pixels, width, stored, row);
    if (mirrored)
      for (size_t a = 0, b = width - 1; a < b; ++a, --b)
        std::swap_ranges(row + 3 * a, row + 3 * a + 3, row + 3 * b);
  }
  if (in.failed()) return 0;
  return FrameFromBitmap(picture.handle(), 0);
}

}  // namespace kpl::rastunes
