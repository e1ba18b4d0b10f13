// The platform's bitmaps and the frame conversions built on them: depths, row layout, the
// bitmap object's rows and pixel formats, and round trips between frames and bitmaps.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kpl/platform/bitmap_object.hpp"
#include "kpl/platform/bitmaps.h"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/sound.h"
#include "kpl/support/dib_lib.hpp"
#include "test_frames.hpp"

namespace {

using kpl_test::Rgb;

// Releases every drawing object a test made, and checks none is left behind.
class Bitmaps : public ::testing::Test {
 protected:
  void SetUp() override { live_ = LiveGdiObjects(); }
  void TearDown() override { EXPECT_EQ(LiveGdiObjects(), live_) << "drawing objects leaked"; }
  size_t live_ = 0;
};

TEST_F(Bitmaps, TheScreenIsTrueColourAndItsBitmapsFollowIt) {
  const uint32_t dc = GetDC(0);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 24);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
  const uint32_t bitmap = CreateCompatibleBitmap(dc, 5, 3);
  ASSERT_NE(bitmap, 0u);
  BITMAP d{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof d, &d), int32_t(sizeof d));
  EXPECT_EQ(d.bmWidth, 5);
  EXPECT_EQ(d.bmHeight, 3);
  EXPECT_EQ(d.bmBitsPixel, 24);
  EXPECT_EQ(d.bmBits, nullptr) << "a device-dependent bitmap hides its pixels";
  EXPECT_EQ(DeleteObject(bitmap), 1);
  EXPECT_EQ(DeleteObject(bitmap), 0);
  EXPECT_EQ(DeleteObject(dc), 0) << "a context is released, not deleted";
  EXPECT_EQ(ReleaseDC(0, dc), 1);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
  for (auto [w, h] : {std::pair{0, 3}, {3, 0}, {-1, 3}, {70000, 70000}})
    EXPECT_EQ(CreateBitmap(w, h, 1, 24, nullptr), 0u) << w << "x" << h;
  EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), 0u) << "no 8-bit device bitmaps on this screen";
}

