// Bitmaps, palettes and the screen's device context, held in memory.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <variant>
#include <vector>

#include "../common/handle_table.hpp"
#include "../common/recycled_storage.hpp"
#include "kpl/platform/bitmaps.h"
#include "sections.hpp"

namespace {

// Larger pictures than this are refused instead of allocated.
constexpr uint64_t kMaxBitmapBytes = uint64_t{1} << 31;

struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 0;
  bool section = false;                        // rows reachable by the caller
  int64_t stride = 0;                          // bytes per stored row
  kpl::platform::StoragePtr<uint8_t> storage;  // rows, bottom row first
  std::vector<RGBQUAD> colours;
  uint8_t* row(int64_t index) const { return storage.get() + size_t(index * stride); }
};
struct Palette {
  std::vector<PALETTEENTRY> entries;
};
struct Context {
  uint32_t palette = 0;
};
using Object = std::variant<Bitmap, Palette, Context>;

// Handles of two more than a multiple of four: never a memory block (multiples of four) nor
// an icon (odd).
kpl::platform::HandleTable<Object>& objects() {
  static kpl::platform::HandleTable<Object> table(0x80000002u, 4);
  return table;
}

int64_t strideFor(int64_t width, uint32_t bitsPerPixel, uint32_t alignment) {
  const int64_t bytes = (width * bitsPerPixel + 7) / 8;
  return (bytes + alignment - 1) / alignment * alignment;
}

bool dibDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

enum class Rows { kZeroed, kFilledByCaller };

// A bitmap of the given depth; false when it may not or cannot exist. Rows the caller is about
// to fill whole are not cleared first.
bool makeBitmap(Bitmap& b, int32_t width, int32_t height, uint16_t bitsPerPixel, bool section,
                Rows rows = Rows::kZeroed) {
  if (width <= 0 || height <= 0) return false;
  const int64_t stride = strideFor(width, bitsPerPixel, section ? 4 : 2);
  const uint64_t bytes = uint64_t(stride) * uint64_t(height);
  if (bytes > kMaxBitmapBytes) return false;
  b.storage = kpl::platform::StoragePtr<uint8_t>(
      static_cast<uint8_t*>(kpl::platform::AllocateStorage(size_t(bytes), rows == Rows::kZeroed)),
      {size_t(bytes)});
  if (!b.storage) return false;
  b.width = width;
  b.height = height;
  b.bitsPerPixel = bitsPerPixel;
  b.section = section;
  b.stride = stride;
  if (bitsPerPixel <= 8) b.colours.assign(size_t(1) << bitsPerPixel, RGBQUAD{0, 0, 0, 0});
  if (bitsPerPixel == 1) b.colours[1] = RGBQUAD{255, 255, 255, 0};
  return true;
}

// Index of pixel x of a row of 1, 4 or 8 bits.
unsigned indexAt(const uint8_t* row, int64_t x, uint32_t bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

// Writes `width` pixels of a packed row of any device-independent depth as blue, green, red.
void toBgr(const uint8_t* src, uint32_t bits, int64_t width, const RGBQUAD* table, size_t tableSize,
           uint8_t* out) {
  switch (bits) {
    case 24:
      std::memcpy(out, src, size_t(width) * 3);
      return;
    case 32:
      for (int64_t x = 0; x < width; ++x, out += 3, src += 4) {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
      }
      return;
    case 16:
      for (int64_t x = 0; x < width; ++x, out += 3, src += 2) {
        const unsigned v = src[0] | src[1] << 8;
        out[0] = uint8_t((v & 31) << 3);
        out[1] = uint8_t(((v >> 5) & 31) << 3);
        out[2] = uint8_t(((v >> 10) & 31) << 3);
      }
      return;
    default:
      for (int64_t x = 0; x < width; ++x, out += 3) {
        const unsigned i = indexAt(src, x, bits);
        const RGBQUAD c = i < tableSize ? table[i] : RGBQUAD{0, 0, 0, 0};
        out[0] = c.rgbBlue;
        out[1] = c.rgbGreen;
        out[2] = c.rgbRed;
      }
  }
}

// The depth-independent way from a bitmap row to a packed row of 24 or 32 bits.
void rowTo(const Bitmap& b, int64_t row, uint32_t targetBits, uint8_t* out,
           std::vector<uint8_t>& scratch) {
  const uint8_t* src = b.row(row);
  if (targetBits == 24) {
    toBgr(src, b.bitsPerPixel, b.width, b.colours.data(), b.colours.size(), out);
    return;
  }
  scratch.resize(size_t(b.width) * 3);
  toBgr(src, b.bitsPerPixel, b.width, b.colours.data(), b.colours.size(), scratch.data());
  for (int64_t x = 0; x < b.width; ++x) {
    out[4 * x] = scratch[3 * x];
    out[4 * x + 1] = scratch[3 * x + 1];
    out[4 * x + 2] = scratch[3 * x + 2];
    out[4 * x + 3] = 0;
  }
}

template <class T>
T* as(Object* object) {
  return object ? std::get_if<T>(object) : nullptr;
}

uint32_t addBitmap(Bitmap bitmap) {
  return objects().add(Object(std::move(bitmap)));
}

}  // namespace

