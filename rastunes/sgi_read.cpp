// Reading SGI pictures.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "kpl/support/frame24.hpp"
#include "sgi.hpp"

namespace kpl::rastunes {
namespace {

constexpr uint16_t kMagic = 474;

struct Header {
  bool complete;  // all 512 bytes were there
  uint16_t magic;
  uint8_t storage;
  uint8_t bytesPerValue;  // 1 or 2
  uint16_t dimension;
  uint16_t xSize, ySize, zSize;
  int32_t minimum, maximum;
  uint32_t colourMap;

  bool runLength() const { return storage == 1; }
  int32_t rows() const { return dimension < 2 ? 1 : ySize; }
  uint32_t channels() const { return dimension < 3 ? 1 : zSize; }
  uint32_t channelsRead() const { return std::min<uint32_t>(channels(), 3); }
};

Header readHeader(const UniqueFile& file) {
  std::array<uint8_t, kSgiHeaderBytes> b{};
  const size_t got = file.readUpTo(0, b.data(), b.size());
  Header h{};
  h.complete = got == b.size();
  h.magic = Be16(&b[0]);
  h.storage = b[2];
  h.bytesPerValue = b[3] == 1 ? 1 : 2;
  h.dimension = Be16(&b[4]);
  h.xSize = Be16(&b[6]);
  h.ySize = Be16(&b[8]);
  h.zSize = Be16(&b[10]);
  h.minimum = int32_t(Be32(&b[12]));
  h.maximum = int32_t(Be32(&b[16]));
  h.colourMap = Be32(&b[104]);
  return h;
}

// A header the reader decodes into a frame of bounded size, with a scale that divides.
bool decodable(const Header& h, uint64_t fileBytes) {
  return h.complete && h.magic == kMagic && h.colourMap == 0 && h.maximum != h.minimum &&
         FrameFits(h.xSize, h.rows()) && (!h.runLength() || fileBytes <= kMaxSgiRunLengthFileBytes);
}

// Channel intensity of every value: (v - minimum) / (maximum - minimum) x 255 in extended
// precision, truncated toward zero, clamped to 0..255.
std::vector<uint8_t> intensities(const Header& h) {
  std::vector<uint8_t> table(h.bytesPerValue == 1 ? 256 : 65536);
  const long double range = (long double)(int64_t(h.maximum) - int64_t(h.minimum));
  for (size_t v = 0; v < table.size(); ++v) {
    const long double scaled =
        (long double)(int64_t(v) - int64_t(h.minimum)) / range * (long double)255;
    table[v] = scaled <= 0 ? 0 : scaled >= 255 ? 255 : uint8_t(std::trunc(scaled));
  }
  return table;
}

// Where a channel's intensity goes in a blue, green, red pixel: channel 1 red, 2 green,
// 3 blue; a one-channel picture is grey.
struct Placement {
  size_t firstByte;  // 2 for red, 1 green, 0 blue
  bool grey;
};
Placement placementOf(uint32_t channel, uint32_t channels) {
  return {2 - size_t(channel), channels == 1};
}

template <size_t BytesPerValue>
uint32_t valueAt(const uint8_t* p) {
  if constexpr (BytesPerValue == 1)
    return p[0];
  else
    return Be16(p);
}

// One stored row of a verbatim plane into its place in a frame row.
template <size_t BytesPerValue>
void placeRow(const uint8_t* values, size_t width, const uint8_t* table, Placement at,
              uint8_t* row) {
  if (at.grey) {
    for (size_t x = 0; x < width; ++x, row += 3)
      row[0] = row[1] = row[2] = table[valueAt<BytesPerValue>(values + x * BytesPerValue)];
    return;
  }
  row += at.firstByte;
  for (size_t x = 0; x < width; ++x, row += 3)
    *row = table[valueAt<BytesPerValue>(values + x * BytesPerValue)];
}

// Verbatim planes, read in bands of rows so that each band of each plane is one read;
// values past the end of the file read as 0.
bool readVerbatim(const UniqueFile& file, const Header& h, const uint8_t* table,
                  OutputFrame24& frame) {
  const size_t width = h.xSize, rows = size_t(h.rows());
  const size_t rowBytes = width * h.bytesPerValue;
  const uint32_t channels = h.channelsRead();
  constexpr size_t kBandRows = 32;
  std::vector<uint8_t> band(kBandRows * rowBytes * 3);
  for (size_t first = 0; first < rows; first += kBandRows) {
    const size_t count = std::min(kBandRows, rows - first);
    const size_t bytes = count * rowBytes;
    uint8_t* planes[3] = {band.data(), band.data() + bytes, band.data() + 2 * bytes};
    for (uint32_t c = 0; c < channels; ++c) {
      const uint64_t at = kSgiHeaderBytes + (uint64_t(c) * rows + first) * rowBytes;
      const size_t got = file.readUpTo(at, planes[c], bytes);
      std::fill(planes[c] + got, planes[c] + bytes, 0);
    }
    for (size_t r = 0; r < count; ++r) {
      uint8_t* row = frame.row(int32_t(rows - 1 - (first + r)));
      if (channels == 3 && h.bytesPerValue == 1) {
        // The common file: three one-byte planes interleaved in one pass.
        const uint8_t *red = planes[0] + r * width, *green = planes[1] + r * width,
                      *blue = planes[2] + r * width;
        for (size_t x = 0; x < width; ++x, row += 3) {
          row[0] = table[blue[x]];
          row[1] = table[green[x]];
          row[2] = table[red[x]];
        }
        continue;
      }
      for (uint32_t c = 0; c < channels; ++c) {
        const uint8_t* values = planes[c] + r * rowBytes;
        if (h.bytesPerValue == 1)
          placeRow<1>(values, width, table, placementOf(c, channels), row);
        else
          placeRow<2>(values, width, table, placementOf(c, channels), row);
      }
    }
  }
  return true;
}

// Decodes one run-length row from `in` until a value whose low seven bits are 0, until its
// `length` bytes are used up, or until the row is full (pixels beyond the width are dropped).
template <size_t B, bool Grey>
void decodeRunLengthRow(const uint8_t* in, size_t length, size_t width, const uint8_t* table,
                        size_t firstByte, uint8_t* row) {
  auto put = [&](size_t x, uint8_t intensity) {
    uint8_t* pixel = row + 3 * x;
    if constexpr (Grey)
      pixel[0] = pixel[1] = pixel[2] = intensity;
    else
      pixel[firstByte] = intensity;
  };
  const uint8_t* const end = in + length / B * B;
  size_t x = 0;
  while (x < width && in < end) {
    const uint32_t c = valueAt<B>(in);
    in += B;
    const size_t count = c & 0x7F;
    if (count == 0) return;
    if (c & 0x80) {
      const size_t values = size_t(end - in) / B;
      const size_t n = std::min({count, width - x, values});
      for (size_t i = 0; i < n; ++i)
        put(x + i, table[valueAt<B>(in + i * B)]);
      if (n < std::min(count, width - x)) return;  // the row's bytes ran out
      in += count * B > size_t(end - in) ? size_t(end - in) : count * B;
      x += n;
    } else {
      if (in == end) return;
      const uint8_t intensity = table[valueAt<B>(in)];
      in += B;
      for (const size_t last = std::min(width, x + count); x < last; ++x)
        put(x, intensity);
    }
  }
}

bool readRunLength(const UniqueFile& file, uint64_t fileBytes, const Header& h,
                   const uint8_t* table, OutputFrame24& frame) {
  std::vector<uint8_t> whole(static_cast<size_t>(fileBytes));
  whole.resize(file.readUpTo(0, whole.data(), whole.size()));
  // Table entry i of the starts and of the lengths; 0 where the file ends first.
  const uint64_t entries = uint64_t(h.ySize) * h.zSize;
  auto entry = [&](uint64_t table, uint64_t i) -> uint64_t {
    const uint64_t at = kSgiHeaderBytes + 4 * (table * entries + i);
    return at + 4 <= whole.size() ? Be32(whole.data() + at) : 0;
  };
  const size_t width = h.xSize, B = h.bytesPerValue;
  // A row never uses more than a count and a value for each pixel and a last count.
  const uint64_t mostBytes = (2 * uint64_t(width) + 1) * B;
  std::vector<uint8_t> padded;
  const uint32_t channels = h.channelsRead();
  const bool grey = h.channels() == 1;
  const int32_t rows = h.rows();
  for (uint32_t c = 0; c < channels; ++c)
    for (int32_t r = 0; r < rows; ++r) {
      const uint64_t i = uint64_t(c) * h.ySize + uint64_t(r);
      const uint64_t start = entry(0, i);
      const size_t length = size_t(std::min(entry(1, i), mostBytes));
      const uint8_t* in = whole.data() + std::min<uint64_t>(start, whole.size());
      if (start + length > whole.size()) {
        // Bytes past the end of the file read as 0, which ends the row where a count would be.
        padded.assign(length, 0);
        if (start < whole.size())
          std::copy(whole.begin() + ptrdiff_t(start), whole.end(), padded.begin());
        in = padded.data();
      }
      uint8_t* row = frame.row(rows - 1 - r);
      const size_t firstByte = 2 - c;
      if (B == 1)
        grey ? decodeRunLengthRow<1, true>(in, length, width, table, firstByte, row)
             : decodeRunLengthRow<1, false>(in, length, width, table, firstByte, row);
      else
        grey ? decodeRunLengthRow<2, true>(in, length, width, table, firstByte, row)
             : decodeRunLengthRow<2, false>(in, length, width, table, firstByte, row);
    }
  return true;
}

}  // namespace

std::optional<PictureSize> SgiRecordedSize(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return std::nullopt;
  const Header h = readHeader(file);
  return PictureSize{h.xSize, h.rows()};
}

std::optional<PictureSize> ReadSgiHeader(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return std::nullopt;
  const auto size = file.size();
  const Header h = readHeader(file);
  if (!size || !decodable(h, *size)) return std::nullopt;
  return PictureSize{h.xSize, h.rows()};
}

uint32_t ReadSgiPicture(const char* path) {
  const UniqueFile file = UniqueFile::OpenForReading(path);
  if (!file) return 0;
  const auto size = file.size();
  const Header h = readHeader(file);
  if (!size || !decodable(h, *size)) return 0;
  // Three channels of a verbatim file set every byte of the frame.
  const bool everyByte = !h.runLength() && h.channelsRead() == 3;
  OutputFrame24 frame(h.xSize, h.rows(),
                      everyByte ? FrameContents::kWrittenByCaller : FrameContents::kBlack);
  if (!frame) return 0;
  const std::vector<uint8_t> table = intensities(h);
  const bool read = h.runLength() ? readRunLength(file, *size, h, table.data(), frame)
                                  : readVerbatim(file, h, table.data(), frame);
  return read ? frame.release() : 0;
}

}  // namespace kpl::rastunes
