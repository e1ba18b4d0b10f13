// PCX through the module's exports: every kind of file the reader decodes, the palette rules,
// the run-length coding of lines, and the files the writer makes.
#include "pcx.hpp"
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

struct PcxFile {
  uint8_t version = 5;
  uint8_t bits = 8;
  uint8_t planes = 1;
  uint16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  uint16_t bytesPerLine = 0;
  std::vector<uint8_t> headerPalette = {};  // up to 48 bytes
  Bytes data;                               // the coded lines
  Bytes trailer;                            // what follows the lines

  Bytes bytes() const {
    Bytes b(128, 0);
    b[0] = 10;
    b[1] = version;
    b[2] = 1;
    b[3] = bits;
    PutLe16(b, 4, xmin);
    PutLe16(b, 6, ymin);
    PutLe16(b, 8, xmax);
    PutLe16(b, 10, ymax);
    std::copy(headerPalette.begin(), headerPalette.end(), b.begin() + 16);
    b[65] = planes;
    PutLe16(b, 66, bytesPerLine);
    b.resize(128 + data.size() + trailer.size());
    std::copy(data.begin(), data.end(), b.begin() + 128);
    std::copy(trailer.begin(), trailer.end(), b.begin() + 128 + data.size());
    return b;
  }
};

// The 769 bytes after a 256-colour picture: marker and palette entry i = (r, g, b)(i).
template <class Entry>
Bytes TrailingPalette(uint8_t marker, Entry entry) {
  Bytes b{marker};
  for (int i = 0; i < 256; ++i) {
    const auto [r, g, bl] = entry(i);
    b.insert(b.end(), {uint8_t(r), uint8_t(g), uint8_t(bl)});
  }
  return b;
}

// A 6-bit component as the reader gives it back: 4 x (c / 4) + 3.
uint8_t SixBit(uint8_t c) {
  return uint8_t((c & 0xFC) + 3);
}

using PcxRead = Rastunes;

TEST_F(PcxRead, MonochromeDecodesToNearBlackAndWhite) {
  PcxFile f;
  f.bits = 1;
  f.xmax = 9;
  f.ymax = 1;
  f.bytesPerLine = 2;
  f.headerPalette = {200, 10, 10, 10, 200, 10};  // ignored for a monochrome file
  f.data = {0b10110000, 0b01000000, 0xC2, 0xFF};
  const auto p = loadBytes(kPcx, f.bytes());
  ASSERT_TRUE(p);
  ASSERT_EQ(p->width, 10);
  ASSERT_EQ(p->height, 2);
  const Bgr k{3, 3, 3}, w{255, 255, 255};
  const Bgr top[10] = {w, k, w, w, k, k, k, k, k, w};
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(p->at(x, 0), top[x]) << x;
    EXPECT_EQ(p->at(x, 1), w) << x;
  }
}

TEST_F(PcxRead, PlanarFilesIndexTheHeaderPaletteByPlaneBits) {
  // Four planes of one byte each: pixel x's index has bit p from plane p.
  PcxFile f;
  f.bits = 1;
  f.planes = 4;
  f.xmax = 7;
  f.bytesPerLine = 1;
  for (int i = 0; i < 16; ++i)
    f.headerPalette.insert(f.headerPalette.end(),
                           {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 4)});
  f.data = {0b01010101, 0b00110011, 0b00001111, 0xC1, 0b11111111};
  const auto p = loadBytes(kPcx, f.bytes());
  ASSERT_TRUE(p);
  for (int x = 0; x < 8; ++x) {
    const int bit = 7 - x;
    const int index = ((0b01010101 >> bit) & 1) | ((0b00110011 >> bit) & 1) << 1 |
                      ((0b00001111 >> bit) & 1) << 2 | 8;
    EXPECT_EQ(p->at(x, 0), FromRgb(SixBit(uint8_t(index * 16)), SixBit(uint8_t(255 - index * 16)),
                                   SixBit(uint8_t(index * 4))))
        << x;
  }
}