extern "C" {

uint32_t GetDC(uint32_t window) {
  if (window != 0) return 0;
  try {
    return objects().add(Object(Context{}));
  } catch (...) {
    return 0;
  }
}

int32_t ReleaseDC(uint32_t, uint32_t dc) {
  const bool isContext = objects().with(dc, [](Object* o) { return as<Context>(o) != nullptr; });
  if (!isContext) return 0;
  objects().take(dc);
  return 1;
}

int32_t GetDeviceCaps(uint32_t dc, int32_t index) {
  const bool isContext = objects().with(dc, [](Object* o) { return as<Context>(o) != nullptr; });
  if (!isContext) return 0;
  switch (index) {
    case BITSPIXEL:
      return kScreenBitsPerPixel;
    case PLANES:
      return 1;
    case RASTERCAPS:
      return 0;  // no RC_PALETTE: a true-colour device
    case SIZEPALETTE:
      return 0;
    default:
      return 0;
  }
}

uint32_t CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitsPerPixel,
                      const void* bits) {
  try {
    if (planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != kScreenBitsPerPixel)) return 0;
    Bitmap b;
    if (!makeBitmap(b, width, height, uint16_t(bitsPerPixel), false)) return 0;
    if (bits) {
      const auto* src = static_cast<const uint8_t*>(bits);
      for (int64_t y = 0; y < height; ++y)  // given top first, kept bottom first
        std::memcpy(b.row(height - 1 - y), src + size_t(y * b.stride), size_t(b.stride));
    }
    return addBitmap(std::move(b));
  } catch (...) {
    return 0;
  }
}

uint32_t CreateCompatibleBitmap(uint32_t dc, int32_t width, int32_t height) {
  try {
    if (GetDeviceCaps(dc, BITSPIXEL) != kScreenBitsPerPixel) return 0;
    Bitmap b;
    if (!makeBitmap(b, width, height, kScreenBitsPerPixel, false)) return 0;
    return addBitmap(std::move(b));
  } catch (...) {
    return 0;
  }
}

uint32_t CreateDIBitmap(uint32_t dc, const BITMAPINFOHEADER* header, uint32_t init,
                        const void* bits, const void* info, uint32_t usage) {
  try {
    if (!header || usage != DIB_RGB_COLORS) return 0;
    if (GetDeviceCaps(dc, BITSPIXEL) != kScreenBitsPerPixel) return 0;
    BITMAPINFOHEADER h;
    std::memcpy(&h, header, sizeof h);
    Bitmap b;
    const bool filled = (init & CBM_INIT) != 0;
    if (!makeBitmap(b, h.biWidth, h.biHeight, kScreenBitsPerPixel, false,
                    filled ? Rows::kFilledByCaller : Rows::kZeroed))
      return 0;
    if (filled) {
      if (!bits || !info) return 0;
      BITMAPINFOHEADER source;
      std::memcpy(&source, info, sizeof source);
      if (source.biCompression != BI_RGB || !dibDepth(source.biBitCount) ||
          source.biSize < sizeof(BITMAPINFOHEADER) || source.biWidth != h.biWidth ||
          source.biHeight != h.biHeight)
        return 0;
      std::vector<RGBQUAD> table;
      if (source.biBitCount <= 8) {
        table.resize(source.biClrUsed && source.biClrUsed <= 256 ? source.biClrUsed
                                                                 : size_t(1) << source.biBitCount);
        std::memcpy(table.data(), static_cast<const uint8_t*>(info) + source.biSize,
                    table.size() * sizeof(RGBQUAD));
      }
      const int64_t sourceStride = strideFor(source.biWidth, source.biBitCount, 4);
      const int64_t used = int64_t(h.biWidth) * 3;
      const auto* src = static_cast<const uint8_t*>(bits);
      for (int64_t y = 0; y < h.biHeight; ++y) {
        toBgr(src + size_t(y * sourceStride), source.biBitCount, h.biWidth, table.data(),
              table.size(), b.row(y));
        std::memset(b.row(y) + used, 0, size_t(b.stride - used));
      }
    }
    return addBitmap(std::move(b));
  } catch (...) {
    return 0;
  }
}

}  // extern "C"

