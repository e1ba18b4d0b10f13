// SGI pictures through the module's exports: the file the writer makes, files of every kind
// the reader takes (verbatim and run-length, one and two bytes, one to four channels), the
// min/max scaling and the format record made before the header is judged.
#include "sgi.hpp"

#include "rastunes_fixture.hpp"
#include "sgi_files.hpp"

namespace rastunes_test {
namespace {

using SgiFiles = Rastunes;

TEST_F(SgiFiles, TheWrittenFileIsVerbatimOneByteThreeChannelsSignedBottomRowFirst) {
  const Picture picture = MakePicture(5, 3, Varied);
  const std::string file = path("p.sgi");
  ASSERT_TRUE(save(kSgi, picture, file));
  const Bytes b = ReadBytes(file);
  ASSERT_EQ(b.size(), 512u + 3 * 5 * 3);
  const Bytes start = {0x01, 0xDA, 0x00, 0x01, 0x00, 0x03};
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), start);
  EXPECT_EQ(Be16At(b, 6), 5u);
  EXPECT_EQ(Be16At(b, 8), 3u);
  EXPECT_EQ(Be16At(b, 10), 3u);
  EXPECT_EQ(Be32At(b, 12), 0u);
  EXPECT_EQ(Be32At(b, 16), 255u);
  const std::string name(reinterpret_cast<const char*>(&b[24]));
  EXPECT_EQ(name, "Made by RASTUNE.KPL by Tessalbrook");
  for (size_t i = 24 + name.size(); i < 512; ++i)
    ASSERT_EQ(b[i], 0) << i;
  // Red plane, then green, then blue; each from the picture's bottom row up.
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t r = 0; r < 3; ++r)
      for (int32_t x = 0; x < 5; ++x) {
        const Bgr want = picture.at(x, 2 - r);
        const uint8_t value = c == 0 ? want.red : c == 1 ? want.green : want.blue;
        ASSERT_EQ(b[512 + size_t(c * 15 + r * 5 + x)], value) << c << " " << r << " " << x;
      }
}

TEST_F(SgiFiles, EveryTypeReadsBackWhatItWrote) {
  const Picture picture = MakePicture(13, 7, Varied);
  for (uint32_t type : {kSgi, kBw, kRgb, kRgba}) {
    SCOPED_TRACE(type);
    const std::string file = path(std::to_string(type) + ".out");
    ASSERT_TRUE(save(type, picture, file));
    const auto back = load(type, file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, picture.pixels);
  }
}

TEST_F(SgiFiles, ChannelsGoToRedGreenBlueAndOneChannelIsGrey) {
  struct Case {
    const char* what;
    uint16_t dimension, channels;
    Bgr first;  // the pixel at the top left, its values 10, 20, 30, 40 by channel
  };
  const Case cases[] = {
      {"dimension 2 is grey", 2, 3, FromRgb(10, 10, 10)},
      {"one channel is grey", 3, 1, FromRgb(10, 10, 10)},
      {"two channels", 3, 2, FromRgb(10, 20, 0)},
      {"three channels", 3, 3, FromRgb(10, 20, 30)},
      {"the fourth is not read", 3, 4, FromRgb(10, 20, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SgiSpec s{.dimension = c.dimension, .width = 2, .height = 2, .channels = c.channels};
    std::vector<std::vector<std::vector<uint32_t>>> planes;
    for (uint32_t ch = 0; ch < c.channels; ++ch)
      planes.push_back({{5, 5}, {10 * (ch + 1), 6}});  // bottom row, then the top row
    const auto p = loadBytes(kRgb, Verbatim(s, planes));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), c.first);
  }
  // Dimension 1: one row of one channel.
  const auto row = loadBytes(
      kSgi, Verbatim({.dimension = 1, .width = 3, .height = 9, .channels = 3}, {{{1, 2, 3}}}));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->height, 1);
  EXPECT_EQ(row->at(2, 0), FromRgb(3, 3, 3));
}

