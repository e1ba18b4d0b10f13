// Frames: row sizes, new black frames, conversion of every depth to 24 bits, pixel addressing
// and filling. Expected bytes are placed and read at offsets computed from the frame rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "test_frames.hpp"

namespace {

using kpl_test::HeaderFields;
using kpl_test::kMarker;
using kpl_test::MakeFrame;
using kpl_test::ParseHeader;
using kpl_test::Rgb;
using kpl_test::TestFrame;

// Row bytes of a 24-bit frame, by the usual stride formula rather than the code's.
uint64_t Stride24(uint64_t width) {
  return (width * 24 + 31) / 32 * 4;
}

// Checks that `handle` is an unlocked movable block holding a 24-bit frame of w x h with the
// standard header, and that its pixels (top row first) are `expected`.
void ExpectFrame24(uint32_t handle, int32_t w, int32_t h, const std::vector<uint32_t>& expected) {
  ASSERT_NE(handle, 0u);
  const uint64_t stride = Stride24(uint64_t(w));
  EXPECT_EQ(GlobalSize(handle), 40 + stride * uint64_t(h));
  EXPECT_NE(GlobalFlags(handle) & GMEM_MOVEABLE, 0u);
  EXPECT_EQ(GlobalLockCount(handle), 0u);
  kpl::BlockLock lock(handle);
  ASSERT_TRUE(lock);
  const auto* p = lock.as<const uint8_t>();
  const HeaderFields f = ParseHeader(p);
  EXPECT_EQ(f.size, 40u);
  EXPECT_EQ(f.width, w);
  EXPECT_EQ(f.height, h);
  EXPECT_EQ(f.planes, 1);
  EXPECT_EQ(f.bits, 24);
  EXPECT_EQ(f.compression, 0u);
  EXPECT_EQ(f.sizeImage, stride * uint64_t(h));
  EXPECT_EQ(f.xPels, 0);
  EXPECT_EQ(f.yPels, 0);
  EXPECT_EQ(f.clrUsed, 0u);
  EXPECT_EQ(f.clrImportant, 0u);
  ASSERT_EQ(expected.size(), size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* px = p + 40 + stride * uint64_t(h - 1 - y) + 3 * uint64_t(x);
      EXPECT_EQ(Rgb(px[2], px[1], px[0]), expected[size_t(y) * size_t(w) + size_t(x)])
          << "pixel (" << x << ", " << y << ")";
    }
  }
}

// Converts and checks that exactly one block (the result) was left behind.
kpl::OwnedBlock Convert(TestFrame& frame) {
  const size_t live = GlobalLiveBlocks();
  kpl::OwnedBlock result(kpl::ToFrame24(frame.header()));
  EXPECT_EQ(GlobalLiveBlocks(), live + (result ? 1 : 0));
  return result;
}

TEST(RowBytes24, IsThreeTimesWidthRoundedUpToFour) {
  struct Case {
    int64_t width;
    uint64_t bytes;
  };
  const Case cases[] = {{0, 0},         {1, 4},         {2, 8},
                        {3, 12},        {4, 12},        {5, 16},
                        {21845, 65536}, {21846, 65540}, {0x7FFFFFFF, 6442450944u}};
  for (const Case& c : cases)
    EXPECT_EQ(kpl::RowBytes24(c.width), c.bytes) << c.width;
}

TEST(ImageBytes, RowBytesPerDepthTimesHeight) {
  struct Case {
    int32_t width;
    int32_t height;
    uint16_t bits;
    uint64_t bytes;
  };
  const Case cases[] = {
      {1, 3, 1, 12},   // 1 byte -> 4
      {32, 1, 1, 4},   // exactly 4 bytes
      {33, 2, 1, 16},  // 5 bytes -> 8
      {8, 1, 4, 4},
      {9, 2, 4, 16},  // 5 bytes -> 8
      {5, 3, 8, 24},
      {3, 2, 15, 16},  // 15 bits counts like 16: 6 bytes -> 8
      {3, 2, 16, 16},
      {5, 2, 24, 32},  // 15 -> 16
      {3, 7, 32, 84},
      {5, 3, 2, 15},  // any other depth: width x height
      {7, 3, 0, 21},
      {10, 10, 12, 100},
      {65536, 65536, 32, 17179869184u},  // beyond 32 bits
      {0x7FFFFFFF, 0x7FFFFFFF, 24, 13835058048839712768u},
  };
  for (const Case& c : cases) {
    uint8_t header[40];
    HeaderFields f;
    f.width = c.width;
    f.height = c.height;
    f.bits = c.bits;
    kpl_test::WriteHeader(header, f);
    EXPECT_EQ(kpl::ImageBytes(header), c.bytes)
        << c.width << " x " << c.height << " at " << c.bits << " bits";
  }
}

