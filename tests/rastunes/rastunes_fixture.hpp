#pragma once
// Loads rastunes.kpl as a host does; builds files byte by byte in a scratch folder and reads
// back what the module writes and loads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "file_bytes.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/tessal_plug.hpp"
#include "module_test_base.hpp"

namespace rastunes_test {

inline constexpr uint32_t kPcx = 0, kTarga = 1, kAlias = 2, kAli = 3, kSgi = 4, kBw = 5, kRgb = 6,
                          kRgba = 7, kAiff = 8, kAif = 9;

using file_bytes::Bytes;

// Blue, green, red of one pixel; pictures are top row first.
struct Bgr {
  uint8_t blue = 0, green = 0, red = 0;
  bool operator==(const Bgr&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Bgr& c) {
  return os << "(r" << int(c.red) << " g" << int(c.green) << " b" << int(c.blue) << ")";
}
inline Bgr FromRgb(uint8_t r, uint8_t g, uint8_t b) {
  return {b, g, r};
}

struct Picture {
  int32_t width = 0, height = 0;
  std::vector<Bgr> pixels;
  Bgr at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  Bgr& at(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A picture whose pixel (x, y) is colour(x, y).
template <class Colour>
Picture MakePicture(int32_t width, int32_t height, Colour colour) {
  Picture p{width, height, std::vector<Bgr>(size_t(width) * size_t(height))};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      p.at(x, y) = colour(x, y);
  return p;
}

// Reads a 24-bit frame block through its header alone, checking the block covers it.
inline Picture PictureOfFrame(uint32_t frame) {
  kpl::BlockLock lock(frame);
  EXPECT_TRUE(lock);
  if (!lock) return {};
  const kpl::BitmapInfoHeader h = kpl::ReadHeader(lock.get());
  EXPECT_EQ(h.bitCount, 24);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_GE(GlobalSize(frame), h.size + kpl::RowBytes24(h.width) * uint64_t(h.height));
  Picture p{h.width, h.height, std::vector<Bgr>(size_t(h.width) * size_t(h.height))};
  for (int32_t y = 0; y < h.height; ++y)
    for (int32_t x = 0; x < h.width; ++x) {
      const uint32_t c = kpl::ReadPixel24(lock.get(), x, y);
      p.at(x, y) = FromRgb(uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16));
    }
  return p;
}

// A new 24-bit frame holding the picture.
inline kpl::OwnedBlock FrameOf(const Picture& p) {
  kpl::OwnedBlock frame(kpl::NewFrame24(p.width, p.height));
  kpl::BlockLock lock(frame.get());
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) {
      const Bgr c = p.at(x, y);
      kpl::WritePixel24(lock.get(), x, y, kpl::ColourValue(c.red, c.green, c.blue));
    }
  return frame;
}

inline kpl::FormatRecord PictureFormat(int32_t width, int32_t height, uint16_t bits,
                                       uint32_t flags = 1) {
  kpl::FormatRecord f{};
  f.flags = flags;
  f.frameCount = 1;
  f.video.size = 40;
  f.video.width = width;
  f.video.height = height;
  f.video.planes = 1;
  f.video.bitCount = bits;
  return f;
}

using file_bytes::ReadBytes;
using file_bytes::WriteBytes;

inline void PutLe16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void PutBe16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}
inline void PutBe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
inline uint32_t Be16At(const Bytes& b, size_t at) {
  return uint32_t(b.at(at)) << 8 | b.at(at + 1);
}
inline uint32_t Be32At(const Bytes& b, size_t at) {
  return Be16At(b, at) << 16 | Be16At(b, at + 2);
}
inline Bytes Joined(Bytes b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
  return b;
}
inline std::vector<char> NameOf(const std::string& file) {
  std::vector<char> name(file.begin(), file.end());
  name.push_back('\0');
  return name;
}

class Rastunes : public module_test::ModuleTest<Rastunes> {
 public:
  static constexpr const char* kModuleFile = "rastunes.kpl";

 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("rastunes-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
            std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    ModuleTest::TearDown();
    for (uint32_t block : blocks_)
      GlobalFree(block);
    std::filesystem::remove_all(dir_);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // An instance freed at the end of the test.
  uint32_t instance(uint32_t type, uint32_t flags = 0) { return ModuleTest::instance(type, flags); }
  // A block handed to the host, freed at the end of the test.
  uint32_t owned(uint32_t block) {
    if (block) blocks_.push_back(block);
    return block;
  }

  // Mode 0 then mode 1, as a host reads a picture; none when either step refuses.
  std::optional<Picture> load(uint32_t type, const std::string& file) {
    const uint32_t local = instance(type);
    std::vector<char> name(file.begin(), file.end());
    name.push_back('\0');
    if (m().piLocalLoadData(type, local, 0, name.data()) != -1) return std::nullopt;
    const uint32_t record = owned(m().piLocalGetData(type, local));
    kpl::FormatRecord format{};
    {
      kpl::BlockLock lock(record);
      EXPECT_TRUE(lock);
      if (!lock) return std::nullopt;
      std::memcpy(&format, lock.get(), sizeof format);
    }
    const bool loaded = m().piLocalLoadData(type, local, 1, name.data()) == -1;
    const uint32_t frame = owned(m().piLocalGetData(type, local));
    if (!loaded) {
      EXPECT_NE(frame, record) << "a failed load leaves no frame behind";
      return std::nullopt;
    }
    Picture p = PictureOfFrame(frame);
    EXPECT_EQ(format.video.width, p.width);
    EXPECT_EQ(format.video.height, p.height);
    return p;
  }

  std::optional<Picture> loadBytes(uint32_t type, const Bytes& bytes) {
    const std::string file = path("in.bin");
    WriteBytes(file, bytes);
    return load(type, file);
  }

  // Writes a frame through a fresh instance as a host does; the answer of the save.
  bool save(uint32_t type, const Picture& picture, const std::string& file) {
    const kpl::OwnedBlock frame = FrameOf(picture);
    kpl::BlockLock lock(frame.get());
    const uint32_t local = instance(type);
    const kpl::FormatRecord format = PictureFormat(picture.width, picture.height, 24);
    EXPECT_EQ(m().piLocalSetFormat(type, local, &format), -1);
    EXPECT_EQ(
        m().piLocalSetData(type, local, lock.get(), int32_t(GlobalSize(frame.get())), nullptr, 0),
        -1);
    std::vector<char> name(file.begin(), file.end());
    name.push_back('\0');
    return m().piLocalSaveData(type, local, 0, name.data()) == -1;
  }

  std::filesystem::path dir_;
  std::vector<uint32_t> blocks_;
};

// Any pattern of colours that differs from pixel to pixel and from row to row.
inline Bgr Varied(int32_t x, int32_t y) {
  return {uint8_t(x * 37 + y * 11), uint8_t(x * 5 + y * 71 + 3), uint8_t(x * y + 200)};
}

}  // namespace rastunes_test
