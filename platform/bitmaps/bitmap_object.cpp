#include "kpl/platform/bitmap_object.hpp"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "sections.hpp"

namespace kpl {
namespace {

uint16_t bitsOf(PixelFormat format) {
  switch (format) {
    case PixelFormat::k1Bit:
      return 1;
    case PixelFormat::k4Bit:
      return 4;
    case PixelFormat::k8Bit:
      return 8;
    case PixelFormat::k24Bit:
      return 24;
    case PixelFormat::k32Bit:
      return 32;
    default:
      return 0;
  }
}

// Header and a full colour table, as the section calls take them.
struct SectionInfo {
  BITMAPINFOHEADER header{};
  std::array<RGBQUAD, 256> colours{};
};

SectionInfo infoFor(int32_t width, int32_t height, uint16_t bits) {
  SectionInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = bits;
  if (bits == 1) info.colours[1] = {255, 255, 255, 0};
  return info;
}

}  // namespace

BitmapObject::~BitmapObject() {
  reset();
}

void BitmapObject::reset() {
  if (handle_) DeleteObject(handle_);
  handle_ = 0;
  format_ = PixelFormat::kDevice;
  width_ = height_ = 0;
  stride_ = 0;
  bits_ = nullptr;
}

bool BitmapObject::describe() {
  BITMAP d{};
  if (!GetObjectA(handle_, sizeof d, &d)) return false;
  width_ = d.bmWidth;
  height_ = d.bmHeight;
  stride_ = d.bmWidthBytes;
  bits_ = static_cast<uint8_t*>(d.bmBits);
  if (!bits_) {
    format_ = PixelFormat::kDevice;
    return true;
  }
  switch (d.bmBitsPixel) {
    case 1:
      format_ = PixelFormat::k1Bit;
      break;
    case 4:
      format_ = PixelFormat::k4Bit;
      break;
    case 8:
      format_ = PixelFormat::k8Bit;
      break;
    case 32:
      format_ = PixelFormat::k32Bit;
      break;
    default:
      format_ = PixelFormat::k24Bit;
  }
  return true;
}

bool BitmapObject::setSize(int32_t width, int32_t height, PixelFormat format, Contents contents) {
  reset();
  const uint16_t bits = bitsOf(format);
  if (!bits) return false;
  const SectionInfo info = infoFor(width, height, bits);
  void* rows = nullptr;
  handle_ = platform::CreateSection(&info, &rows, contents == Contents::kBlack);
  return handle_ && describe();
}

bool BitmapObject::setPixelFormat(PixelFormat format) {
  if (!handle_) return false;
  if (format == format_) return true;
  const uint16_t bits = bitsOf(format);
  if (bits != 24 && bits != 32) return false;
  SectionInfo info = infoFor(width_, height_, bits);
  void* rows = nullptr;
  const uint32_t converted = CreateDIBSection(0, &info, DIB_RGB_COLORS, &rows, 0, 0);
  if (!converted) return false;
  const uint32_t dc = GetDC(0);
  const int32_t read = GetDIBits(dc, handle_, 0, uint32_t(height_), rows, &info, DIB_RGB_COLORS);
  ReleaseDC(0, dc);
  if (read != height_) {
    DeleteObject(converted);
    return false;
  }
  return assignHandle(converted);
}

uint8_t* BitmapObject::scanLine(int32_t y) const {
  if (!bits_ || y < 0 || y >= height_) return nullptr;
  return bits_ + stride_ * (int64_t(height_) - 1 - y);
}

bool BitmapObject::copyRows24(int32_t top, int32_t count, uint8_t* out) const {
  if (!handle_ || top < 0 || count <= 0 || count > height_ - top) return false;
  const size_t packed = size_t(width_) * 3;
  if (format_ == PixelFormat::k24Bit) {
    for (int32_t i = 0; i < count; ++i)
      std::memcpy(out + packed * size_t(i), scanLine(top + i), packed);
    return true;
  }
  // One band through the device-independent form, asked for top row first; rows that need no
  // padding land in place.
  SectionInfo info = infoFor(width_, -height_, 24);
  const size_t stride = (packed + 3) & ~size_t{3};
  std::vector<uint8_t> band(stride == packed ? 0 : stride * size_t(count));
  uint8_t* target = band.empty() ? out : band.data();
  const uint32_t dc = GetDC(0);
  const int32_t read =
      GetDIBits(dc, handle_, uint32_t(top), uint32_t(count), target, &info, DIB_RGB_COLORS);
  ReleaseDC(0, dc);
  if (read != count) return false;
  if (!band.empty())
    for (int32_t i = 0; i < count; ++i)
      std::memcpy(out + packed * size_t(i), band.data() + stride * size_t(i), packed);
  return true;
}

size_t BitmapObject::paletteEntries(RGBQUAD* colours, size_t capacity) const {
  if (!handle_ || !bits_) return 0;
  return GetDIBColorTable(0, handle_, 0, uint32_t(capacity), colours);
}

bool BitmapObject::setPalette(const RGBQUAD* colours, size_t count) {
  return handle_ && SetDIBColorTable(0, handle_, 0, uint32_t(count), colours) != 0;
}

bool BitmapObject::assignHandle(uint32_t bitmap) {
  reset();
  handle_ = bitmap;
  if (describe()) return true;
  handle_ = 0;
  return false;
}

uint32_t BitmapObject::releaseHandle() {
  const uint32_t handle = std::exchange(handle_, 0);
  reset();
  return handle;
}

}  // namespace kpl
