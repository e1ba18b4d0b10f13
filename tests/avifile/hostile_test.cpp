// The frame decoder and the compressed stream given formats and data that lie: they answer
// null or an error, never read or write outside their buffers.
#include <gtest/gtest.h>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"

using namespace avitest;

namespace {

// A file with one video stream in `format` whose samples are `samples`.
void writeRaw(const std::string& path, const std::vector<uint8_t>& format,
              const std::vector<std::vector<uint8_t>>& samples) {
  AviFile file = createAvi(path);
  ASSERT_TRUE(file);
  AviStream video = createStream(file, videoInfo(16, 16, 10, 1));
  ASSERT_EQ(AVIStreamSetFormat(video.get(), 0, format.data(), int32_t(format.size())), AVIERR_OK);
  for (size_t n = 0; n < samples.size(); ++n)
    ASSERT_EQ(
        AVIStreamWrite(video.get(), int32_t(n), 1, samples[n].data(), int32_t(samples[n].size()),
                       n == 0 ? AVIIF_KEYFRAME : 0, nullptr, nullptr),
        AVIERR_OK);
}

std::vector<uint8_t> formatWith(int width, int height, int bits, FOURCC compression,
                                uint32_t coloursUsed = 0) {
  auto format = bitmapFormat(width, height, bits == 8 ? 8 : 24);
  BITMAPINFOHEADER header;
  std::memcpy(&header, format.data(), 40);
  header.biBitCount = uint16_t(bits);
  header.biCompression = compression;
  if (coloursUsed) header.biClrUsed = coloursUsed;
  std::memcpy(format.data(), &header, 40);
  return format;
}

}  // namespace

TEST(AviHostile, DecoderRefusesOrSurvivesLyingFormatsAndData) {
  TempDir dir;
  const std::string path = dir.file("hostile.avi");
  std::vector<uint8_t> noise(3000);
  for (size_t i = 0; i < noise.size(); ++i)
    noise[i] = uint8_t(i * 131 + (i >> 3));
  const std::vector<uint8_t> empty;
  const struct {
    const char* name;
    std::vector<uint8_t> format;
    std::vector<std::vector<uint8_t>> samples;
    bool opens;
  } cases[] = {
      {"width of a million", formatWith(1000000, 16, 24, 0), {noise}, false},
      {"negative width", formatWith(-16, 16, 24, 0), {noise}, false},
      {"unknown compressor",
       formatWith(16, 16, 24, mmioFOURCC('z', 'z', 'z', 'z')),
       {noise},
       false},
      {"12 bits per pixel uncompressed", formatWith(16, 16, 12, 0), {noise}, false},
      {"short frames read as black beyond their end",
       formatWith(16, 16, 24, 0),
       {{1, 2, 3}, empty},
       true},
      {"colours used of four billion", formatWith(16, 16, 8, 0, 0xFFFFFFFF), {noise}, true},
      {"cinepak noise",
       formatWith(16, 16, 24, mmioFOURCC('c', 'v', 'i', 'd')),
       {noise, noise, empty},
       true},
      {"msvideo1 noise",
       formatWith(16, 16, 16, mmioFOURCC('M', 'S', 'V', 'C')),
       {noise, empty, noise},
       true},
      {"mjpeg noise", formatWith(16, 16, 24, mmioFOURCC('M', 'J', 'P', 'G')), {noise, noise}, true},
      {"top-down rows", formatWith(16, -16, 24, 0), {noise}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeRaw(path, c.format, c.samples);
    AviFile file = openAvi(path);
    ASSERT_TRUE(file);
    AviStream video = getStream(file, streamtypeVIDEO, 0);
    ASSERT_TRUE(video);
    FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), nullptr));
    EXPECT_EQ(bool(decoder), c.opens);
    if (!decoder) continue;
    for (int n : {0, 1, 2, 1, 0, 5, -3}) {
      auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), n));
      if (!bitmap) continue;
      BITMAPINFOHEADER header;
      std::memcpy(&header, bitmap, 40);
      EXPECT_EQ(header.biWidth, 16);
      EXPECT_EQ(header.biHeight, 16);  // handed out bottom row first
      // Touch every byte the header promises: ASan sees any shortfall.
      const size_t bytes = 40 + 4 * size_t(header.biClrUsed) + header.biSizeImage;
      EXPECT_LE(header.biClrUsed, 256u);
      volatile uint8_t sum = 0;
      for (size_t i = 0; i < bytes; ++i)
        sum = uint8_t(sum + bitmap[i]);
    }
  }
  EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
  EXPECT_EQ(AVIStreamGetFrame(nullptr, 0), nullptr);
  EXPECT_EQ(AVIStreamGetFrameClose(nullptr), AVIERR_BADHANDLE);
}

TEST(AviHostile, ShortFramesKeepTheirBlackTail) {
  TempDir dir;
  const std::string path = dir.file("short.avi");
  writeRaw(path, formatWith(16, 16, 24, 0), {{9, 9, 9}});
  AviFile file = openAvi(path);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), nullptr));
  ASSERT_TRUE(decoder);
  auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), 0));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap[40], 9);
  EXPECT_EQ(bitmap[43], 0);
  EXPECT_EQ(bitmap[40 + 16 * 16 * 3 - 1], 0);
}

TEST(AviHostile, CompressedStreamRefusesWhatItCannotEncode) {
  TempDir dir;
  AviFile file = createAvi(dir.file("c.avi"));
  AviStream video = createStream(file, videoInfo(64, 48, 10, 1));
  AVICOMPRESSOPTIONS options{};
  options.fccType = streamtypeVIDEO;
  options.fccHandler = mmioFOURCC('z', 'z', 'z', 'z');
  PAVISTREAM made = nullptr;
  EXPECT_EQ(AVIMakeCompressedStream(&made, video.get(), &options, nullptr), AVIERR_NOCOMPRESSOR);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(AVIMakeCompressedStream(&made, nullptr, &options, nullptr), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIMakeCompressedStream(&made, video.get(), nullptr, nullptr), AVIERR_BADPARAM);

  options.fccHandler = mmioFOURCC('c', 'v', 'i', 'd');
  ASSERT_EQ(AVIMakeCompressedStream(&made, video.get(), &options, nullptr), AVIERR_OK);
  AviStream compressed(made);
  auto pixels = framePixels(64, 48, 24, 0);
  // No format yet; then a compressed input format; then frames shorter than the format.
  EXPECT_NE(AVIStreamWrite(compressed.get(), 0, 1, pixels.data(), int32_t(pixels.size()), 0,
                           nullptr, nullptr),
            AVIERR_OK);
  auto wrong = formatWith(64, 48, 24, mmioFOURCC('c', 'v', 'i', 'd'));
  EXPECT_EQ(AVIStreamSetFormat(compressed.get(), 0, wrong.data(), 40), AVIERR_BADFORMAT);
  auto format = bitmapFormat(64, 48, 24);
  ASSERT_EQ(AVIStreamSetFormat(compressed.get(), 0, format.data(), 40), AVIERR_OK);
  EXPECT_EQ(AVIStreamWrite(compressed.get(), 0, 1, pixels.data(), 100, 0, nullptr, nullptr),
            AVIERR_BADSIZE);
  int32_t written = 0;
  EXPECT_EQ(AVIStreamWrite(compressed.get(), 0, 1, pixels.data(), int32_t(pixels.size()), 0,
                           &written, nullptr),
            AVIERR_OK);
  EXPECT_EQ(written, 1);
  EXPECT_EQ(AVIStreamLength(video.get()), 1);
}
