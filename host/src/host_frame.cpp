#include "host_frame.hpp"

#include <cstring>
#include <limits>

#include "errors.hpp"
#include "kpl/support/dib_lib.hpp"

namespace kplhost {

HostFrame::HostFrame(const RgbImage& image)
    : block_(kpl::NewFrame24(image.width(), image.height())) {
  address_ = GlobalLock(block_.get());
  const size_t size = GlobalSize(block_.get());
  if (!address_ || size > size_t(std::numeric_limits<int32_t>::max()))
    throw Failure("a " + std::to_string(image.width()) + "x" + std::to_string(image.height()) +
                  " picture is too large for a frame");
  bytes_ = int32_t(size);
  auto* pixels = static_cast<uint8_t*>(address_) + kpl::kBitmapHeaderBytes;
  const uint64_t rowBytes = kpl::RowBytes24(image.width());
  for (int32_t y = 0; y < image.height(); ++y) {
    uint8_t* out = pixels + rowBytes * uint64_t(image.height() - 1 - y);  // rows run bottom-up
    for (const Rgb* in = image.row(y); in != image.row(y) + image.width(); ++in, out += 3) {
      out[0] = in->blue;
      out[1] = in->green;
      out[2] = in->red;
    }
  }
}

HostFrame::~HostFrame() {
  if (address_) GlobalUnlock(block_.get());
}

RgbImage ImageFromFrame(std::span<const uint8_t> frame) {
  if (frame.size() < kpl::kBitmapHeaderBytes || !kpl::IsFrame24(frame.data()))
    throw Failure("the result is not an uncompressed 24-bit frame");
  const kpl::BitmapInfoHeader header = kpl::ReadHeader(frame.data());
  const uint64_t rowBytes = kpl::RowBytes24(header.width);
  if (header.width == 0 || header.height == 0 ||
      header.size + rowBytes * uint64_t(header.height) > frame.size())
    throw Failure("the result frame (" + std::to_string(header.width) + "x" +
                  std::to_string(header.height) + ") does not fit its " +
                  std::to_string(frame.size()) + "-byte block");
  const uint8_t* pixels = frame.data() + header.size;
  RgbImage image(header.width, header.height);
  for (int32_t y = 0; y < header.height; ++y) {
    const uint8_t* in = pixels + rowBytes * uint64_t(header.height - 1 - y);
    for (Rgb* out = image.row(y); out != image.row(y) + header.width; ++out, in += 3)
      *out = {in[2], in[1], in[0]};
  }
  return image;
}

}  // namespace kplhost
