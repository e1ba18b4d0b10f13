#include "kpl/support/dib_lib.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "kpl/platform/bitmaps.h"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/platform/sound.h"

namespace kpl {
namespace {

// The largest header version a frame may carry; anything else is not a frame we can read.
constexpr uint32_t kLargestHeaderBytes = 124;

uint8_t* pixelsOf(void* header) {
  return static_cast<uint8_t*>(header) + ReadHeader(header).size;
}

// Depths whose rows have a defined layout; 15 bits are stored as 16.
bool knownDepth(uint32_t bitCount) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// Bytes of one stored row of a known depth, padded to a multiple of 4.
uint64_t rowBytesFor(int64_t width, uint32_t bitCount) {
  const uint64_t bits = uint64_t(width) * (bitCount == 15 ? 16 : bitCount);
  return ((bits + 7) / 8 + 3) & ~uint64_t{3};
}

uint32_t colourTableEntries(const BitmapInfoHeader& h) {
  if (h.bitCount > 8) return 0;
  return h.clrUsed != 0 ? h.clrUsed : (1u << h.bitCount);
}

// Decodes one source row of any readable depth into blue, green, red triples.
void decodeRow(const uint8_t* src, uint8_t* out, int64_t width, uint16_t bitCount,
               const std::array<uint32_t, 256>& table) {
  auto putEntry = [&](uint8_t*& o, uint32_t entry) {  // table entries: blue, green, red, 0
    o[0] = uint8_t(entry);
    o[1] = uint8_t(entry >> 8);
    o[2] = uint8_t(entry >> 16);
    o += 3;
  };
  uint8_t* o = out;
  switch (bitCount) {
    case 1:
      for (int64_t x = 0; x < width; ++x)
        putEntry(o, table[(src[x >> 3] >> (7 - (x & 7))) & 1]);
      break;
    case 4:
      for (int64_t x = 0; x < width; ++x)
        putEntry(o, table[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)]);
      break;
    case 8:
      for (int64_t x = 0; x < width; ++x)
        putEntry(o, table[src[x]]);
      break;
    case 16:
      for (int64_t x = 0; x < width; ++x) {
        const unsigned v = src[2 * x] | src[2 * x + 1] << 8;
        o[0] = uint8_t((v & 31) * 8);
        o[1] = uint8_t(((v >> 5) & 31) * 8);
        o[2] = uint8_t(((v >> 10) & 31) * 8);
        o += 3;
      }
      break;
    case 32:
      for (int64_t x = 0; x < width; ++x) {
        o[0] = src[4 * x];
        o[1] = src[4 * x + 1];
        o[2] = src[4 * x + 2];
        o += 3;
      }
      break;
    default:
      break;  // unknown depth: the row stays black
  }
}

}  // namespace

BitmapInfoHeader ReadHeader(const void* header) {
  BitmapInfoHeader h;
  std::memcpy(&h, header, sizeof h);
  return h;
}

uint64_t RowBytes24(int64_t width) {
  return (uint64_t(width) * 3 + 3) & ~uint64_t{3};
}

uint64_t ImageBytes(const void* header) {
  const BitmapInfoHeader h = ReadHeader(header);
  const uint64_t height = uint64_t(int64_t(h.height));
  if (!knownDepth(h.bitCount)) return uint64_t(int64_t(h.width)) * height;
  return rowBytesFor(h.width, h.bitCount) * height;
}

bool IsFrame24(const void* header) {
  const BitmapInfoHeader h = ReadHeader(header);
  return h.bitCount == 24 && h.compression == 0 && h.size >= kBitmapHeaderBytes &&
         h.size <= kLargestHeaderBytes && h.width >= 0 && h.height >= 0;
}

namespace {
uint32_t newFrame24(int32_t width, int32_t height, uint32_t allocationFlags) {
  if (width < 0 || height < 0) return 0;
  const uint64_t imageBytes = RowBytes24(width) * uint64_t(height);
  if (imageBytes > kMaxGlobalBlockBytes - kBitmapHeaderBytes) return 0;
  const uint32_t handle = GlobalAlloc(allocationFlags, kBitmapHeaderBytes + imageBytes);
  if (!handle) return 0;
  BlockLock lock(handle);
  BitmapInfoHeader h{};
  h.size = kBitmapHeaderBytes;
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = 24;
  h.sizeImage = uint32_t(imageBytes);
  std::memcpy(lock.get(), &h, sizeof h);
  return handle;
}
}  // namespace

uint32_t NewFrame24(int32_t width, int32_t height) {
  return newFrame24(width, height, GMEM_MOVEABLE | GMEM_ZEROINIT);
}

uint32_t NewFrame24Uncleared(int32_t width, int32_t height) {
  return newFrame24(width, height, GMEM_MOVEABLE);
}