TEST(NewFrame24, IsAnUnlockedBlackFrameWithTheStandardHeader) {
  struct Case {
    int32_t width;
    int32_t height;
  };
  for (const Case& c : {Case{3, 2}, Case{1, 1}, Case{5, 3}, Case{0, 0}, Case{0, 4}, Case{7, 0}}) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    kpl::OwnedBlock frame(kpl::NewFrame24(c.width, c.height));
    ExpectFrame24(frame.get(), c.width, c.height,
                  std::vector<uint32_t>(size_t(c.width) * size_t(c.height), 0));
    EXPECT_NE(GlobalFlags(frame.get()) & GMEM_ZEROINIT, 0u);
    // Padding is zero as well: the whole pixel area is blank.
    kpl::BlockLock lock(frame.get());
    const auto* p = lock.as<const uint8_t>();
    for (size_t i = 40; i < GlobalSize(frame.get()); ++i)
      ASSERT_EQ(p[i], 0) << "byte " << i;
  }
}

TEST(NewFrame24, ThreeByTwoIsSixtyFourBytes) {
  kpl::OwnedBlock frame(kpl::NewFrame24(3, 2));
  EXPECT_EQ(GlobalSize(frame.get()), 64u);
}

TEST(NewFrame24, RefusesNegativeAndImpossibleSizes) {
  const size_t live = GlobalLiveBlocks();
  EXPECT_EQ(kpl::NewFrame24(-1, 1), 0u);
  EXPECT_EQ(kpl::NewFrame24(1, -1), 0u);
  EXPECT_EQ(kpl::NewFrame24(0x7FFFFFFF, 1), 0u);  // one row is beyond the block limit
  EXPECT_EQ(kpl::NewFrame24(0x7FFFFFFF, 0x7FFFFFFF), 0u);
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(ToFrame24, OneBitReadsMostSignificantBitFirst) {
  TestFrame f = MakeFrame(10, 2, 1);  // 2 table entries, rows of 4 bytes
  f.SetEntry(0, 0x30, 0x20, 0x10);
  f.SetEntry(1, 0xC0, 0xB0, 0xA0);
  // Top row: pixels 0 and 9 set; the bits after pixel 9 are set too and must be ignored.
  f.rowFromTop(0)[0] = 0x80;
  f.rowFromTop(0)[1] = 0x40 | 0x3F;
  // Bottom row: odd pixels set.
  f.rowFromTop(1)[0] = 0x55;
  f.rowFromTop(1)[1] = 0x40;
  const uint32_t a = Rgb(0x30, 0x20, 0x10), b = Rgb(0xC0, 0xB0, 0xA0);
  ExpectFrame24(Convert(f).get(), 10, 2, {b, a, a, a, a, a, a, a, a, b,  //
                                          a, b, a, b, a, b, a, b, a, b});
}

TEST(ToFrame24, FourBitReadsHighNibbleFirst) {
  TestFrame f = MakeFrame(3, 2, 4);  // colours used 0: 16 entries
  for (int i = 0; i < 16; ++i)
    f.SetEntry(size_t(i), uint8_t(16 * i), uint8_t(255 - i), uint8_t(3 * i));
  auto entry = [](int i) { return Rgb(16 * i, 255 - i, 3 * i); };
  f.rowFromTop(0)[0] = 0x1F;
  f.rowFromTop(0)[1] = 0x2A;  // low nibble is past the width
  f.rowFromTop(1)[0] = 0xE3;
  f.rowFromTop(1)[1] = 0x4B;
  ExpectFrame24(Convert(f).get(), 3, 2,
                {entry(1), entry(15), entry(2), entry(14), entry(3), entry(4)});
}

TEST(ToFrame24, FourBitWithFiveColoursUsedFindsPixelsAfterFiveEntries) {
  TestFrame f = MakeFrame(3, 1, 4, 5);
  for (int i = 0; i < 5; ++i)
    f.SetEntry(size_t(i), uint8_t(40 * i + 1), uint8_t(7 * i), uint8_t(250 - i));
  auto entry = [](int i) { return Rgb(40 * i + 1, 7 * i, 250 - i); };
  f.rowFromTop(0)[0] = 0x40;
  f.rowFromTop(0)[1] = 0x10;
  ExpectFrame24(Convert(f).get(), 3, 1, {entry(4), entry(0), entry(1)});
}

TEST(ToFrame24, EightBitWithColoursUsedZeroHasAFullTable) {
  TestFrame f = MakeFrame(3, 2, 8);
  ASSERT_EQ(f.tableEntries, 256u);
  for (int i = 0; i < 256; ++i)
    f.SetEntry(size_t(i), uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
  auto entry = [](int i) { return Rgb(i, 255 - i, (i * 7) & 255); };
  const uint8_t top[3] = {0, 127, 255}, bottom[3] = {1, 128, 254};
  std::memcpy(f.rowFromTop(0), top, 3);
  std::memcpy(f.rowFromTop(1), bottom, 3);
  ExpectFrame24(Convert(f).get(), 3, 2,
                {entry(0), entry(127), entry(255), entry(1), entry(128), entry(254)});
}

TEST(ToFrame24, EightBitWithTwoColoursUsedCopiesOnlyTwoEntries) {
  // The buffer ends right after the pixel rows: reading a 256-entry table would run past it,
  // and looking for the pixels after 256 entries would read the wrong bytes.
  TestFrame f = MakeFrame(3, 2, 8, 2);
  ASSERT_EQ(f.bytes.size(), 40u + 8 + 8);
  f.SetEntry(0, 10, 20, 30);
  f.SetEntry(1, 200, 100, 50);
  const uint8_t top[3] = {1, 0, 1}, bottom[3] = {0, 0, 1};
  std::memcpy(f.rowFromTop(0), top, 3);
  std::memcpy(f.rowFromTop(1), bottom, 3);
  const uint32_t a = Rgb(10, 20, 30), b = Rgb(200, 100, 50);
  ExpectFrame24(Convert(f).get(), 3, 2, {b, a, b, a, a, b});
}

TEST(ToFrame24, LargerHeaderIsFollowedByItsColourTable) {
  HeaderFields h;
  h.size = 108;
  h.width = 2;
  h.height = 1;
  h.bits = 8;
  h.clrUsed = 2;
  TestFrame f = MakeFrame(h);
  f.SetEntry(0, 1, 2, 3);
  f.SetEntry(1, 4, 5, 6);
  f.rowFromTop(0)[0] = 1;
  f.rowFromTop(0)[1] = 0;
  ExpectFrame24(Convert(f).get(), 2, 1, {Rgb(4, 5, 6), Rgb(1, 2, 3)});
}

TEST(ToFrame24, SixteenBitTakesFiveBitsPerChannelTimesEight) {
  TestFrame f = MakeFrame(3, 3, 16);                       // rows of 6 bytes padded to 8
  const uint16_t rows[3][3] = {{0x7FFF, 0xFFFF, 0x7C00},   // white, white (top bit ignored), red
                               {0x03E0, 0x001F, 0x8421},   // green, blue, 1/1/1 with top bit
                               {0x0421, 0x1234, 0x0000}};  // 1/1/1, 4/17/20, black
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      kpl_test::Put16(f.rowFromTop(y) + 2 * x, rows[y][x]);
  ExpectFrame24(Convert(f).get(), 3, 3,
                {Rgb(248, 248, 248), Rgb(248, 248, 248), Rgb(248, 0, 0),  //
                 Rgb(0, 248, 0), Rgb(0, 0, 248), Rgb(8, 8, 8),            //
                 Rgb(8, 8, 8), Rgb(32, 136, 160), Rgb(0, 0, 0)});
}

TEST(ToFrame24, ThirtyTwoBitTakesBlueGreenRedAndIgnoresTheTopByte) {
  TestFrame f = MakeFrame(2, 2, 32);
  const uint8_t top[8] = {0x01, 0x02, 0x03, 0xFF, 0xFF, 0x00, 0x80, 0x7F};
  const uint8_t bottom[8] = {0x10, 0x20, 0x30, 0x40, 0x00, 0x00, 0x00, 0xFF};
  std::memcpy(f.rowFromTop(0), top, 8);
  std::memcpy(f.rowFromTop(1), bottom, 8);
  ExpectFrame24(Convert(f).get(), 2, 2,
                {Rgb(0x03, 0x02, 0x01), Rgb(0x80, 0x00, 0xFF), Rgb(0x30, 0x20, 0x10), 0});
}

TEST(ToFrame24, TwoBitFrameBecomesBlackOfTheSameSize) {
  TestFrame f = MakeFrame(5, 3, 2);  // four table entries, width x height pixel bytes
  for (size_t i = 0; i < 4; ++i)
    f.SetEntry(i, 255, 255, 255);
  ExpectFrame24(Convert(f).get(), 5, 3, std::vector<uint32_t>(15, 0));
}

TEST(ToFrame24, TwentyFourBitIsAnExactCopy) {
  for (uint32_t headerSize : {40u, 108u}) {
    SCOPED_TRACE(headerSize);
    HeaderFields h;
    h.size = headerSize;
    h.width = 3;
    h.height = 2;
    h.xPels = 2835;
    h.yPels = 1417;
    h.sizeImage = 0;  // copied as it is, not recomputed
    h.clrImportant = 7;
    TestFrame f = MakeFrame(h);
    for (size_t i = headerSize; i < f.bytes.size(); ++i)
      f.bytes[i] = uint8_t(i * 37 + 1);
    kpl::OwnedBlock copy = Convert(f);
    ASSERT_TRUE(copy);
    // max(40 + 2 x 12, header + 2 x 12): the source size with its own header.
    ASSERT_EQ(GlobalSize(copy.get()), f.bytes.size());
    EXPECT_NE(GlobalFlags(copy.get()) & GMEM_MOVEABLE, 0u);
    EXPECT_EQ(GlobalLockCount(copy.get()), 0u);
    kpl::BlockLock lock(copy.get());
    EXPECT_EQ(std::memcmp(lock.get(), f.bytes.data(), f.bytes.size()), 0);
  }
}

TEST(ToFrame24, RefusesFramesItCannotRead) {
  struct Case {
    const char* what;
    HeaderFields h;
  };
  auto with = [](auto change) {
    HeaderFields h;
    h.width = 4;
    h.height = 4;
    h.bits = 8;
    change(h);
    return h;
  };
  const Case cases[] = {
      {"header size 39", with([](HeaderFields& h) { h.size = 39; })},
      {"header size 0", with([](HeaderFields& h) { h.size = 0; })},
      {"header size 125", with([](HeaderFields& h) { h.size = 125; })},
      {"negative width", with([](HeaderFields& h) { h.width = -4; })},
      {"negative height", with([](HeaderFields& h) { h.height = -4; })},
      {"compressed 8-bit", with([](HeaderFields& h) { h.compression = 1; })},
      {"compressed 24-bit", with([](HeaderFields& h) { h.bits = 24, h.compression = 1; })},
      {"bit fields 16-bit", with([](HeaderFields& h) { h.bits = 16, h.compression = 3; })},
      {"gigantic 24-bit",
       with([](HeaderFields& h) { h.bits = 24, h.width = h.height = 0x7FFFFFFF; })},
      {"gigantic 1-bit",
       with([](HeaderFields& h) { h.bits = 1, h.width = h.height = 0x7FFFFFFF; })},
      {"32-bit beyond the block limit",
       with([](HeaderFields& h) { h.bits = 32, h.width = h.height = 65536; })},
      {"colour table beyond the block limit",
       with([](HeaderFields& h) { h.clrUsed = 0x40000000; })},
  };
  const size_t live = GlobalLiveBlocks();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Only the 40 header bytes exist: a refusal must not read or allocate beyond them.
    std::vector<uint8_t> header(40);
    kpl_test::WriteHeader(header.data(), c.h);
    EXPECT_EQ(kpl::ToFrame24(header.data()), 0u);
  }
  EXPECT_EQ(kpl::ToFrame24(nullptr), 0u);
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(ToFrame24FromHandle, ConvertsALockedCopyAndUnlocksTheSource) {
  TestFrame f = MakeFrame(2, 1, 8, 2);
  f.SetEntry(0, 9, 8, 7);
  f.SetEntry(1, 1, 2, 3);
  f.rowFromTop(0)[0] = 1;
  f.rowFromTop(0)[1] = 0;
  kpl::OwnedBlock source(GMEM_MOVEABLE, f.bytes.size());
  {
    kpl::BlockLock lock(source.get());
    std::memcpy(lock.get(), f.bytes.data(), f.bytes.size());
  }
  kpl::OwnedBlock result(kpl::ToFrame24FromHandle(source.get()));
  EXPECT_EQ(GlobalLockCount(source.get()), 0u);
  ExpectFrame24(result.get(), 2, 1, {Rgb(1, 2, 3), Rgb(9, 8, 7)});

  EXPECT_EQ(kpl::ToFrame24FromHandle(0), 0u);
  const uint32_t freed = source.release();
  GlobalFree(freed);
  EXPECT_EQ(kpl::ToFrame24FromHandle(freed), 0u);
}

TEST(Pixel24, WriteStoresBlueGreenRedWithRowZeroLastInMemory) {
  kpl::OwnedBlock frame(kpl::NewFrame24(3, 2));  // rows of 12 bytes
  kpl::BlockLock lock(frame.get());
  auto* p = lock.as<uint8_t>();
  kpl::WritePixel24(p, 0, 0, Rgb(0x11, 0x22, 0x33));
  kpl::WritePixel24(p, 2, 1, Rgb(0xA1, 0xB2, 0xC3));
  kpl::WritePixel24(p, 1, 0, 0xFF000000u | Rgb(1, 2, 3));  // the top byte is not a channel
  // (0, 0): top row = second row in memory, at 40 + 12.
  const uint8_t expected[24] = {0,    0,    0,    0, 0, 0, 0xC3, 0xB2, 0xA1, 0, 0, 0,
                                0x33, 0x22, 0x11, 3, 2, 1, 0,    0,    0,    0, 0, 0};
  for (int i = 0; i < 24; ++i)
    EXPECT_EQ(p[40 + i], expected[i]) << "pixel byte " << i;
}

TEST(Pixel24, ReadAddressesFromTheHeaderSizeAndTheTopRow) {
  HeaderFields h;
  h.size = 44;  // pixels follow the header wherever it ends
  h.width = 2;
  h.height = 3;
  TestFrame f = MakeFrame(h);  // rows of 8 bytes
  const uint8_t bgr00[3] = {0x05, 0x06, 0x07}, bgr12[3] = {0xFE, 0x00, 0x01};
  std::memcpy(f.bytes.data() + 44 + 8 * 2, bgr00, 3);      // first pixel of the last row
  std::memcpy(f.bytes.data() + 44 + 8 * 0 + 3, bgr12, 3);  // (1, 2): first row in memory
  EXPECT_EQ(kpl::ReadPixel24(f.header(), 0, 0), Rgb(0x07, 0x06, 0x05));
  EXPECT_EQ(kpl::ReadPixel24(f.header(), 1, 2), Rgb(0x01, 0x00, 0xFE));
  EXPECT_EQ(kpl::ReadPixel24(f.header(), 1, 1), Rgb(kMarker, kMarker, kMarker));

  // Read and write agree on every pixel.
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 2; ++x)
      kpl::WritePixel24(f.header(), x, y, Rgb(x, y, 100 + x + y));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 2; ++x)
      EXPECT_EQ(kpl::ReadPixel24(f.header(), x, y), Rgb(x, y, 100 + x + y));
  for (int32_t y = 0; y < 3; ++y)  // the two padding bytes of each row are untouched
    EXPECT_EQ(f.rowFromTop(y)[6], kMarker);
}

TEST(FillFrame24, WritesEveryPixelAndLeavesPaddingAlone) {
  // Widths 1, 2 and 3 leave 1, 2 and 3 padding bytes; 4 none. 21846 pixels need 65538
  // bytes a row: more than 16 bits can count.
  for (int32_t width : {1, 2, 3, 4, 5, 21846}) {
    SCOPED_TRACE(width);
    TestFrame f = MakeFrame(width, 3, 24);
    kpl::FillFrame24(f.header(), Rgb(1, 2, 3));
    size_t wrong = 0;
    for (int32_t y = 0; y < 3; ++y) {
      const uint8_t* row = f.rowFromTop(y);
      for (int32_t x = 0; x < width; ++x)
        wrong += row[3 * x] != 3 || row[3 * x + 1] != 2 || row[3 * x + 2] != 1;
      for (size_t i = 3 * size_t(width); i < f.stride; ++i)
        wrong += row[i] != kMarker;
    }
    EXPECT_EQ(wrong, 0u);
    const HeaderFields h = ParseHeader(f.bytes.data());
    EXPECT_EQ(h.width, width);
    EXPECT_EQ(h.bits, 24);
  }
}

}  // namespace
