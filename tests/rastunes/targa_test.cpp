// Targa through the module's exports: the image types and depths the reader decodes, colour
// maps, orientations, run-length packets, the headers it turns away, and the files it writes.
#include "targa.hpp"
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

struct TgaFile {
  Bytes id;
  uint8_t mapType = 0;
  uint8_t imageType = 2;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapBits = 0;
  uint16_t width = 1, height = 1;
  uint8_t depth = 24;
  uint8_t descriptor = 0x20;
  Bytes map;
  Bytes pixels;

  Bytes bytes() const {
    Bytes b(18, 0);
    b[0] = uint8_t(id.size());
    b[1] = mapType;
    b[2] = imageType;
    PutLe16(b, 3, mapFirst);
    PutLe16(b, 5, mapLength);
    b[7] = mapBits;
    PutLe16(b, 12, width);
    PutLe16(b, 14, height);
    b[16] = depth;
    b[17] = descriptor;
    b.resize(18 + id.size() + map.size() + pixels.size());
    auto at = std::copy(id.begin(), id.end(), b.begin() + 18);
    at = std::copy(map.begin(), map.end(), at);
    std::copy(pixels.begin(), pixels.end(), at);
    return b;
  }
};

// Pixel data of rows given top first, each pixel blue, green, red.
Bytes Rows24(const std::vector<std::vector<Bgr>>& rows) {
  Bytes b;
  for (const auto& row : rows)
    for (const Bgr& c : row)
      b.insert(b.end(), {c.blue, c.green, c.red});
  return b;
}

const Bgr A = FromRgb(200, 10, 20), B = FromRgb(1, 2, 3), C = FromRgb(90, 80, 70),
          D = FromRgb(255, 254, 253);

using TargaRead = Rastunes;

TEST_F(TargaRead, TheFourOrientations) {
  // Stored rows: A B / C D. Bit 5 puts the first stored row on top, bit 4 mirrors each row.
  struct Case {
    uint8_t descriptor;
    Bgr topLeft, topRight, bottomLeft, bottomRight;
  };
  const Case cases[] = {
      {0x00, C, D, A, B}, {0x20, A, B, C, D}, {0x30, B, A, D, C},
      {0x10, D, C, B, A}, {0x0F, C, D, A, B},  // the alpha bits change nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.descriptor));
    TgaFile f;
    f.width = 2;
    f.height = 2;
    f.descriptor = c.descriptor;
    f.pixels = Rows24({{A, B}, {C, D}});
    const auto p = loadBytes(kTarga, f.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), c.topLeft);
    EXPECT_EQ(p->at(1, 0), c.topRight);
    EXPECT_EQ(p->at(0, 1), c.bottomLeft);
    EXPECT_EQ(p->at(1, 1), c.bottomRight);
  }
}

TEST_F(TargaRead, DepthsAndTheImageIdSkipped) {
  struct Case {
    uint8_t depth;
    Bytes pixel;
    Bgr expected;
  };
  const Case cases[] = {
      {24, {10, 20, 30}, FromRgb(30, 20, 10)},
      {32, {10, 20, 30, 40}, FromRgb(30, 20, 10)},
      {16, {0x1F, 0x7C}, FromRgb(248, 0, 248)},  // 0x7C1F
      {16, {0xE0, 0x83}, FromRgb(0, 248, 0)},    // 0x83E0: bit 15 ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.depth));
    TgaFile f;
    f.id = Bytes(7, 0xAB);
    f.depth = c.depth;
    f.pixels = c.pixel;
    const auto p = loadBytes(kTarga, f.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), c.expected);
  }
}