TEST_F(SgiFiles, ValuesScaleBetweenMinimumAndMaximum) {
  // Minimum 0 and maximum 255 keep every byte.
  std::vector<uint32_t> all(256);
  for (uint32_t v = 0; v < 256; ++v)
    all[v] = v;
  const auto same = loadBytes(kSgi, Verbatim({.dimension = 2, .width = 256, .height = 1}, {{all}}));
  ASSERT_TRUE(same);
  for (int32_t v = 0; v < 256; ++v)
    ASSERT_EQ(same->at(v, 0).red, v);

  struct Case {
    uint8_t bytes;
    int32_t minimum, maximum;
    uint32_t value;
    uint8_t intensity;
  };
  const Case cases[] = {
      {1, 0, 127, 100, 200},       // 100 / 127 x 255 = 200.78
      {1, 100, 200, 150, 127},     // 50 / 100 x 255 = 127.5
      {1, 100, 200, 50, 0},        // below the minimum: clamped
      {1, 0, 100, 200, 255},       // above the maximum: clamped
      {1, -255, 255, 0, 127},      // 255 / 510 x 255 = 127.5
      {2, 0, 65535, 65535, 255},   // two-byte values are unsigned
      {2, 0, 65535, 32768, 127},   // 32768 / 65535 x 255 = 127.5
      {2, 0, 65535, 257, 1},       // exactly 1
      {2, 0, 65535, 256, 0},       // 0.996
      {2, 1000, 3000, 2000, 127},  // 0.5 x 255
      {2, 0, 255, 40000, 255},     // far above the maximum
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.bytes) << " bytes, " << c.minimum << ".."
                                      << c.maximum << ", value " << c.value);
    const SgiSpec s{.bytesPerValue = c.bytes,
                    .dimension = 2,
                    .width = 1,
                    .height = 1,
                    .minimum = c.minimum,
                    .maximum = c.maximum};
    const auto p = loadBytes(kSgi, Verbatim(s, {{{c.value}}}));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), FromRgb(c.intensity, c.intensity, c.intensity));
  }
  // A scale that does not divide is refused.
  EXPECT_FALSE(loadBytes(
      kSgi,
      Verbatim({.dimension = 2, .width = 1, .height = 1, .minimum = 7, .maximum = 7}, {{{7}}})));
}

TEST_F(SgiFiles, RunLengthRowsOfOneAndTwoBytes) {
  const SgiSpec one{.storage = 1, .width = 4, .height = 2, .channels = 3};
  // Red: bottom row a run of 4 x 9; top row literals 1 2 then a run of 2 x 3.
  // Green: runs that cover more than the width (the rest is dropped), blue: ends early.
  const std::vector<std::vector<Bytes>> rows = {
      {{0x04, 9, 0}, {0x82, 1, 2, 0x02, 3, 0}},
      {{0x7F, 50, 0}, {0x86, 1, 2, 3, 4, 5, 6, 0}},
      {{0x01, 7, 0}, {0x00, 0x03, 8}},
  };
  const auto p = loadBytes(kRgb, RunLength(one, rows));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->at(0, 1), FromRgb(9, 50, 7));
  EXPECT_EQ(p->at(3, 1), FromRgb(9, 50, 0)) << "blue ended after one pixel";
  EXPECT_EQ(p->at(0, 0), FromRgb(1, 1, 0));
  EXPECT_EQ(p->at(1, 0), FromRgb(2, 2, 0));
  EXPECT_EQ(p->at(3, 0), FromRgb(3, 4, 0));

  // Two-byte values: counts and values are 16-bit; a row whose byte length ends mid-packet
  // stops there.
  const SgiSpec two{.storage = 1,
                    .bytesPerValue = 2,
                    .dimension = 2,
                    .width = 3,
                    .height = 1,
                    .channels = 1,
                    .maximum = 65535};
  const auto q =
      loadBytes(kSgi, RunLength(two, {{{0x00, 0x82, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x01, 0x12}}}));
  ASSERT_TRUE(q);
  EXPECT_EQ(q->at(0, 0), FromRgb(255, 255, 255));
  EXPECT_EQ(q->at(1, 0), FromRgb(127, 127, 127));
  EXPECT_EQ(q->at(2, 0), Bgr{}) << "the last packet lies beyond the row's length";
}