TEST_F(PcxRead, VersionRulesOfTheHeaderPalette) {
  struct Case {
    uint8_t version;
    uint8_t component;  // of entry 1, all three
    Bgr expected;
  };
  // Version 2 scales components below 4 by 85; version 3 uses its fixed table (entry 1 is
  // (0, 0, 32)); other versions keep the header's value.
  const Case cases[] = {
      {2, 3, {255, 255, 255}}, {2, 2, {171, 171, 171}}, {2, 4, {7, 7, 7}},
      {3, 200, {131, 3, 3}},   {5, 3, {3, 3, 3}},       {5, 200, {203, 203, 203}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "version " << int(c.version) << " " << int(c.component));
    PcxFile f;
    f.version = c.version;
    f.bits = 1;
    f.planes = 2;
    f.xmax = 0;
    f.bytesPerLine = 1;
    f.headerPalette = Bytes(48, 0);
    std::fill(f.headerPalette.begin() + 3, f.headerPalette.begin() + 6, c.component);
    f.data = {0x80, 0x00};  // index 1
    const auto p = loadBytes(kPcx, f.bytes());
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), c.expected);
  }
}

TEST_F(PcxRead, TwoHundredFiftySixColoursTakeTheLast768Bytes) {
  auto entry = [](int i) { return std::array<int, 3>{i, 255 - i, (i * 7) & 255}; };
  for (uint8_t marker : {uint8_t(12), uint8_t(0x55)}) {
    SCOPED_TRACE(int(marker));
    PcxFile f;
    f.xmax = 5;
    f.ymax = 1;
    f.bytesPerLine = 6;
    f.data = {0, 1, 0xC1, 0xC7, 100, 0xC1, 0xFF, 17, 0xC5, 99, 0xC3, 0};  // the last run is cut
    f.trailer = TrailingPalette(marker, entry);
    const auto p = loadBytes(kPcx, f.bytes());
    ASSERT_TRUE(p);
    const int indexes[2][6] = {{0, 1, 0xC7, 100, 0xFF, 17}, {99, 99, 99, 99, 99, 0}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 6; ++x) {
        const auto e = entry(indexes[y][x]);
        EXPECT_EQ(p->at(x, y),
                  FromRgb(SixBit(uint8_t(e[0])), SixBit(uint8_t(e[1])), SixBit(uint8_t(e[2]))))
            << x << "," << y;
      }
  }
}

TEST_F(PcxRead, TrueColourPlanesAndRunsThatStopAtTheLine) {
  PcxFile f;
  f.planes = 3;
  f.xmax = 2;
  f.ymax = 1;
  f.bytesPerLine = 4;  // one padding byte per plane
  // Row 0: red 10 20 30 pad, green run of 4 x 0xC8, blue 1 2 3 pad. A count byte 0xC0 adds
  // nothing. Row 1: one run of 63 covers all twelve bytes and the rest is dropped.
  f.data = {10, 20, 30, 0, 0xC0, 77, 0xC4, 0xC8, 1, 2, 3, 0, 0xFF, 66};
  const auto p = loadBytes(kPcx, f.bytes());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->at(0, 0), FromRgb(10, 0xC8, 1));
  EXPECT_EQ(p->at(1, 0), FromRgb(20, 0xC8, 2));
  EXPECT_EQ(p->at(2, 0), FromRgb(30, 0xC8, 3));
  for (int x = 0; x < 3; ++x)
    EXPECT_EQ(p->at(x, 1), FromRgb(66, 66, 66));
}

TEST_F(PcxRead, ModeZeroTakesTheSizeFromTheWindowFields) {
  PcxFile f;
  f.planes = 3;
  f.xmin = 10;
  f.xmax = 13;
  f.ymin = 5;
  f.ymax = 7;
  f.bytesPerLine = 4;
  const std::string file = path("window.pcx");
  WriteBytes(file, f.bytes());
  const auto size = kpl::rastunes::ReadPcxHeader(file.c_str());
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 4);
  EXPECT_EQ(size->height, 3);
  const auto p = load(kPcx, file);  // no pixel data: the lines read as zeros
  ASSERT_TRUE(p);
  EXPECT_EQ(p->at(3, 2), Bgr{});
}

