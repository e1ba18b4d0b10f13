// Corrupt, truncated and lying files: every one is refused or decoded within what its header
// promises, never read or written out of bounds (the sanitizer build runs these too).
#include "aiff.hpp"
#include "rastunes_fixture.hpp"
#include "sgi_files.hpp"

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

Bytes AliasHeader(uint16_t width, uint16_t height, uint16_t bits = 24) {
  Bytes b(10, 0);
  PutBe16(b, 0, width);
  PutBe16(b, 2, height);
  PutBe16(b, 8, bits);
  return b;
}

// A run-length SGI file of `rows` whose every table entry is `start` and `length`.
Bytes SgiTables(const SgiSpec& s, uint32_t start, uint32_t length, const Bytes& data) {
  Bytes b = SgiHeader(s);
  const size_t entries = size_t(s.height) * s.channels;
  Bytes tables(entries * 8);
  for (size_t i = 0; i < entries; ++i) {
    PutBe32(tables, 4 * i, start);
    PutBe32(tables, 4 * (entries + i), length);
  }
  return Then(Then(b, tables), data);
}

// The header size of each written picture format: shorter files are refused.
size_t HeaderBytes(uint32_t type) {
  switch (type) {
    case kPcx:
      return 128;
    case kTarga:
      return 18;
    case kAlias:
      return 10;
    default:
      return 512;  // SGI
  }
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
      {"sgi frame above 1 GiB", kSgi, SgiHeader({.width = 65535, .height = 65535}), false},
      {"sgi width 0", kSgi, SgiHeader({.width = 0, .height = 5}), false},
      {"sgi height 0", kSgi, SgiHeader({.width = 5, .height = 0}), false},
      {"sgi maximum equals minimum", kSgi, SgiHeader({.width = 2, .height = 2, .maximum = 0}),
       false},
      {"sgi extreme minimum and maximum", kSgi,
       SgiHeader({.width = 2, .height = 2, .minimum = INT32_MIN, .maximum = INT32_MAX}), true, 2,
       2},
      {"sgi 65535 channels, only the header", kSgi,
       SgiHeader({.width = 3, .height = 2, .channels = 65535}), true, 3, 2},
      {"sgi 0 channels", kSgi, SgiHeader({.width = 3, .height = 2, .channels = 0}), true, 3, 2},
      {"sgi run-length, only the header", kSgi,
       SgiHeader({.storage = 1, .bytesPerValue = 2, .width = 300, .height = 200}), true, 300, 200},
      {"sgi run-length rows all at the end of the file", kSgi,
       SgiTables({.storage = 1, .width = 4, .height = 3}, 0xFFFFFFFF, 0xFFFFFFFF, {}), true, 4, 3},
      {"sgi run-length rows of endless literals", kSgi,
       SgiTables({.storage = 1, .width = 4, .height = 3}, 512 + 72, 0xFFFFFFFF, Bytes(99, 0xFF)),
       true, 4, 3},
      {"sgi run-length rows reading the tables themselves", kSgi,
       SgiTables({.storage = 1, .bytesPerValue = 2, .width = 9, .height = 3}, 0, 600, {}), true, 9,
       3},
      {"sgi run-length tables of 65535 channels", kSgi,
       SgiTables({.storage = 1, .width = 2, .height = 1, .channels = 65535}, 7, 7, {}), true, 2, 1},
      {"alias header only", kAlias, AliasHeader(4095, 4095), true, 4095, 4095},
      {"alias header cut short", kAlias, Bytes{0, 3, 0, 3, 0, 0, 0, 0, 0}, false},
      {"alias 65535 x 65535", kAlias, AliasHeader(65535, 65535), false},
      {"alias packets of count 0 only", kAlias, Then(AliasHeader(2, 2), Bytes(4000, 0)), true, 2,
       2},
      {"alias far more packets than pixels", kAlias, Then(AliasHeader(1, 1), Bytes(40000, 0xFF)),
       true, 1, 1},
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
  for (uint32_t type : {kPcx, kTarga, kAlias, kSgi}) {
    SCOPED_TRACE(type);
    const std::string file = path("whole");
    ASSERT_TRUE(save(type, picture, file));
    const Bytes whole = ReadBytes(file);
    const size_t header = HeaderBytes(type);
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

TEST_F(HostileFiles, EveryTruncationOfARunLengthSgiLoadsOrFailsCleanly) {
  // Two-byte values, three channels of 3 rows: literals, runs and terminators.
  const SgiSpec s{.storage = 1, .bytesPerValue = 2, .width = 5, .height = 3, .maximum = 65535};
  Bytes b = SgiHeader(s);
  const size_t entries = 9, data = 512 + 8 * entries;
  const Bytes row = {0x00, 0x83, 0x12, 0x34, 0xFF, 0xFF, 0x00,
                     0x01, 0x00, 0x05, 0x00, 0x80, 0x00, 0x00};
  Bytes tables(entries * 8);
  for (size_t i = 0; i < entries; ++i) {
    PutBe32(tables, 4 * i, uint32_t(data + i * row.size()));
    PutBe32(tables, 4 * (entries + i), uint32_t(row.size()));
  }
  b = Then(b, tables);
  for (size_t i = 0; i < entries; ++i)
    b = Then(b, row);
  const auto whole = loadBytes(kSgi, b);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->at(4, 0), FromRgb(0, 0, 0));
  EXPECT_EQ(whole->at(1, 2), FromRgb(255, 255, 255));
  for (size_t length = 0; length < b.size(); ++length) {
    SCOPED_TRACE(length);
    const auto p = loadBytes(kSgi, Bytes(b.begin(), b.begin() + ptrdiff_t(length)));
    ASSERT_EQ(p.has_value(), length >= 512);
  }
}

TEST_F(HostileFiles, CorruptHeaderBytesNeverEscapeTheirFrame) {
  const Picture picture = MakePicture(6, 4, Varied);
  for (uint32_t type : {kPcx, kTarga, kAlias, kSgi}) {
    SCOPED_TRACE(type);
    const std::string file = path("good");
    ASSERT_TRUE(save(type, picture, file));
    const Bytes good = ReadBytes(file);
    // The SGI header's used fields are its first 20 bytes and the colour map id.
    const size_t header = type == kSgi ? 108 : HeaderBytes(type);
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

// AIFF files that lie: every answer is false or a block inside the buffer, never a read or
// write outside it, and nothing waits on a chunk walk that does not end.
class HostileSound : public Rastunes {
 protected:
  // Mode 0, then as many block reads as the header allows (at most a few); the answers.
  std::pair<bool, int> readAll(const Bytes& bytes, int32_t blockSize = 64) {
    const std::string file = path("in.aiff");
    WriteBytes(file, bytes);
    std::vector<char> name = NameOf(file);
    const uint32_t local = instance(kAiff, 0x100);
    const bool parsed = m().piLocalLoadData(kAiff, local, 0, name.data()) == -1;
    const uint32_t record = owned(m().piLocalGetData(kAiff, local));
    kpl::FormatRecord f{};
    {
      kpl::BlockLock lock(record);
      if (lock) std::memcpy(&f, lock.get(), sizeof f);
    }
    f.blockSize = blockSize;
    const uint32_t reader = instance(kAiff, 0x100);
    m().piLocalSetFormat(kAiff, reader, &f);
    int blocks = 0;
    if (m().piLocalProcessDataStart(kAiff, reader) == -1)
      while (blocks < 8 && m().piLocalLoadData(kAiff, reader, 2, name.data()) == -1)
        ++blocks;
    m().piLocalProcessDataEnd(kAiff, reader);
    return {parsed, blocks};
  }
};

Bytes Be32Bytes(uint32_t v) {
  Bytes b(4);
  PutBe32(b, 0, v);
  return b;
}

Bytes AiffHeader(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t ssndSize,
                 uint32_t offset) {
  Bytes b = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F', 'C', 'O', 'M', 'M', 0, 0, 0, 18};
  Bytes comm(18, 0);
  PutBe16(comm, 0, channels);
  PutBe32(comm, 2, frames);
  PutBe16(comm, 6, bits);
  kpl::rastunes::aiff::EncodeRate(8000, comm.data() + 8);
  b = Then(b, comm);
  b = Then(b, {'S', 'S', 'N', 'D'});
  b = Then(b, Be32Bytes(ssndSize));
  return Then(Then(b, Be32Bytes(offset)), Be32Bytes(0));
}

TEST_F(HostileSound, LyingHeadersFailOrStayInsideTheFile) {
  struct Case {
    const char* what;
    Bytes file;
    bool parses;
  };
  Bytes tinyChunks = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F'};
  for (int i = 0; i < 5000; ++i)
    tinyChunks = Then(tinyChunks, {'J', 'U', 'N', 'K', 0, 0, 0, 0});
  const Case cases[] = {
      {"empty", {}, false},
      {"FORM only", {'F', 'O', 'R', 'M'}, false},
      {"no chunks", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'A', 'I', 'F', 'F'}, false},
      {"a chunk size beyond the file",
       Then({'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F', 'J', 'U', 'N', 'K'},
            Be32Bytes(0xFFFFFFFF)),
       false},
      {"five thousand empty chunks", tinyChunks, false},
      {"SSND shorter than its fields", Then(AiffHeader(1, 10, 8, 4, 0), Bytes(4, 0)), false},
      {"SSND size past the end", Then(AiffHeader(2, 1000, 16, 0xFFFFFFF0, 0), Bytes(10, 1)), true},
      {"SSND offset past the end", Then(AiffHeader(1, 1000, 8, 100, 0xFFFFFFF0), Bytes(10, 1)),
       false},
      {"frames beyond 32 bits of bytes", Then(AiffHeader(2, 0xFFFFFFFF, 16, 40, 0), Bytes(32, 1)),
       false},
      {"2^31 - 1 frames", Then(AiffHeader(2, 0x7FFFFFFF, 16, 40, 0), Bytes(32, 1)), true},
      {"0 channels", Then(AiffHeader(0, 10, 8, 18, 0), Bytes(10, 1)), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto [parsed, blocks] = readAll(c.file);
    EXPECT_EQ(parsed, c.parses);
    EXPECT_LE(blocks, 1);
  }
  // A block size no buffer can hold: the stream does not start, and nothing is read.
  const auto [parsed, blocks] = readAll(Then(AiffHeader(1, 10, 8, 18, 0), Bytes(10, 1)), INT32_MAX);
  EXPECT_TRUE(parsed);
  EXPECT_EQ(blocks, 0);
}

TEST_F(HostileSound, EveryTruncationAndCorruptHeaderByteFailsCleanly) {
  const Bytes good = Then(AiffHeader(2, 50, 16, 208, 0), Bytes(200, 0x5A));
  for (size_t length = 0; length <= good.size(); ++length) {
    SCOPED_TRACE(length);
    const auto [parsed, blocks] = readAll(Bytes(good.begin(), good.begin() + ptrdiff_t(length)));
    EXPECT_EQ(parsed, length >= 54);
    // Only whole sample frames (4 bytes) are delivered, 64 bytes a block.
    EXPECT_EQ(blocks, length > 54 ? int((length - 54) / 4 * 4 + 63) / 64 : 0);
  }
  for (size_t at = 0; at < 54; ++at)
    for (uint8_t value : {uint8_t(0), uint8_t(1), uint8_t(0x7F), uint8_t(0x80), uint8_t(0xFF)}) {
      SCOPED_TRACE(::testing::Message() << "byte " << at << " = " << int(value));
      Bytes bad = good;
      bad[at] = value;
      const auto [parsed, blocks] = readAll(bad);
      EXPECT_LE(blocks, 8);
    }
}

}  // namespace
}  // namespace rastunes_test
