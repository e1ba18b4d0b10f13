// Alias pictures through the module's exports: the 10-byte header, the packets the writer
// makes (runs of at most 255, none across a row) and the reader's handling of packets that
// overrun a row, of count 0 and of files that end early.
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

Bytes AliasHeader(uint16_t width, uint16_t height, uint16_t bits = 24) {
  Bytes b(10, 0);
  PutBe16(b, 0, width);
  PutBe16(b, 2, height);
  PutBe16(b, 4, 77);  // offsets are ignored
  PutBe16(b, 6, 88);
  PutBe16(b, 8, bits);
  return b;
}

// A packet: count, then blue, green, red.
Bytes Packet(uint8_t count, Bgr c) {
  return {count, c.blue, c.green, c.red};
}

using AliasFiles = Rastunes;

TEST_F(AliasFiles, PacketsTheWriterMakes) {
  const Bgr a = FromRgb(1, 2, 3), b = FromRgb(200, 100, 50);
  struct Case {
    const char* what;
    Picture picture;
    Bytes packets;
  };
  const Case cases[] = {
      {"a 1 x 1 picture", MakePicture(1, 1, [&](int32_t, int32_t) { return a; }), Packet(1, a)},
      {"300 equal pixels", MakePicture(300, 1, [&](int32_t, int32_t) { return b; }),
       Joined(Packet(255, b), Packet(45, b))},
      {"two rows of one colour", MakePicture(3, 2, [&](int32_t, int32_t) { return a; }),
       Joined(Packet(3, a), Packet(3, a))},
      {"runs broken by other colours",
       MakePicture(5, 1, [&](int32_t x, int32_t) { return x == 2 ? b : a; }),
       Joined(Joined(Packet(2, a), Packet(1, b)), Packet(2, a))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = path("p.alias");
    ASSERT_TRUE(save(kAlias, c.picture, file));
    const Bytes written = ReadBytes(file);
    ASSERT_EQ(written.size(), 10 + c.packets.size());
    EXPECT_EQ(Be16At(written, 0), uint32_t(c.picture.width));
    EXPECT_EQ(Be16At(written, 2), uint32_t(c.picture.height));
    EXPECT_EQ(Be32At(written, 4), 0u);
    EXPECT_EQ(Be16At(written, 8), 24u);
    EXPECT_EQ(Bytes(written.begin() + 10, written.end()), c.packets);
  }
  const std::string one = path("one.ali");
  ASSERT_TRUE(save(kAli, MakePicture(1, 1, Varied), one));
  EXPECT_EQ(ReadBytes(one).size(), 14u);
}

TEST_F(AliasFiles, BothTypesReadBackWhatTheyWrote) {
  const Picture picture = MakePicture(301, 4, [](int32_t x, int32_t y) {
    return x < 280 ? FromRgb(9, 8, uint8_t(y)) : Varied(x, y);
  });
  for (uint32_t type : {kAlias, kAli}) {
    const std::string file = path(std::to_string(type) + ".out");
    ASSERT_TRUE(save(type, picture, file));
    const auto back = load(type, file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, picture.pixels) << type;
  }
}

TEST_F(AliasFiles, PacketsNeverCarryIntoTheNextRow) {
  const Bgr red = FromRgb(255, 0, 0), green = FromRgb(0, 255, 0), blue = FromRgb(0, 0, 255);
  // 5 x 3: a packet of 2, then one of 10 that starts 3 pixels before the row's end; the next
  // row starts with the next packet; a count of 0 sets nothing; the file ends in the last row
  // and a stray byte after the last whole packet is ignored.
  Bytes file = AliasHeader(5, 3);
  for (const Bytes& p : {Packet(2, red), Packet(10, green), Packet(0, red), Packet(5, blue),
                         Packet(1, red), Bytes{7}})
    file = Joined(file, p);
  const auto p = loadBytes(kAlias, file);
  ASSERT_TRUE(p);
  const Bgr black{};
  const std::vector<Bgr> want = {red,  red,   green, green, green,  //
                                 blue, blue,  blue,  blue,  blue,   //
                                 red,  black, black, black, black};
  EXPECT_EQ(p->pixels, want);
}

TEST_F(AliasFiles, HeadersTheReaderRefuses) {
  struct Case {
    const char* what;
    Bytes file;
    bool loads;
  };
  const Case cases[] = {
      {"4095 x 1", Joined(AliasHeader(4095, 1), Packet(255, Bgr{})), true},
      {"width 4096", AliasHeader(4096, 1), false},
      {"width 5000", AliasHeader(5000, 2), false},
      {"height 4096", AliasHeader(1, 4096), false},
      {"width 0", AliasHeader(0, 3), false},
      {"8 bits per pixel", AliasHeader(2, 2, 8), false},
      {"header cut short", Bytes(9, 1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = path("h.alias");
    WriteBytes(file, c.file);
    std::vector<char> name = NameOf(file);
    const uint32_t local = instance(kAlias);
    // The header step claims only what the picture read decodes.
    EXPECT_EQ(m().piLocalLoadData(kAlias, local, 0, name.data()), c.loads ? -1 : 0);
    EXPECT_EQ(m().piLocalLoadData(kAlias, local, 1, name.data()), c.loads ? -1 : 0);
    owned(m().piLocalGetData(kAlias, local));
  }
}

TEST_F(AliasFiles, TheSaverTakesOnly24BitFrames) {
  for (uint16_t bits : {1, 4, 8, 16, 32}) {
    const kpl::FormatRecord f = PictureFormat(4, 3, bits);
    EXPECT_EQ(m().piLocalSetFormat(kAlias, instance(kAlias), &f), 0) << bits;
    EXPECT_EQ(m().piLocalSetFormat(kAli, instance(kAli), &f), 0) << bits;
  }
}

}  // namespace
}  // namespace rastunes_test
