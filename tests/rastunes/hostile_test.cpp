// Corrupt, truncated and lying files: every one is refused or decoded within what its header
// promises, never read or written out of bounds (the sanitizer build runs these too).
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

Bytes PcxHeader(uint8_t bits, uint8_t planes, uint16_t xmax, uint16_t ymax, uint16_t bpl) {
  Bytes b(128, 0);
  b[0] = 10;
  b[1] = 5;
  b[2] = 1;
  b[3] = bits;
  PutLe16(b, 8, xmax);
  PutLe16(b, 10, ymax);
  b[65] = planes;
  PutLe16(b, 66, bpl);
  return b;
}

Bytes TgaHeader(uint8_t type, uint8_t depth, uint16_t width, uint16_t height) {
  Bytes b(18, 0);
  b[2] = type;
  PutLe16(b, 12, width);
  PutLe16(b, 14, height);
  b[16] = depth;
  b[17] = 0x20;
  return b;
}

Bytes Then(Bytes b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
  return b;
}

struct Hostile {
  const char* what;
  uint32_t type;
  Bytes file;
  bool loads;
  int32_t width = 0, height = 0;
};

using HostileFiles = Rastunes;

TEST_F(HostileFiles, RefusedOrDecodedWithinTheHeader) {
  Bytes withMap = TgaHeader(1, 8, 2, 2);
  withMap[1] = 1;
  PutLe16(withMap, 5, 65535);  // a colour map far longer than the file
  withMap[7] = 24;
  Bytes longId = TgaHeader(2, 24, 2, 2);
  longId[0] = 255;
  const Hostile cases[] = {
      {"empty file", kPcx, {}, false},
      {"pcx shorter than its header", kPcx, Bytes(127, 10), false},
      {"pcx manufacturer 0", kPcx, Then(Bytes{0}, Bytes(200, 0)), false},
      {"pcx 4 bits per pixel", kPcx, PcxHeader(4, 1, 3, 3, 4), false},
      {"pcx 16 bits per pixel", kPcx, PcxHeader(16, 1, 3, 3, 8), false},
      {"pcx 24 bits per pixel", kPcx, PcxHeader(24, 1, 3, 3, 12), false},
      {"pcx 32 bits per pixel", kPcx, PcxHeader(32, 1, 3, 3, 16), false},
      {"pcx 1 bit, 5 planes", kPcx, PcxHeader(1, 5, 3, 3, 2), false},
      {"pcx 1 bit, 0 planes", kPcx, PcxHeader(1, 0, 3, 3, 2), false},
      {"pcx 8 bits, 2 planes", kPcx, PcxHeader(8, 2, 3, 3, 4), false},
      {"pcx 8 bits, 4 planes", kPcx, PcxHeader(8, 4, 3, 3, 4), false},
      {"pcx 8 bits, 255 planes", kPcx, PcxHeader(8, 255, 3, 3, 4), false},
      {"pcx lines shorter than the width", kPcx, PcxHeader(8, 3, 99, 3, 10), false},
      {"pcx monochrome lines too short", kPcx, PcxHeader(1, 1, 16, 3, 2), false},
      {"pcx bytes per line 0", kPcx, PcxHeader(8, 3, 0, 0, 0), false},
      {"pcx window upside down", kPcx,
       [] {
         Bytes b = PcxHeader(8, 3, 5, 5, 8);
         PutLe16(b, 4, 9);
         return b;
       }(),
       false},
      {"pcx frame above 1 GiB", kPcx, PcxHeader(8, 3, 65535, 65535, 65535), false},
      {"pcx 256 colours without room for a palette", kPcx,
       Then(PcxHeader(8, 1, 3, 3, 4), Bytes(600, 0)), false},
      {"pcx huge lines, no data", kPcx, PcxHeader(1, 4, 0, 0, 65535), true, 1, 1},
      {"pcx widest 16-bit picture, no data", kPcx, PcxHeader(1, 1, 65534, 1, 8192), true, 65535, 2},
      {"pcx only the header", kPcx, PcxHeader(8, 3, 1, 1, 2), true, 2, 2},
      {"tga shorter than its header", kTarga, Bytes(17, 2), false},
      {"tga frame above 1 GiB", kTarga, TgaHeader(2, 24, 32767, 16000), false},
      {"tga only the header", kTarga, TgaHeader(10, 32, 300, 200), true, 300, 200},
      {"tga colour map past the end", kTarga, withMap, true, 2, 2},
      {"tga image id past the end", kTarga, longId, true, 2, 2},
      {"tga runs of 128 pixels on a 1-pixel row", kTarga,
       Then(TgaHeader(10, 32, 1, 3), Bytes(64, 0xFF)), true, 1, 3},
      {"tga raw packets of 128 pixels on a 1-pixel row", kTarga,
       Then(TgaHeader(9, 8, 1, 3), Bytes(600, 0x7F)), true, 1, 3},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.what);
    const auto p = loadBytes(c.type, c.file);
    ASSERT_EQ(p.has_value(), c.loads);
    if (p) {
      EXPECT_EQ(p->width, c.width);
      EXPECT_EQ(p->height, c.height);
    }
  }
}

