// The pixel writer: refusals, where SeekWriter and PutPixel land (including the documented
// quirk that the first PutPixel after opening writes pixel (1, 0)), row wraps across the
// padding, and the lock a writer opened on a handle holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/dib_lib.hpp"
#include "test_frames.hpp"

namespace {

using kpl_test::HeaderFields;
using kpl_test::kMarker;
using kpl_test::MakeFrame;
using kpl_test::Rgb;
using kpl_test::TestFrame;

// The colour of the n-th PutPixel of a case: never equal to the marker.
uint32_t NthColour(int n) {
  return Rgb(n + 1, 0x40 + n, 0x80 + n);
}

struct Position {
  int32_t x;
  int32_t y;
};

struct Op {
  bool seek;  // false: PutPixel
  int32_t x = 0;
  int32_t y = 0;
};
Op Seek(int32_t x, int32_t y) {
  return {true, x, y};
}
const Op kPut{false};

struct WriterCase {
  const char* name;
  int32_t width;
  int32_t height;
  std::vector<Op> ops;
  std::vector<Position> written;  // where each PutPixel lands, in order
};

void PrintTo(const WriterCase& c, std::ostream* out) {
  *out << c.width << " x " << c.height << " frame";
}

class WriterPositions : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WriterPositions, EachPutLandsWhereTheRulesSay) {
  const WriterCase& c = GetParam();
  TestFrame f = MakeFrame(c.width, c.height, 24);
  auto writer = kpl::OpenWriter(f.header());
  ASSERT_TRUE(writer);
  int puts = 0;
  for (const Op& op : c.ops) {
    if (op.seek)
      kpl::SeekWriter(*writer, op.x, op.y);
    else
      kpl::PutPixel(*writer, NthColour(puts++));
  }
  kpl::CloseWriter(writer);
  ASSERT_EQ(size_t(puts), c.written.size());