uint32_t ToFrame24(const void* header) {
  if (!header) return 0;
  const BitmapInfoHeader h = ReadHeader(header);
  // Frames outside what the reader understands are refused instead of misread.
  if (h.size < kBitmapHeaderBytes || h.size > kLargestHeaderBytes || h.width < 0 || h.height < 0 ||
      h.compression != 0)
    return 0;
  const uint64_t imageBytes = ImageBytes(header);
  const uint32_t entries = colourTableEntries(h);
  const uint64_t tableBytes = uint64_t(entries) * 4;
  const uint64_t sourceBytes = imageBytes + tableBytes + h.size;
  const uint64_t frame24Bytes = kBitmapHeaderBytes + RowBytes24(h.width) * uint64_t(h.height);
  if (sourceBytes > kMaxGlobalBlockBytes || frame24Bytes > kMaxGlobalBlockBytes) return 0;

  if (h.bitCount == 24) {
    OwnedBlock copy(GMEM_MOVEABLE, std::max(frame24Bytes, sourceBytes));
    if (!copy) return 0;
    BlockLock lock(copy.get());
    std::memcpy(lock.get(), header, sourceBytes);
    return copy.release();
  }

  std::array<uint32_t, 256> table{};
  const auto* bytes = static_cast<const uint8_t*>(header);
  std::memcpy(table.data(), bytes + h.size, std::min<uint64_t>(entries, 256) * 4);
  const uint8_t* sourcePixels = bytes + h.size + tableBytes;
  const uint64_t sourceRowBytes = knownDepth(h.bitCount) ? rowBytesFor(h.width, h.bitCount) : 0;

  OwnedBlock frame(NewFrame24(h.width, h.height));
  if (!frame) return 0;
  BlockLock lock(frame.get());
  uint8_t* pixels = pixelsOf(lock.get());
  const uint64_t rowBytes = RowBytes24(h.width);
  // Rows keep their bottom-up order, so row i of the source becomes row i of the copy.
  for (int64_t row = 0; row < h.height; ++row)
    decodeRow(sourcePixels + sourceRowBytes * uint64_t(row), pixels + rowBytes * uint64_t(row),
              h.width, h.bitCount, table);
  return frame.release();
}

uint32_t ToFrame24FromHandle(uint32_t frame) {
  BlockLock lock(frame);
  return lock ? ToFrame24(lock.get()) : 0;
}

namespace {
uint8_t* pixelAddress(void* header, int32_t x, int32_t y) {
  const BitmapInfoHeader h = ReadHeader(header);
  return static_cast<uint8_t*>(header) + h.size +
         RowBytes24(h.width) * uint64_t(int64_t(h.height) - 1 - y) + 3 * uint64_t(x);
}
}  // namespace

uint32_t ReadPixel24(const void* header, int32_t x, int32_t y) {
  const uint8_t* p = pixelAddress(const_cast<void*>(header), x, y);
  return p[0] * 65536u + p[1] * 256u + p[2];
}

void WritePixel24(void* header, int32_t x, int32_t y, uint32_t colour) {
  uint8_t* p = pixelAddress(header, x, y);
  p[0] = uint8_t(colour >> 16);
  p[1] = uint8_t(colour >> 8);
  p[2] = uint8_t(colour);
}

void FillFrame24(void* header, uint32_t colour) {
  const BitmapInfoHeader h = ReadHeader(header);
  const uint64_t rowBytes = RowBytes24(h.width);
  uint8_t* row = pixelsOf(header);
  for (int64_t y = 0; y < h.height; ++y, row += rowBytes) {
    for (int64_t x = 0; x < h.width; ++x) {
      row[3 * x] = uint8_t(colour >> 16);
      row[3 * x + 1] = uint8_t(colour >> 8);
      row[3 * x + 2] = uint8_t(colour);
    }
  }
}

PixelWriter::PixelWriter(void* header, uint32_t lockedHandle)
    : header_(static_cast<uint8_t*>(header)), handle_(lockedHandle) {
  const BitmapInfoHeader h = ReadHeader(header);
  width_ = h.width;
  rowBytes_ = int64_t(RowBytes24(h.width));
  bottomRow_ = int64_t(h.height) - 1;
  padding_ = rowBytes_ - 3 * width_;
  address_ = header_ + h.size + rowBytes_ * bottomRow_;
}

PixelWriter::PixelWriter(PixelWriter&& other) noexcept
    : header_(other.header_),
      handle_(std::exchange(other.handle_, 0)),
      column_(other.column_),
      row_(other.row_),
      address_(other.address_),
      bottomRow_(other.bottomRow_),
      rowBytes_(other.rowBytes_),
      width_(other.width_),
      padding_(other.padding_) {}

PixelWriter::~PixelWriter() {
  if (handle_) GlobalUnlock(handle_);
}

std::optional<PixelWriter> OpenWriter(void* header) {
  if (!header) return std::nullopt;
  const BitmapInfoHeader h = ReadHeader(header);
  if (h.bitCount != 24 || h.compression != 0) return std::nullopt;
  return PixelWriter(header, 0);
}

std::optional<PixelWriter> OpenWriterOnHandle(uint32_t frame) {
  void* header = GlobalLock(frame);
  if (!header) return std::nullopt;
  auto writer = OpenWriter(header);
  if (writer)
    writer->handle_ = frame;
  else
    GlobalUnlock(frame);  // a refused frame must not stay locked for ever
  return writer;
}

