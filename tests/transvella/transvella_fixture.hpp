#pragma once
// Loads transvella.kpl as a host does, runs transition steps on pictures whose every pixel
// names its picture and position, and reads the results back as such names.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "module_test_base.hpp"

namespace transvella_test {

inline constexpr uint32_t kFadeIn = 0, kFadeOut = 1, kCrossFade = 2, kInOut = 3, kPush = 4,
                          kSlide = 5, kSnakeWipe = 6, kCurtainSlide = 7, kChessboard = 8;

class Transvella : public module_test::ModuleTest<Transvella> {
 public:
  static constexpr const char* kModuleFile = "transvella.kpl";

  // An instance freed at the end of the test.
  uint32_t instance(uint32_t type, uint32_t flags = 0x1) {
    return ModuleTest::instance(type, flags);
  }

  // Loads settings lines 0, 1, ... into an instance.
  void load(uint32_t type, uint32_t local, std::vector<std::string> lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
      std::vector<char> text(lines[i].begin(), lines[i].end());
      text.push_back('\0');
      EXPECT_EQ(m().piLocalLoadData(type, local, int32_t(i), text.data()), -1) << lines[i];
    }
  }

  std::string saved(uint32_t type, uint32_t local, int32_t index) {
    char text[256] = {};
    if (m().piLocalSaveData(type, local, index, text) != -1) return "(false)";
    return text;
  }
};

using module_test::MakeFrame;

// Pixels that name where they come from: red = x, green = y, blue = the picture.
struct Source {
  char picture;  // 'A' first, 'B' second, '?' anything else
  int x, y;
  bool operator==(const Source&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Source& s) {
  return out << s.picture << "(" << s.x << "," << s.y << ")";
}
inline constexpr uint8_t kBlueA = 0x11, kBlueB = 0xBB;

inline kpl::OwnedBlock NamedFrame(char picture, int32_t width, int32_t height) {
  return MakeFrame(width, height, [&](int x, int y) {
    return kpl::ColourValue(uint8_t(x), uint8_t(y), picture == 'A' ? kBlueA : kBlueB);
  });
}

inline Source SourceOf(uint32_t colour) {
  const uint8_t blue = uint8_t(colour >> 16);
  const char picture = blue == kBlueA ? 'A' : blue == kBlueB ? 'B' : '?';
  return {picture, int(colour & 255), int((colour >> 8) & 255)};
}

// A result picture as sources, row by row from the top.
using Picture = std::vector<std::vector<Source>>;

inline Picture ReadPicture(uint32_t frame) {
  kpl::BlockLock lock(frame);
  Picture out;
  if (!lock) return out;
  const kpl::BitmapInfoHeader h = kpl::ReadHeader(lock.get());
  for (int y = 0; y < h.height; ++y) {
    out.emplace_back();
    for (int x = 0; x < h.width; ++x)
      out.back().push_back(SourceOf(kpl::ReadPixel24(lock.get(), x, y)));
  }
  return out;
}

// The picture `picture` itself, as a result that shows it unmoved would read.
inline Picture Unmoved(char picture, int width, int height) {
  Picture out;
  out.assign(size_t(height), std::vector<Source>(size_t(width)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out[size_t(y)][size_t(x)] = {picture, x, y};
  return out;
}

// Every step of one run of a two-clip type on named pictures of the given size.
inline std::vector<Picture> RunSteps(kplhost::Module& m, uint32_t type, uint32_t local, int width,
                                     int height, int32_t length, int steps) {
  const auto a = NamedFrame('A', width, height), b = NamedFrame('B', width, height);
  kpl::BlockLock first(a.get()), second(b.get());
  EXPECT_EQ(m.piLocalLength(type, local, length), -1);
  EXPECT_EQ(m.piLocalProcessDataStart(type, local), -1);
  std::vector<Picture> pictures;
  for (int i = 0; i < steps; ++i) {
    EXPECT_EQ(m.piLocalSetData(type, local, first.get(), 0, second.get(), 0), -1);
    EXPECT_EQ(m.piLocalProcessData(type, local), -1);
    const kpl::OwnedBlock result(m.piLocalGetData(type, local));
    pictures.push_back(ReadPicture(result.get()));
  }
  EXPECT_EQ(m.piLocalProcessDataEnd(type, local), -1);
  return pictures;
}

// Each output column as the source of its first pixel, for pictures whose columns move whole:
// "B2" is column 2 of the second picture.
inline std::vector<std::string> Columns(const Picture& picture) {
  std::vector<std::string> out;
  if (picture.empty()) return out;
  for (size_t x = 0; x < picture[0].size(); ++x) {
    const Source s = picture[0][x];
    for (size_t y = 0; y < picture.size(); ++y)
      if (picture[y][x] != Source{s.picture, s.x, int(y) + s.y}) return {"column not whole"};
    out.push_back(std::string(1, s.picture) + std::to_string(s.x));
  }
  return out;
}

// Each output row as the source of its first pixel, for pictures whose rows move whole.
inline std::vector<std::string> Rows(const Picture& picture) {
  std::vector<std::string> out;
  for (const auto& row : picture) {
    const Source s = row[0];
    for (size_t x = 0; x < row.size(); ++x)
      if (row[x] != Source{s.picture, int(x) + s.x, s.y}) return {"row not whole"};
    out.push_back(std::string(1, s.picture) + std::to_string(s.y));
  }
  return out;
}

inline kpl::WaveFormat Pcm(uint16_t channels, uint16_t bits) {
  const uint16_t align = uint16_t(channels * bits / 8);
  return {1, channels, 48000, 48000u * align, align, bits};
}

}  // namespace transvella_test
