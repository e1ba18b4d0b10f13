#pragma once
// Pictures as libswscale sees them, and the packed bottom-up bitmaps the services hand out.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct SwsContext;

namespace kpl::avi {

// Bytes of one row of a bitmap: padded to 4 bytes.
inline uint32_t dibStride(int32_t width, int bits) {
  return uint32_t((int64_t(width) * bits + 31) / 32 * 4);
}

// The pixel format of uncompressed bitmap rows of `bits` per pixel, or AV_PIX_FMT_NONE.
AVPixelFormat dibPixelFormat(int bits);

struct PictureView {
  const uint8_t* data[4] = {};
  int linesize[4] = {};
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int width = 0, height = 0;
};

// Keeps libav's log to errors; called before codecs and conversions are first used.
void quietCodecLog();

// Converts pictures of one size into bitmap rows, keeping its conversion context between calls.
class PictureConverter {
 public:
  PictureConverter() = default;
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // Writes `source` into `rows` (the bottom row first, `stride` apart) as `target` pixels.
  bool toBitmapRows(const PictureView& source, AVPixelFormat target, uint8_t* rows,
                    uint32_t stride);
  // Reads bitmap rows (the bottom row first unless `topDown`) into a picture of `target` pixels.
  bool fromBitmapRows(const uint8_t* rows, uint32_t stride, bool topDown, AVPixelFormat source,
                      const uint32_t* palette, int width, int height, AVPixelFormat target,
                      uint8_t* const* planes, const int* linesizes);

 private:
  SwsContext* context_ = nullptr;
};

}  // namespace kpl::avi