TEST_F(Bitmaps, FrameFromAMonochromeBitmapKeepsOneBitAndItsTable) {
  // 33 pixels wide: 8 row bytes in the frame. Rows top first, padded to 2 bytes here.
  std::vector<uint8_t> rows(6 * 2, 0);
  rows[0] = 0x80;      // top row: pixel 0 white
  rows[6 + 4] = 0x80;  // bottom row: pixel 32 white
  const uint32_t bitmap = CreateBitmap(33, 2, 1, 1, rows.data());
  ASSERT_NE(bitmap, 0u);
  const kpl::OwnedBlock frame(kpl::FrameFromBitmap(bitmap, 0));
  ASSERT_TRUE(frame);
  kpl::BlockLock lock(frame.get());
  const auto* b = lock.as<uint8_t>();
  const kpl::BitmapInfoHeader h = kpl::ReadHeader(b);
  EXPECT_EQ(h.size, 40u);
  EXPECT_EQ(h.width, 33);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.bitCount, 1);
  EXPECT_EQ(h.sizeImage, 16u);
  EXPECT_EQ(GlobalSize(frame.get()), 16u + 8u + 44u);
  EXPECT_EQ(kpl_test::Get32(b + 40), 0u);           // black
  EXPECT_EQ(kpl_test::Get32(b + 44), 0x00FFFFFFu);  // white
  const uint8_t* pixels = b + 48;
  EXPECT_EQ(pixels[4], 0x80) << "bottom row first";
  EXPECT_EQ(pixels[8], 0x80);
  // Through the frame rules: the same picture at 24 bits.
  const kpl::OwnedBlock wide(kpl::ToFrame24(b));
  kpl::BlockLock wideLock(wide.get());
  EXPECT_EQ(kpl::ReadPixel24(wideLock.get(), 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(kpl::ReadPixel24(wideLock.get(), 1, 0), 0u);
  EXPECT_EQ(kpl::ReadPixel24(wideLock.get(), 32, 1), Rgb(255, 255, 255));
  EXPECT_EQ(kpl::ReadPixel24(wideLock.get(), 32, 0), 0u);
  // The system palette asked for: none on this screen, the pixels are the same.
  const kpl::OwnedBlock again(kpl::FrameFromBitmap(bitmap, 1));
  ASSERT_TRUE(again);
  kpl::BlockLock againLock(again.get());
  EXPECT_EQ(std::memcmp(againLock.get(), b, 40 + 8 + 16), 0);
  DeleteObject(bitmap);
}

TEST_F(Bitmaps, FrameFromBitmapOfNothingBeeps) {
  const uint32_t beeps = MessageBeepCount();
  EXPECT_EQ(kpl::FrameFromBitmap(0x12345, 0), 0u);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(Bitmaps, FramesAndBitmapsRoundTripAtEveryWidthPadding) {
  for (int32_t width : {1, 2, 3, 4, 5, 33}) {
    SCOPED_TRACE(width);
    const int32_t height = 3;
    kpl::OwnedBlock frame(kpl::NewFrame24(width, height));
    {
      kpl::BlockLock lock(frame.get());
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
          kpl::WritePixel24(lock.get(), x, y, Rgb(x * 7, y * 50, x + y));
    }
    const uint32_t bitmap = kpl::BitmapFromFrame(frame.get());
    ASSERT_NE(bitmap, 0u);
    BITMAP d{};
    ASSERT_TRUE(GetObjectA(bitmap, sizeof d, &d));
    EXPECT_EQ(d.bmBitsPixel, 24);
    const kpl::OwnedBlock back(kpl::FrameFromBitmap(bitmap, 0));
    ASSERT_TRUE(back);
    kpl::BlockLock a(frame.get()), b(back.get());
    EXPECT_EQ(kpl::ReadHeader(b.get()).bitCount, 24);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        EXPECT_EQ(kpl::ReadPixel24(b.get(), x, y), kpl::ReadPixel24(a.get(), x, y));
    DeleteObject(bitmap);
  }
}

TEST_F(Bitmaps, BitmapFromFrameRefusesWhatIsNotAWhole24BitFrame) {
  EXPECT_EQ(kpl::BitmapFromFrame(0), 0u);
  kpl::OwnedBlock eight(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 1024 + 4);
  {
    kpl::BlockLock lock(eight.get());
    kpl::BitmapInfoHeader h{40, 1, 1, 1, 8, 0, 4, 0, 0, 0, 0};
    std::memcpy(lock.get(), &h, 40);
  }
  EXPECT_EQ(kpl::BitmapFromFrame(eight.get()), 0u);
  kpl::OwnedBlock lying(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 12);  // promises 100 x 100
  {
    kpl::BlockLock lock(lying.get());
    kpl::BitmapInfoHeader h{40, 100, 100, 1, 24, 0, 0, 0, 0, 0, 0};
    std::memcpy(lock.get(), &h, 40);
  }
  EXPECT_EQ(kpl::BitmapFromFrame(lying.get()), 0u);
}

TEST_F(Bitmaps, BitmapFromFrame24ReadsAFrameInMemoryAndNoFurtherThanItsSize) {
  // A 5 x 3 frame (rows padded to 16 bytes) in plain memory, not in a block.
  constexpr int32_t kWidth = 5, kHeight = 3;
  const uint64_t whole = 40 + kpl::RowBytes24(kWidth) * kHeight;
  std::vector<uint8_t> frame(whole);
  const kpl::BitmapInfoHeader h{40, kWidth, kHeight, 1, 24, 0, 0, 0, 0, 0, 0};
  std::memcpy(frame.data(), &h, 40);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      kpl::WritePixel24(frame.data(), x, y, kpl::ColourValue(uint8_t(40 * x), uint8_t(90 * y), 7));

  const uint32_t bitmap = kpl::BitmapFromFrame24(frame.data(), whole);
  ASSERT_NE(bitmap, 0u);
  const kpl::OwnedBlock back(kpl::FrameFromBitmap(bitmap, 0));
  DeleteObject(bitmap);
  ASSERT_TRUE(back);
  kpl::BlockLock b(back.get());
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      EXPECT_EQ(kpl::ReadPixel24(b.get(), x, y), kpl::ReadPixel24(frame.data(), x, y));

  EXPECT_EQ(kpl::BitmapFromFrame24(frame.data(), whole - 1), 0u) << "the last row is cut short";
  EXPECT_EQ(kpl::BitmapFromFrame24(nullptr, whole), 0u);
}

TEST_F(Bitmaps, TheBitmapObjectAddressesRowsFromTheTopAndConvertsFormats) {
  kpl::BitmapObject picture;
  ASSERT_TRUE(picture.setSize(3, 2, kpl::PixelFormat::k8Bit));
  EXPECT_EQ(picture.pixelFormat(), kpl::PixelFormat::k8Bit);
  const RGBQUAD table[3] = {{0, 0, 0, 0}, {10, 20, 30, 0}, {200, 100, 50, 0}};
  ASSERT_TRUE(picture.setPalette(table, 3));
  picture.scanLine(0)[0] = 1;
  picture.scanLine(1)[2] = 2;
  EXPECT_EQ(picture.scanLine(2), nullptr);
  EXPECT_EQ(picture.scanLine(-1), nullptr);
  RGBQUAD reported[256];
  EXPECT_EQ(picture.paletteEntries(reported, 256), 256u);
  EXPECT_EQ(reported[2].rgbRed, 50);

  ASSERT_TRUE(picture.setPixelFormat(kpl::PixelFormat::k24Bit));
  EXPECT_EQ(picture.paletteEntries(reported, 256), 0u) << "a 24-bit picture reports none";
  const uint8_t* top = picture.scanLine(0);
  EXPECT_EQ((std::vector<uint8_t>(top, top + 3)), (std::vector<uint8_t>{10, 20, 30}));
  const uint8_t* bottom = picture.scanLine(1);
  EXPECT_EQ((std::vector<uint8_t>(bottom + 6, bottom + 9)), (std::vector<uint8_t>{200, 100, 50}));
  EXPECT_FALSE(picture.setPixelFormat(kpl::PixelFormat::k4Bit));

  // A device-dependent bitmap shows its rows once it has a pixel format.
  kpl::BitmapObject device;
  const uint32_t dc = GetDC(0);
  ASSERT_TRUE(device.assignHandle(CreateCompatibleBitmap(dc, 2, 2)));
  ReleaseDC(0, dc);
  EXPECT_EQ(device.pixelFormat(), kpl::PixelFormat::kDevice);
  EXPECT_EQ(device.scanLine(0), nullptr);
  ASSERT_TRUE(device.setPixelFormat(kpl::PixelFormat::k32Bit));
  ASSERT_NE(device.scanLine(1), nullptr);
  const uint32_t handle = device.releaseHandle();
  EXPECT_EQ(device.handle(), 0u);
  EXPECT_EQ(DeleteObject(handle), 1);
}

TEST_F(Bitmaps, GetDIBitsReadsRowRangesAndRefusesDepthsItCannotMake) {
  const uint32_t dc = GetDC(0);
  const uint32_t bitmap = CreateCompatibleBitmap(dc, 2, 4);
  struct Info {
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256]{};
  } info;
  info.h.biSize = sizeof info.h;
  info.h.biBitCount = 32;
  std::vector<uint8_t> rows(4 * 8, 0xEE);
  EXPECT_EQ(GetDIBits(dc, bitmap, 1, 10, rows.data(), &info, DIB_RGB_COLORS), 3);
  EXPECT_EQ(info.h.biSizeImage, 32u);
  EXPECT_EQ(rows[2 * 8 + 7], 0u);
  EXPECT_EQ(rows[3 * 8], 0xEE) << "only three rows were there to read";
  EXPECT_EQ(GetDIBits(dc, bitmap, 4, 1, rows.data(), &info, DIB_RGB_COLORS), 0);
  info.h.biBitCount = 8;
  EXPECT_EQ(GetDIBits(dc, bitmap, 0, 4, rows.data(), &info, DIB_RGB_COLORS), 0);
  info.h.biBitCount = 16;
  EXPECT_EQ(GetDIBits(dc, bitmap, 0, 4, rows.data(), &info, DIB_RGB_COLORS), 0);
  DeleteObject(bitmap);
  ReleaseDC(0, dc);
}

}  // namespace
