#include "png_io.hpp"

#include <png.h>

#include <cstring>

#include "errors.hpp"

namespace kplhost {
namespace {

// Pictures beyond this many pixels are refused before any buffer is sized from a header.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;

// The library's picture record, freed whatever way the reading or writing ends.
class PngImage {
 public:
  PngImage() {
    std::memset(&image_, 0, sizeof image_);
    image_.version = PNG_IMAGE_VERSION;
  }
  ~PngImage() { png_image_free(&image_); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;

  png_image* get() { return &image_; }
  png_image* operator->() { return &image_; }

 private:
  png_image image_;
};

}  // namespace

RgbImage ReadPng(const std::filesystem::path& path) {
  PngImage png;
  const std::string name = path.string();
  if (!png_image_begin_read_from_file(png.get(), name.c_str()))
    throw Failure("cannot read picture " + name + ": " + png->message);
  if (png->width == 0 || png->height == 0 || uint64_t(png->width) * png->height > kMaxPixels)
    throw Failure("cannot read picture " + name + ": " + std::to_string(png->width) + "x" +
                  std::to_string(png->height) + " is not a size kplhost handles");
  png->format = PNG_FORMAT_RGB;
  RgbImage image(int32_t(png->width), int32_t(png->height));
  // A transparent picture is composed onto black, the colour of an empty frame.
  if (!png_image_finish_read(png.get(), nullptr, image.row(0), 0, nullptr))
    throw Failure("cannot read picture " + name + ": " + png->message);
  return image;
}

void WritePng(const std::filesystem::path& path, const RgbImage& image) {
  if (image.width() <= 0 || image.height() <= 0)
    throw Failure("cannot write picture " + path.string() + ": it is empty");
  PngImage png;
  png->width = png_uint_32(image.width());
  png->height = png_uint_32(image.height());
  png->format = PNG_FORMAT_RGB;
  const std::string name = path.string();
  if (!png_image_write_to_file(png.get(), name.c_str(), 0, image.row(0), 0, nullptr))
    throw Failure("cannot write picture " + name + ": " + png->message);
}

}  // namespace kplhost