namespace kpl::platform {

uint32_t CreateSection(const void* info, void** bits, bool cleared) {
  try {
    if (bits) *bits = nullptr;
    if (!info) return 0;
    BITMAPINFOHEADER h;
    std::memcpy(&h, info, sizeof h);
    if (h.biCompression != BI_RGB || h.biSize < sizeof h || h.biPlanes != 1 ||
        (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24 &&
         h.biBitCount != 32))
      return 0;
    Bitmap b;
    if (!makeBitmap(b, h.biWidth, h.biHeight, h.biBitCount, true,
                    cleared ? Rows::kZeroed : Rows::kFilledByCaller))
      return 0;
    if (h.biBitCount <= 8) {
      const size_t given =
          h.biClrUsed ? std::min<size_t>(h.biClrUsed, b.colours.size()) : b.colours.size();
      std::memcpy(b.colours.data(), static_cast<const uint8_t*>(info) + h.biSize,
                  given * sizeof(RGBQUAD));
    }
    void* first = b.storage.get();
    const uint32_t handle = addBitmap(std::move(b));
    if (handle && bits) *bits = first;
    return handle;
  } catch (...) {
    return 0;
  }
}

}  // namespace kpl::platform

extern "C" {

uint32_t CreateDIBSection(uint32_t, const void* info, uint32_t usage, void** bits, uint32_t,
                          uint32_t) {
  if (bits) *bits = nullptr;
  if (usage != DIB_RGB_COLORS) return 0;
  return kpl::platform::CreateSection(info, bits, true);
}

uint32_t SetDIBColorTable(uint32_t, uint32_t bitmap, uint32_t start, uint32_t count,
                          const RGBQUAD* colours) {
  if (!colours) return 0;
  return objects().with(bitmap, [&](Object* o) -> uint32_t {
    Bitmap* b = as<Bitmap>(o);
    if (!b || !b->section || start >= b->colours.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, uint32_t(b->colours.size()) - start);
    std::copy_n(colours, n, b->colours.begin() + start);
    return n;
  });
}

uint32_t GetDIBColorTable(uint32_t, uint32_t bitmap, uint32_t start, uint32_t count,
                          RGBQUAD* colours) {
  if (!colours) return 0;
  return objects().with(bitmap, [&](Object* o) -> uint32_t {
    Bitmap* b = as<Bitmap>(o);
    if (!b || !b->section || start >= b->colours.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, uint32_t(b->colours.size()) - start);
    std::copy_n(b->colours.begin() + start, n, colours);
    return n;
  });
}

int32_t GetObjectA(uint32_t object, int32_t bytes, void* out) {
  return objects().with(object, [&](Object* o) -> int32_t {
    if (const Bitmap* b = as<Bitmap>(o)) {
      if (!out || bytes < int32_t(sizeof(BITMAP))) return 0;
      BITMAP d{};
      d.bmWidth = b->width;
      d.bmHeight = b->height;
      d.bmWidthBytes = int32_t(b->stride);
      d.bmPlanes = 1;
      d.bmBitsPixel = b->bitsPerPixel;
      d.bmBits = b->section ? b->storage.get() : nullptr;
      std::memcpy(out, &d, sizeof d);
      return int32_t(sizeof d);
    }
    if (const Palette* p = as<Palette>(o)) {
      if (!out || bytes < 2) return 0;
      const uint16_t count = uint16_t(p->entries.size());
      std::memcpy(out, &count, 2);
      return 2;
    }
    return 0;
  });
}

int32_t GetDIBits(uint32_t, uint32_t bitmap, uint32_t start, uint32_t lines, void* bits, void* info,
                  uint32_t usage) {
  if (!info || usage != DIB_RGB_COLORS) return 0;
  try {
    return objects().with(bitmap, [&](Object* o) -> int32_t {
      const Bitmap* b = as<Bitmap>(o);
      if (!b) return 0;
      BITMAPINFOHEADER h;
      std::memcpy(&h, info, sizeof h);
      if (h.biSize < sizeof h) return 0;
      uint16_t target = h.biBitCount ? h.biBitCount : b->bitsPerPixel;
      if (target == 16 && b->bitsPerPixel != 16) return 0;
      const bool sameIndexed = target <= 8 && target == b->bitsPerPixel;
      if (target != 24 && target != 32 && !sameIndexed) return 0;
      const int64_t stride = strideFor(b->width, target, 4);
      const bool topDown = h.biHeight < 0;  // rows asked for top first, `start` from the top
      h.biWidth = b->width;
      h.biHeight = topDown ? -b->height : b->height;
      h.biPlanes = 1;
      h.biBitCount = target;
      h.biCompression = BI_RGB;
      h.biSizeImage = uint32_t(stride * b->height);
      std::memcpy(info, &h, sizeof h);
      if (sameIndexed)
        std::memcpy(static_cast<uint8_t*>(info) + h.biSize, b->colours.data(),
                    b->colours.size() * sizeof(RGBQUAD));
      if (!bits) return int32_t(b->height);
      if (start >= uint32_t(b->height)) return 0;
      const uint32_t count = std::min<uint32_t>(lines, uint32_t(b->height) - start);
      auto* out = static_cast<uint8_t*>(bits);
      std::vector<uint8_t> scratch;
      for (uint32_t i = 0; i < count; ++i) {
        const int64_t row = topDown ? int64_t(b->height) - 1 - start - i : int64_t(start) + i;
        uint8_t* dst = out + size_t(i) * size_t(stride);
        if (sameIndexed) {
          std::memcpy(dst, b->row(row), size_t(std::min(stride, b->stride)));
        } else {
          rowTo(*b, row, target, dst, scratch);
        }
        const int64_t used = (int64_t(b->width) * target + 7) / 8;
        std::memset(dst + used, 0, size_t(stride - used));
      }
      return int32_t(count);
    });
  } catch (...) {
    return 0;
  }
}

int32_t DeleteObject(uint32_t object) {
  const bool deletable = objects().with(
      object, [](Object* o) { return as<Bitmap>(o) != nullptr || as<Palette>(o) != nullptr; });
  if (!deletable) return 0;
  objects().take(object);
  return 1;
}

uint32_t CreatePalette(const LOGPALETTE* palette) {
  try {
    if (!palette || palette->palVersion != 0x300) return 0;
    Palette p;
    p.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return objects().add(Object(std::move(p)));
  } catch (...) {
    return 0;
  }
}

uint32_t GetPaletteEntries(uint32_t palette, uint32_t start, uint32_t count,
                           PALETTEENTRY* entries) {
  return objects().with(palette, [&](Object* o) -> uint32_t {
    const Palette* p = as<Palette>(o);
    if (!p || start >= p->entries.size()) return 0;
    const uint32_t n = std::min<uint32_t>(count, uint32_t(p->entries.size()) - start);
    if (entries) std::copy_n(p->entries.begin() + start, n, entries);
    return n;
  });
}

uint32_t SelectPalette(uint32_t dc, uint32_t palette, int32_t) {
  return objects().with(dc, [&](Object* o) -> uint32_t {
    Context* c = as<Context>(o);
    if (!c) return 0;
    const uint32_t previous = c->palette;
    c->palette = palette;
    return previous;
  });
}

uint32_t RealizePalette(uint32_t) {
  return 0;
}

uint32_t GetSystemPaletteEntries(uint32_t, uint32_t, uint32_t, PALETTEENTRY*) {
  return 0;
}

size_t LiveGdiObjects(void) {
  return objects().size();
}
}