  // Every pixel holds the colour of the last put that landed on it, or is untouched.
  for (int32_t y = 0; y < c.height; ++y) {
    for (int32_t x = 0; x < c.width; ++x) {
      uint32_t expected = Rgb(kMarker, kMarker, kMarker);
      for (size_t n = 0; n < c.written.size(); ++n)
        if (c.written[n].x == x && c.written[n].y == y) expected = NthColour(int(n));
      const uint8_t* px = f.Pixel24(x, y);
      EXPECT_EQ(Rgb(px[2], px[1], px[0]), expected) << "pixel (" << x << ", " << y << ")";
    }
    for (size_t i = 3 * size_t(c.width); i < f.stride; ++i)
      EXPECT_EQ(f.rowFromTop(y)[i], kMarker) << "padding of row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriterPositions,
    ::testing::Values(
        // Opening leaves the column at 0, so the first put goes to the next column.
        WriterCase{"PutRightAfterOpenWritesPixelOneZero", 3, 3, {kPut}, {{1, 0}}},
        WriterCase{"SeekOriginThenPut", 3, 3, {Seek(0, 0), kPut}, {{0, 0}}},
        WriterCase{"SeekAnotherRow", 3, 3, {Seek(2, 1), kPut}, {{2, 1}}},
        WriterCase{"SeekBottomRowThenRunAlongIt",
                   3,
                   3,
                   {Seek(0, 2), kPut, kPut, kPut},
                   {{0, 2}, {1, 2}, {2, 2}}},
        // Seeking to x = width on row 0 wraps: the put writes the first pixel of row 1.
        WriterCase{
            "SeekWidthOnRowZeroWritesFirstPixelOfRowOne", 3, 3, {Seek(3, 0), kPut}, {{0, 1}}},
        WriterCase{"SeekBackwardsWithinTheRow",
                   3,
                   3,
                   {Seek(2, 1), kPut, Seek(0, 1), kPut},
                   {{2, 1}, {0, 1}}},
        WriterCase{"SeekToTheNextColumnDoesNotMove",
                   3,
                   3,
                   {Seek(1, 0), kPut, Seek(2, 0), kPut},
                   {{1, 0}, {2, 0}}},
        // After the wrap the writer is on row 1, so this seek moves within that row.
        WriterCase{"SeekWithinTheRowAfterAWrap",
                   3,
                   3,
                   {Seek(3, 0), kPut, Seek(2, 1), kPut},
                   {{0, 1}, {2, 1}}},
        WriterCase{
            "SeekBackUpThePicture", 3, 3, {Seek(1, 2), kPut, Seek(1, 0), kPut}, {{1, 2}, {1, 0}}},
        WriterCase{"PutWrapsAcrossThePadding",
                   3,
                   3,
                   {Seek(1, 0), kPut, kPut, kPut, kPut},
                   {{1, 0}, {2, 0}, {0, 1}, {1, 1}}},
        WriterCase{"WrapWithoutPadding", 4, 2, {Seek(3, 0), kPut, kPut}, {{3, 0}, {0, 1}}},
        // One pixel wide: the column after 0 is already the width, so the first put wraps.
        WriterCase{"OnePixelWideFirstPutWraps", 1, 3, {kPut, kPut}, {{0, 1}, {0, 2}}}),
    [](const ::testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

TEST(PixelWriter, SeekOriginThenOnePutPerPixelFillsThePictureInReadingOrder) {
  for (int32_t width : {3, 4, 5, 1}) {
    SCOPED_TRACE(width);
    constexpr int32_t kHeight = 3;
    TestFrame f = MakeFrame(width, kHeight, 24);
    auto writer = kpl::OpenWriter(f.header());
    ASSERT_TRUE(writer);
    kpl::SeekWriter(*writer, 0, 0);
    for (int n = 0; n < width * kHeight; ++n)
      kpl::PutPixel(*writer, NthColour(n));
    kpl::CloseWriter(writer);
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* px = f.Pixel24(x, y);
        EXPECT_EQ(Rgb(px[2], px[1], px[0]), NthColour(y * width + x))
            << "pixel (" << x << ", " << y << ")";
      }
      for (size_t i = 3 * size_t(width); i < f.stride; ++i)
        EXPECT_EQ(f.rowFromTop(y)[i], kMarker) << "padding of row " << y;
    }
  }
}

TEST(PixelWriter, OpenRefusesAnythingButUncompressed24Bit) {
  struct Case {
    uint16_t bits;
    uint32_t compression;
  };
  for (const Case c :
       {Case{8, 0}, Case{16, 0}, Case{32, 0}, Case{1, 0}, Case{24, 1}, Case{24, 3}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, compression " << c.compression);
    HeaderFields h;
    h.width = 2;
    h.height = 2;
    h.bits = c.bits;
    h.compression = c.compression;
    TestFrame f = MakeFrame(h);
    EXPECT_FALSE(kpl::OpenWriter(f.header()));
  }
  EXPECT_FALSE(kpl::OpenWriter(nullptr));
  TestFrame ok = MakeFrame(2, 2, 24);
  EXPECT_TRUE(kpl::OpenWriter(ok.header()));
}

TEST(PixelWriterOnHandle, HoldsOneLockUntilClosed) {
  kpl::OwnedBlock frame(kpl::NewFrame24(3, 2));
  ASSERT_TRUE(frame);
  auto writer = kpl::OpenWriterOnHandle(frame.get());
  ASSERT_TRUE(writer);
  EXPECT_EQ(GlobalLockCount(frame.get()), 1u);
  kpl::SeekWriter(*writer, 2, 1);
  kpl::PutPixel(*writer, Rgb(10, 20, 30));
  kpl::CloseWriter(writer);
  EXPECT_FALSE(writer);
  EXPECT_EQ(GlobalLockCount(frame.get()), 0u);

  kpl::BlockLock lock(frame.get());
  const uint8_t* px = lock.as<const uint8_t>() + 40 + 6;  // (2, 1): bottom row, first in memory
  EXPECT_EQ(Rgb(px[2], px[1], px[0]), Rgb(10, 20, 30));
}

TEST(PixelWriterOnHandle, MovedWriterUnlocksOnceAndKeepsItsPosition) {
  kpl::OwnedBlock frame(kpl::NewFrame24(2, 2));
  auto writer = kpl::OpenWriterOnHandle(frame.get());
  ASSERT_TRUE(writer);
  kpl::SeekWriter(*writer, 0, 0);
  std::optional<kpl::PixelWriter> moved(std::move(writer));
  kpl::CloseWriter(writer);  // the moved-from writer owns no lock
  EXPECT_EQ(GlobalLockCount(frame.get()), 1u);
  kpl::PutPixel(*moved, Rgb(1, 2, 3));
  kpl::CloseWriter(moved);
  EXPECT_EQ(GlobalLockCount(frame.get()), 0u);
  kpl::BlockLock lock(frame.get());
  const uint8_t* px = lock.as<const uint8_t>() + 40 + 8;  // (0, 0): second row in memory
  EXPECT_EQ(Rgb(px[2], px[1], px[0]), Rgb(1, 2, 3));
}

TEST(PixelWriterOnHandle, RefusedFrameIsUnlockedAgain) {
  TestFrame f = MakeFrame(2, 2, 8, 2);
  kpl::OwnedBlock block(GMEM_MOVEABLE, f.bytes.size());
  {
    kpl::BlockLock lock(block.get());
    std::copy(f.bytes.begin(), f.bytes.end(), lock.as<uint8_t>());
  }
  EXPECT_FALSE(kpl::OpenWriterOnHandle(block.get()));
  EXPECT_EQ(GlobalLockCount(block.get()), 0u);
}

TEST(PixelWriterOnHandle, BadHandleGivesNoWriter) {
  EXPECT_FALSE(kpl::OpenWriterOnHandle(0));
  const uint32_t freed = kpl::NewFrame24(2, 2);
  ASSERT_EQ(GlobalFree(freed), 0u);
  EXPECT_FALSE(kpl::OpenWriterOnHandle(freed));
}

}  // namespace