TEST_F(SgiFiles, MissingRowsAndValuesReadAsZero) {
  // Row offsets and lengths past the end of the file; the second row's offset lies far out.
  const SgiSpec s{.storage = 1, .dimension = 2, .width = 2, .height = 2, .channels = 1};
  Bytes b = RunLength(s, {{{0x02, 200, 0}, {0x02, 100, 0}}});
  PutBe32(b, 512 + 4, 0xFFFFFFF0u);
  const auto p = loadBytes(kSgi, b);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->at(0, 1), FromRgb(200, 200, 200));
  EXPECT_EQ(p->at(0, 0), Bgr{});
  // The tables themselves cut short.
  const auto q = loadBytes(kSgi, Bytes(b.begin(), b.begin() + 516));
  ASSERT_TRUE(q);
  EXPECT_EQ(q->pixels, std::vector<Bgr>(4));
  // A verbatim file short of its planes: the missing values are 0.
  Bytes v = Verbatim({.width = 2, .height = 1}, {{{10, 11}}, {{20, 21}}, {{30, 31}}});
  v.resize(v.size() - 3);
  const auto r = loadBytes(kSgi, v);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->at(0, 0), FromRgb(10, 20, 0));
  EXPECT_EQ(r->at(1, 0), FromRgb(11, 0, 0));
}

TEST_F(SgiFiles, TheFormatRecordIsMadeBeforeTheHeaderIsJudged) {
  struct Case {
    const char* what;
    Bytes file;
    int32_t width, height;
  };
  Bytes noMagic = SgiHeader({.width = 6, .height = 4});
  PutBe16(noMagic, 0, 0);
  Bytes colourMap = SgiHeader({.width = 7, .height = 2, .colourMap = 1});
  Bytes shortFile = SgiHeader({.width = 3, .height = 5});
  shortFile.resize(300);
  const Case cases[] = {
      {"magic 0", noMagic, 6, 4},
      {"colour map 1", colourMap, 7, 2},
      {"shorter than 512 bytes", shortFile, 3, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = path("bad.sgi");
    WriteBytes(file, c.file);
    std::vector<char> name = NameOf(file);
    const uint32_t local = instance(kSgi);
    const uint32_t pattern = owned(m().piLocalGetData(kSgi, local));
    EXPECT_EQ(m().piLocalLoadData(kSgi, local, 0, name.data()), 0);
    const uint32_t record = owned(m().piLocalGetData(kSgi, local));
    ASSERT_NE(record, pattern);
    kpl::BlockLock lock(record);
    ASSERT_TRUE(lock);
    ASSERT_EQ(GlobalSize(record), 128u);
    kpl::FormatRecord f;
    std::memcpy(&f, lock.get(), sizeof f);
    EXPECT_EQ(f.flags, 1u);
    EXPECT_EQ(f.video.width, c.width);
    EXPECT_EQ(f.video.height, c.height);
    EXPECT_EQ(f.video.bitCount, 24);
    EXPECT_EQ(m().piLocalLoadData(kSgi, local, 1, name.data()), 0);
  }
  // A file that cannot be opened makes no record.
  const uint32_t local = instance(kSgi);
  const uint32_t pattern = owned(m().piLocalGetData(kSgi, local));
  char missing[] = "/nonexistent/p.sgi";
  EXPECT_EQ(m().piLocalLoadData(kSgi, local, 0, missing), 0);
  EXPECT_EQ(m().piLocalGetData(kSgi, local), pattern);
}

TEST_F(SgiFiles, SaversTakeFramesOfAnyDepth) {
  const kpl::FormatRecord sixteen = PictureFormat(4, 3, 16);
  for (uint32_t type : {kSgi, kBw, kRgb, kRgba})
    EXPECT_EQ(m().piLocalSetFormat(type, instance(type), &sixteen), -1) << type;
  const kpl::FormatRecord sound = PictureFormat(4, 3, 24, 3);
  EXPECT_EQ(m().piLocalSetFormat(kSgi, instance(kSgi), &sound), 0);
}

}  // namespace
}  // namespace rastunes_test