TEST(PcxLineCoding, RunsOfAtMost63AndHighSinglesAsPairs) {
  struct Case {
    Bytes line;
    Bytes coded;
  };
  const Case cases[] = {
      {Bytes(200, 7), {0xFF, 7, 0xFF, 7, 0xFF, 7, 0xCB, 7}},
      {{0x05}, {0x05}},
      {{0xC5}, {0xC1, 0xC5}},
      {{0xBF, 0xC0, 0xFF}, {0xBF, 0xC1, 0xC0, 0xC1, 0xFF}},
      {{1, 1, 2, 3, 3, 3}, {0xC2, 1, 2, 0xC3, 3}},
      {Bytes(64, 0xC0), {0xFF, 0xC0, 0xC1, 0xC0}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    Bytes out;
    kpl::rastunes::EncodePcxLine(c.line.data(), c.line.size(), out);
    EXPECT_EQ(out, c.coded) << "line of " << c.line.size();
  }
}

using PcxWrite = Rastunes;

TEST_F(PcxWrite, HeaderAndSeparatelyCodedPlaneLines) {
  // Width 5: bytes per line 5, each row red, green and blue lines coded by themselves.
  const Picture picture = MakePicture(5, 2, [](int32_t x, int32_t y) {
    return y == 0 ? FromRgb(9, 0xC5, uint8_t(x)) : FromRgb(1, 1, 1);
  });
  const std::string file = path("w5.pcx");
  ASSERT_TRUE(save(kPcx, picture, file));
  const Bytes b = ReadBytes(file);
  ASSERT_GE(b.size(), 128u);
  EXPECT_EQ(b[0], 10);
  EXPECT_EQ(b[1], 5);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[3], 8);
  EXPECT_EQ(b[8] | b[9] << 8, 4);
  EXPECT_EQ(b[10] | b[11] << 8, 1);
  EXPECT_EQ(b[12] | b[13] << 8, 96);
  EXPECT_EQ(b[14] | b[15] << 8, 96);
  EXPECT_EQ(b[65], 3);
  EXPECT_EQ(b[66] | b[67] << 8, 5);
  EXPECT_EQ(b[68] | b[69] << 8, 1);
  EXPECT_TRUE(std::all_of(b.begin() + 16, b.begin() + 64, [](uint8_t v) { return v == 0; }));
  const Bytes lines = {0xC5, 9, 0xC5, 0xC5, 0,    1, 2, 3, 4,  // row 0: red, green, blue
                       0xC5, 1, 0xC5, 1,    0xC5, 1};          // row 1
  ASSERT_EQ(b.size(), 128 + lines.size() + 769);
  EXPECT_TRUE(std::equal(lines.begin(), lines.end(), b.begin() + 128));
  EXPECT_EQ(b[128 + lines.size()], 12);
  EXPECT_TRUE(std::all_of(b.end() - 768, b.end(), [](uint8_t v) { return v == 0; }));
  const auto back = load(kPcx, file);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pixels, picture.pixels);
}

TEST_F(PcxWrite, LongRunsAndCountLikeBytesInTheFile) {
  // A plane line of 200 equal bytes is four runs: 63, 63, 63 and 11. A single component
  // 0x05 is written as itself, a single 0xC5 as 0xC1 0xC5.
  const std::string wide = path("wide.pcx");
  ASSERT_TRUE(
      save(kPcx, MakePicture(200, 1, [](int32_t, int32_t) { return FromRgb(7, 7, 7); }), wide));
  const Bytes runs = {0xFF, 7, 0xFF, 7, 0xFF, 7, 0xCB, 7};
  Bytes expected;
  for (int plane = 0; plane < 3; ++plane)
    expected.insert(expected.end(), runs.begin(), runs.end());
  const Bytes w = ReadBytes(wide);
  ASSERT_EQ(w.size(), 128 + expected.size() + 769);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), w.begin() + 128));

  const std::string single = path("single.pcx");
  ASSERT_TRUE(save(
      kPcx, MakePicture(1, 1, [](int32_t, int32_t) { return FromRgb(0x05, 0xC5, 0xC0); }), single));
  const Bytes s1 = ReadBytes(single);
  const Bytes line = {0x05, 0xC1, 0xC5, 0xC1, 0xC0};
  ASSERT_EQ(s1.size(), 128 + line.size() + 769);
  EXPECT_TRUE(std::equal(line.begin(), line.end(), s1.begin() + 128));
  const auto back = load(kPcx, single);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->at(0, 0), FromRgb(0x05, 0xC5, 0xC0));
}

TEST_F(PcxWrite, RoundTripsOddSizesExactly) {
  for (auto [w, h] : {std::pair{1, 1}, {3, 7}, {64, 3}, {129, 5}}) {
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const Picture picture = MakePicture(w, h, Varied);
    const std::string file = path("rt.pcx");
    ASSERT_TRUE(save(kPcx, picture, file));
    const auto back = load(kPcx, file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, picture.pixels);
  }
}

}  // namespace
}  // namespace rastunes_test