void SeekWriter(PixelWriter& w, int32_t x, int32_t y) {
  const uint32_t headerBytes = ReadHeader(w.header_).size;
  if (y != w.row_)
    w.address_ = w.header_ + headerBytes + w.rowBytes_ * (w.bottomRow_ - y) + 3 * (int64_t(x) - 1);
  else
    w.address_ += 3 * (int64_t(x) - 1 - w.column_);
  w.column_ = int64_t(x) - 1;
  w.row_ = y;
}

void PutPixel(PixelWriter& w, uint32_t colour) {
  const int64_t next = w.column_ + 1;
  if (next == w.width_) {
    ++w.row_;
    w.column_ = 0;
    w.address_ += w.padding_ - 2 * w.rowBytes_ + 3;
  } else {
    w.address_ += 3;
    w.column_ = next;
  }
  w.address_[0] = uint8_t(colour >> 16);
  w.address_[1] = uint8_t(colour >> 8);
  w.address_[2] = uint8_t(colour);
}

}  // namespace kpl

// ---- Frames and the platform's bitmaps ----

namespace kpl {
namespace {

// The logical palette made of the system palette's first entries, as FrameFromBitmap asks.
uint32_t systemPaletteCopy(uint32_t dc, uint32_t entries) {
  std::vector<uint8_t> storage(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY), 0);
  auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = uint16_t(entries);
  GetSystemPaletteEntries(dc, 0, entries, palette->palPalEntry);
  return CreatePalette(palette);
}

// The screen's context for one scope, with a palette realised in it if one is given.
class ScreenContext {
 public:
  ScreenContext() : dc_(GetDC(0)) {}
  ~ScreenContext() {
    if (selected_) {
      SelectPalette(dc_, previous_, 1);
      RealizePalette(dc_);
    }
    if (made_) DeleteObject(made_);
    if (dc_) ReleaseDC(0, dc_);
  }
  ScreenContext(const ScreenContext&) = delete;
  ScreenContext& operator=(const ScreenContext&) = delete;

  uint32_t get() const { return dc_; }
  void usePalette(uint32_t palette, uint32_t depth) {
    if (palette == 1) palette = made_ = systemPaletteCopy(dc_, 1u << depth);
    if (!palette) return;
    previous_ = SelectPalette(dc_, palette, 0);
    RealizePalette(dc_);
    selected_ = true;
  }

 private:
  uint32_t dc_;
  uint32_t made_ = 0;
  uint32_t previous_ = 0;
  bool selected_ = false;
};

}  // namespace

uint32_t FrameFromBitmap(uint32_t bitmap, uint32_t palette) {
  BITMAP description{};
  if (!GetObjectA(bitmap, sizeof description, &description)) {
    MessageBeep(MB_OK);
    return 0;
  }
  const uint32_t p = uint32_t(description.bmPlanes) * description.bmBitsPixel;
  const uint32_t depth = p <= 1 ? 1 : p <= 4 ? 4 : p <= 8 ? 8 : 24;
  const int64_t width = description.bmWidth, height = description.bmHeight;
  const uint64_t rowBytes = uint64_t((width * depth + 31) / 32) * 4;
  const uint64_t tableBytes = depth <= 8 ? 4u << depth : 0;
  const uint64_t bytes = rowBytes * uint64_t(height) + tableBytes + 44;
  if (width <= 0 || height <= 0 || bytes > kMaxGlobalBlockBytes) return 0;

  OwnedBlock frame(GMEM_MOVEABLE, bytes);
  if (!frame) return 0;
  BlockLock lock(frame.get());
  if (!lock) return 0;
  BitmapInfoHeader h{};
  h.size = kBitmapHeaderBytes;
  h.width = int32_t(width);
  h.height = int32_t(height);
  h.sizeImage = uint32_t(rowBytes * uint64_t(height));
  h.planes = 1;
  h.bitCount = uint16_t(depth);
  std::memcpy(lock.get(), &h, sizeof h);

  ScreenContext screen;
  if (depth <= 8) screen.usePalette(palette, depth);
  auto* block = lock.as<uint8_t>();
  const int32_t rows = GetDIBits(screen.get(), bitmap, 0, uint32_t(height),
                                 block + kBitmapHeaderBytes + tableBytes, block, DIB_RGB_COLORS);
  if (rows != height) return 0;
  return frame.release();
}

uint32_t BitmapFromFrame(uint32_t frame) {
  BlockLock lock(frame);
  return lock ? BitmapFromFrame24(lock.get(), GlobalSize(frame)) : 0;
}

uint32_t BitmapFromFrame24(const void* header, uint64_t bytes) {
  if (!header || !IsFrame24(header)) return 0;
  const BitmapInfoHeader h = ReadHeader(header);
  if (bytes < h.size + ImageBytes(header)) return 0;
  ScreenContext screen;
  BITMAPINFOHEADER info;
  std::memcpy(&info, header, sizeof info);
  info.biSize = sizeof info;  // the pixels are found through the frame's own header size
  return CreateDIBitmap(screen.get(), &info, CBM_INIT, static_cast<const uint8_t*>(header) + h.size,
                        &info, DIB_RGB_COLORS);
}

}  // namespace kpl