TEST_F(HostileFiles, EveryTruncationLoadsOrFailsCleanly) {
  const Picture picture = MakePicture(7, 5, Varied);
  for (uint32_t type : {kPcx, kTarga}) {
    SCOPED_TRACE(type);
    const std::string file = path("whole");
    ASSERT_TRUE(save(type, picture, file));
    const Bytes whole = ReadBytes(file);
    const size_t header = type == kPcx ? 128 : 18;
    for (size_t length = 0; length < whole.size(); ++length) {
      SCOPED_TRACE(length);
      const auto p = loadBytes(type, Bytes(whole.begin(), whole.begin() + ptrdiff_t(length)));
      ASSERT_EQ(p.has_value(), length >= header);
      if (p) {
        EXPECT_EQ(p->width, 7);
        EXPECT_EQ(p->height, 5);
      }
    }
  }
}

TEST_F(HostileFiles, MissingPixelBytesReadAsZero) {
  // An uncompressed top-left 24-bit file cut after 10 of its 12 pixels.
  const Picture picture = MakePicture(
      4, 3, [](int32_t x, int32_t y) { return FromRgb(uint8_t(10 + x), uint8_t(20 + y), 30); });
  const std::string file = path("cut.tga");
  ASSERT_TRUE(save(kTarga, picture, file));
  Bytes b = ReadBytes(file);
  b.resize(18 + 35 + 10 * 3);
  const auto p = loadBytes(kTarga, b);
  ASSERT_TRUE(p);
  for (int32_t i = 0; i < 12; ++i)
    EXPECT_EQ(p->at(i % 4, i / 4), i < 10 ? picture.at(i % 4, i / 4) : Bgr{}) << i;

  // A 24-bit PCX whose last line is missing decodes it as literal zero bytes.
  const std::string pcx = path("cut.pcx");
  ASSERT_TRUE(save(kPcx, picture, pcx));
  Bytes c = ReadBytes(pcx);
  c.resize(c.size() - 769);
  // Each line of this picture: red 4 literals, green a run of 4, blue a run of 4 = 8 bytes.
  c.resize(c.size() - 8);
  const auto q = loadBytes(kPcx, c);
  ASSERT_TRUE(q);
  for (int32_t x = 0; x < 4; ++x) {
    EXPECT_EQ(q->at(x, 1), picture.at(x, 1));
    EXPECT_EQ(q->at(x, 2), Bgr{}) << x;
  }
}

TEST_F(HostileFiles, CorruptHeaderBytesNeverEscapeTheirFrame) {
  const Picture picture = MakePicture(6, 4, Varied);
  for (uint32_t type : {kPcx, kTarga}) {
    SCOPED_TRACE(type);
    const std::string file = path("good");
    ASSERT_TRUE(save(type, picture, file));
    const Bytes good = ReadBytes(file);
    const size_t header = type == kPcx ? 128 : 18;
    for (size_t at = 0; at < header; ++at)
      for (uint8_t value : {uint8_t(0), uint8_t(1), uint8_t(0x7F), uint8_t(0x80), uint8_t(0xFF)}) {
        Bytes bad = good;
        bad[at] = value;
        SCOPED_TRACE(::testing::Message() << "byte " << at << " = " << int(value));
        const auto p = loadBytes(type, bad);
        if (p) {
          EXPECT_GT(p->width, 0);
          EXPECT_GT(p->height, 0);
          EXPECT_LE(uint64_t(p->width) * uint64_t(p->height) * 3, uint64_t(1) << 30);
        }
      }
  }
}

}  // namespace
}  // namespace rastunes_test
