#pragma once
// The bitmap object of the form library: a picture with a pixel format, a palette and rows
// addressable by index, over a bitmap handle it owns. Rows of a device-dependent bitmap are
// not addressable until the picture is given a pixel format.
#include <cstddef>
#include <cstdint>

#include "kpl/platform/api.h"
#include "kpl/platform/bitmaps.h"

namespace kpl {

enum class PixelFormat { kDevice, k1Bit, k4Bit, k8Bit, k24Bit, k32Bit };

class KPL_PLATFORM_API BitmapObject {
 public:
  BitmapObject() = default;
  ~BitmapObject();
  BitmapObject(const BitmapObject&) = delete;
  BitmapObject& operator=(const BitmapObject&) = delete;

  enum class Contents { kBlack, kWrittenByCaller };
  // A new picture of that size and format, every pixel index 0 (black) unless the caller is
  // about to write every pixel; false when the platform refuses it, leaving the picture empty.
  bool setSize(int32_t width, int32_t height, PixelFormat format,
               Contents contents = Contents::kBlack);
  // Converts the pixels: to 24 or 32 bits from anything, to the format it already has.
  bool setPixelFormat(PixelFormat format);
  PixelFormat pixelFormat() const { return format_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }

  // Row y counted from the top; null outside the picture or for a device-dependent bitmap.
  uint8_t* scanLine(int32_t y) const;
  // Copies `count` rows from row `top` down as packed blue, green, red rows (3 x width bytes
  // each, top row first) whatever the picture's format, without converting the rest of it;
  // false for rows outside the picture.
  bool copyRows24(int32_t top, int32_t count, uint8_t* out) const;

  // The colour table of a picture of 8 bits or fewer; none for deeper pictures.
  size_t paletteEntries(RGBQUAD* colours, size_t capacity) const;
  bool setPalette(const RGBQUAD* colours, size_t count);

  uint32_t handle() const { return handle_; }
  // Takes ownership of a bitmap handle (the one held before is deleted).
  bool assignHandle(uint32_t bitmap);
  // Hands the bitmap to the caller; the picture is then empty.
  uint32_t releaseHandle();

 private:
  void reset();
  bool describe();

  uint32_t handle_ = 0;
  PixelFormat format_ = PixelFormat::kDevice;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int64_t stride_ = 0;
  uint8_t* bits_ = nullptr;  // bottom row of a section
};

}  // namespace kpl
