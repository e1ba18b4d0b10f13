// Input frames for effect steps: a 24-bit frame is read in place, anything else through a
// converted copy that lives exactly as long as the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "kpl/platform/memory.h"
#include "kpl/support/frame24.hpp"
#include "test_frames.hpp"

namespace {

using kpl_test::HeaderFields;
using kpl_test::MakeFrame;
using kpl_test::TestFrame;

TEST(InputFrame24, ReadsATwentyFourBitFrameInPlace) {
  HeaderFields h;
  h.size = 44;
  h.width = 3;
  h.height = 2;
  TestFrame f = MakeFrame(h);  // rows of 12 bytes after a 44-byte header
  const size_t live = GlobalLiveBlocks();
  kpl::InputFrame24 in(f.header());
  ASSERT_TRUE(in);
  EXPECT_EQ(GlobalLiveBlocks(), live);  // no copy was made
  EXPECT_EQ(in.header(), f.bytes.data());
  EXPECT_EQ(in.width(), 3);
  EXPECT_EQ(in.height(), 2);
  EXPECT_EQ(in.rowBytes(), 12u);
  EXPECT_EQ(in.row(0), f.bytes.data() + 44 + 12);  // the top row is last in memory
  EXPECT_EQ(in.row(1), f.bytes.data() + 44);
}

TEST(InputFrame24, ConvertsAnEightBitFrameIntoACopyItOwns) {
  TestFrame f = MakeFrame(2, 2, 8, 2);
  f.SetEntry(0, 0x11, 0x22, 0x33);
  f.SetEntry(1, 0xA1, 0xA2, 0xA3);
  f.rowFromTop(0)[0] = 1;
  f.rowFromTop(0)[1] = 0;
  f.rowFromTop(1)[0] = 0;
  f.rowFromTop(1)[1] = 1;
  const size_t live = GlobalLiveBlocks();
  {
    kpl::InputFrame24 in(f.header());
    ASSERT_TRUE(in);
    EXPECT_EQ(GlobalLiveBlocks(), live + 1);
    EXPECT_NE(in.header(), f.bytes.data());
    EXPECT_EQ(in.width(), 2);
    EXPECT_EQ(in.height(), 2);
    EXPECT_EQ(in.rowBytes(), 8u);
    // Rows hold blue, green, red triples of the table entries.
    const uint8_t top[6] = {0xA3, 0xA2, 0xA1, 0x33, 0x22, 0x11};
    const uint8_t bottom[6] = {0x33, 0x22, 0x11, 0xA3, 0xA2, 0xA1};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(in.row(0)[i], top[i]) << i;
      EXPECT_EQ(in.row(1)[i], bottom[i]) << i;
    }
  }
  EXPECT_EQ(GlobalLiveBlocks(), live);  // the copy went with the input
}

TEST(InputFrame24, RefusesNullAndUnreadableFrames) {
  const size_t live = GlobalLiveBlocks();
  EXPECT_FALSE(kpl::InputFrame24(nullptr));
  for (uint32_t compression : {1u, 2u}) {
    HeaderFields h;
    h.width = 2;
    h.height = 2;
    h.compression = compression;
    TestFrame f = MakeFrame(h);
    kpl::InputFrame24 in(f.header());
    EXPECT_FALSE(in) << compression;
    EXPECT_EQ(in.width(), 0);
    EXPECT_EQ(in.height(), 0);
  }
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(Covers, SecondFrameMustBeAtLeastAsLargeInBothDirections) {
  struct Case {
    int32_t firstW, firstH, secondW, secondH;
    bool covers;
  };
  const Case cases[] = {{3, 2, 3, 2, true},  {3, 2, 4, 5, true},  {3, 2, 2, 2, false},
                        {3, 2, 3, 1, false}, {3, 2, 9, 1, false}, {0, 0, 0, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.firstW << "x" << c.firstH << " in " << c.secondW << "x" << c.secondH);
    TestFrame a = MakeFrame(c.firstW, c.firstH, 24);
    TestFrame b = MakeFrame(c.secondW, c.secondH, 24);
    kpl::InputFrame24 first(a.header());
    kpl::InputFrame24 second(b.header());
    EXPECT_EQ(kpl::Covers(second, first), c.covers);
  }
  // A second input that could not be read covers nothing, not even an empty first frame.
  for (int32_t size : {1, 0}) {
    TestFrame a = MakeFrame(size, size, 24);
    kpl::InputFrame24 first(a.header());
    ASSERT_TRUE(first);
    EXPECT_FALSE(kpl::Covers(kpl::InputFrame24(nullptr), first)) << size;
  }
}

TEST(OutputFrame24, IsANewFrameWithZeroPaddingInBothModes) {
  for (auto contents : {kpl::FrameContents::kBlack, kpl::FrameContents::kWrittenByCaller}) {
    SCOPED_TRACE(contents == kpl::FrameContents::kBlack ? "black" : "written by caller");
    // Leave a dirty block of the same size behind, so an uncleared frame is likely to reuse it.
    const size_t bytes = 40 + 12 * 4;
    const uint32_t dirty = GlobalAlloc(GMEM_MOVEABLE, bytes);
    ASSERT_NE(dirty, 0u);
    std::memset(GlobalLock(dirty), 0xA5, bytes);
    GlobalUnlock(dirty);
    GlobalFree(dirty);

    kpl::OutputFrame24 out(3, 4, contents);  // rows of 9 pixel bytes and 3 padding bytes
    ASSERT_TRUE(out);
    const auto* header = static_cast<const uint8_t*>(out.header());
    const HeaderFields h = kpl_test::ParseHeader(header);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 3);
    EXPECT_EQ(h.height, 4);
    EXPECT_EQ(h.bits, 24);
    EXPECT_EQ(h.sizeImage, 48u);
    for (int32_t y = 0; y < 4; ++y) {
      EXPECT_EQ(out.row(y), header + 40 + 12 * (3 - y));  // top row last in memory
      for (int i = 9; i < 12; ++i)
        EXPECT_EQ(out.row(y)[i], 0) << "padding of row " << y;
      if (contents == kpl::FrameContents::kBlack) {
        for (int i = 0; i < 9; ++i)
          EXPECT_EQ(out.row(y)[i], 0) << "pixel byte of row " << y;
      }
    }

    const size_t live = GlobalLiveBlocks();
    const uint32_t handle = out.release();
    EXPECT_EQ(GlobalLockCount(handle), 0u);  // handed over unlocked
    EXPECT_EQ(GlobalSize(handle), bytes);
    EXPECT_EQ(GlobalLiveBlocks(), live);  // releasing keeps the block alive
    EXPECT_EQ(GlobalFree(handle), 0u);
  }
}

TEST(OutputFrame24, RefusesImpossibleSizes) {
  EXPECT_FALSE(kpl::OutputFrame24(-1, 2));
  EXPECT_FALSE(kpl::OutputFrame24(0x7FFFFFFF, 0x7FFFFFFF, kpl::FrameContents::kWrittenByCaller));
}

}  // namespace