TEST_F(TargaRead, ColourMapsAndTheGreyRamp) {
  struct Case {
    const char* what;
    uint8_t mapType, mapBits;
    uint16_t first, length;
    Bytes map;
    uint8_t index;
    Bgr expected;
  };
  const Case cases[] = {
      {"16-bit entry 0x7C00", 1, 16, 0, 1, {0x00, 0x7C}, 0, FromRgb(251, 3, 3)},
      {"16-bit entry 0x03FF", 1, 16, 0, 1, {0xFF, 0x03}, 0, FromRgb(3, 251, 251)},
      {"24-bit entry", 1, 24, 0, 2, {0, 0, 0, 100, 150, 200}, 1, FromRgb(203, 151, 103)},
      {"entries from index 5", 1, 24, 5, 1, {7, 8, 9}, 5, FromRgb(11, 11, 7)},
      {"grey index 255", 0, 0, 0, 0, {}, 255, FromRgb(255, 255, 255)},
      {"grey index 0", 0, 0, 0, 0, {}, 0, FromRgb(3, 3, 3)},
      {"grey index 128", 0, 0, 0, 0, {}, 128, FromRgb(127, 127, 127)},
      {"32-bit map skipped", 1, 32, 0, 2, Bytes(8, 0x77), 1, FromRgb(3, 3, 3)},
      {"15-bit map skipped", 1, 15, 0, 3, Bytes(6, 0x77), 1, FromRgb(3, 3, 3)},
      {"entries past 255 dropped", 1, 24, 255, 2, {1, 2, 3, 4, 5, 6}, 255, FromRgb(3, 3, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TgaFile f;
    f.imageType = c.mapType ? 1 : 2;
    f.mapType = c.mapType;
    f.mapBits = c.mapBits;
    f.mapFirst = c.first;
    f.mapLength = c.length;
    f.map = c.map;
    f.depth = 8;
    f.pixels = {c.index};
    const auto p = loadBytes(kTarga, f.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), c.expected);
  }
}

TEST_F(TargaRead, RunLengthPacketsStopAtEachRow) {
  // 3 x 2, 24 bits: row 0 is a run packet 0x83 (four pixels, one dropped) of A; row 1 a raw
  // packet of B, C and a run of one D.
  TgaFile f;
  f.imageType = 10;
  f.width = 3;
  f.height = 2;
  f.pixels = {0x83,   A.blue,  A.green, A.red, 0x01,   B.blue,  B.green, B.red,
              C.blue, C.green, C.red,   0x80,  D.blue, D.green, D.red};
  const auto p = loadBytes(kTarga, f.bytes());
  ASSERT_TRUE(p);
  for (int x = 0; x < 3; ++x)
    EXPECT_EQ(p->at(x, 0), A);
  EXPECT_EQ(p->at(0, 1), B);
  EXPECT_EQ(p->at(1, 1), C);
  EXPECT_EQ(p->at(2, 1), D);

  // Colour-mapped (9) and grey (11) run-length files, 8 bits.
  for (uint8_t type : {uint8_t(9), uint8_t(11)}) {
    SCOPED_TRACE(int(type));
    TgaFile g;
    g.imageType = type;
    g.depth = 8;
    g.width = 4;
    if (type == 9) {
      g.mapType = 1;
      g.mapBits = 24;
      g.mapLength = 2;
      g.map = {0, 0, 0, 40, 80, 120};
    }
    g.pixels = {0x81, 1, 0x01, 0, 1};
    const auto q = loadBytes(kTarga, g.bytes());
    ASSERT_TRUE(q);
    const Bgr one = type == 9 ? FromRgb(123, 83, 43) : FromRgb(3, 3, 3);
    const Bgr zero = FromRgb(3, 3, 3);
    EXPECT_EQ(q->at(0, 0), one);
    EXPECT_EQ(q->at(1, 0), one);
    EXPECT_EQ(q->at(2, 0), zero);
    EXPECT_EQ(q->at(3, 0), one);
  }
}

TEST_F(TargaRead, HeadersItTurnsAway) {
  struct Case {
    const char* what;
    uint8_t imageType, depth, descriptor;
    uint16_t width, height;
    uint8_t mapBits;
  };
  const Case cases[] = {
      {"grey uncompressed type 3", 3, 8, 0x20, 1, 1, 0},
      {"type 7", 7, 24, 0x20, 1, 1, 0},
      {"type 0", 0, 24, 0x20, 1, 1, 0},
      {"type 4", 4, 8, 0x20, 1, 1, 0},
      {"depth 1", 2, 1, 0x20, 1, 1, 0},
      {"depth 4", 2, 4, 0x20, 1, 1, 0},
      {"depth 15", 2, 15, 0x20, 1, 1, 0},
      {"descriptor 0x40", 2, 24, 0x40, 1, 1, 0},
      {"descriptor 0x80", 2, 24, 0x80, 1, 1, 0},
      {"width 32768", 2, 24, 0x20, 32768, 1, 0},
      {"width 0", 2, 24, 0x20, 0, 1, 0},
      {"height 0", 2, 24, 0x20, 1, 0, 0},
      {"map entries of 33 bits", 2, 24, 0x20, 1, 1, 33},
      {"frame above 1 GiB", 2, 24, 0x20, 32767, 32767, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TgaFile f;
    f.imageType = c.imageType;
    f.depth = c.depth;
    f.descriptor = c.descriptor;
    f.width = c.width;
    f.height = c.height;
    f.mapBits = c.mapBits;
    f.pixels = Bytes(64, 0x11);
    const std::string file = path("bad.tga");
    WriteBytes(file, f.bytes());
    std::vector<char> name(file.begin(), file.end());
    name.push_back('\0');
    const uint32_t local = instance(kTarga);
    const uint32_t pattern = owned(m().piLocalGetData(kTarga, local));
    EXPECT_EQ(m().piLocalLoadData(kTarga, local, 0, name.data()), 0);
    EXPECT_EQ(m().piLocalGetData(kTarga, local), pattern) << "no format record is made";
    EXPECT_EQ(m().piLocalLoadData(kTarga, local, 1, name.data()), 0) << "no 1 x 1 frame";
  }
}

using TargaWrite = Rastunes;

TEST_F(TargaWrite, SignedUncompressedTopLeftFile) {
  const Picture picture = MakePicture(3, 2, Varied);
  const std::string file = path("w.tga");
  ASSERT_TRUE(save(kTarga, picture, file));
  const Bytes b = ReadBytes(file);
  ASSERT_EQ(b.size(), 18u + 35u + 3u * 2u * 3u) << "nothing follows the last row";
  const Bytes header = {35, 0, 2, 0, 0, 0, 0, 24, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
  EXPECT_TRUE(std::equal(header.begin(), header.end(), b.begin()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[18]), 34),
            "Made by RASTUNE.KPL by Tessalbrook");
  EXPECT_EQ(b[52], 0);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      const size_t at = 53 + size_t(y * 3 + x) * 3;
      EXPECT_EQ((Bgr{b[at], b[at + 1], b[at + 2]}), picture.at(x, y)) << x << "," << y;
    }
  const auto back = load(kTarga, file);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixels, picture.pixels);
}

}  // namespace
}  // namespace rastunes_test
