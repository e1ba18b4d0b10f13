#include "picture_convert.hpp"

#include <mutex>

extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace kpl::avi {

AVPixelFormat dibPixelFormat(int bits) {
  switch (bits) {
    case 8:
      return AV_PIX_FMT_PAL8;
    case 16:
      return AV_PIX_FMT_RGB555LE;
    case 24:
      return AV_PIX_FMT_BGR24;
    case 32:
      return AV_PIX_FMT_BGR0;
    default:
      return AV_PIX_FMT_NONE;
  }
}

void quietCodecLog() {
  // libav's notes (deprecated full-range formats, ...) would otherwise land on the host's
  // stderr for every frame; errors still show.
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

PictureConverter::~PictureConverter() {
  sws_freeContext(context_);
}

bool PictureConverter::toBitmapRows(const PictureView& source, AVPixelFormat target, uint8_t* rows,
                                    uint32_t stride) {
  context_ =
      sws_getCachedContext(context_, source.width, source.height, source.format, source.width,
                           source.height, target, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!context_) return false;
  // Bitmaps keep the bottom row first: write top down from the last row, a negative stride.
  uint8_t* planes[4] = {rows + size_t(stride) * size_t(source.height - 1)};
  int linesizes[4] = {-int(stride)};
  return sws_scale(context_, source.data, source.linesize, 0, source.height, planes, linesizes) ==
         source.height;
}

bool PictureConverter::fromBitmapRows(const uint8_t* rows, uint32_t stride, bool topDown,
                                      AVPixelFormat source, const uint32_t* palette, int width,
                                      int height, AVPixelFormat target, uint8_t* const* planes,
                                      const int* linesizes) {
  context_ = sws_getCachedContext(context_, width, height, source, width, height, target,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!context_) return false;
  const uint8_t* data[4] = {topDown ? rows : rows + size_t(stride) * size_t(height - 1),
                            reinterpret_cast<const uint8_t*>(palette)};
  const int strides[4] = {topDown ? int(stride) : -int(stride)};
  return sws_scale(context_, data, strides, 0, height, planes, linesizes) == height;
}

}  // namespace kpl::avi
