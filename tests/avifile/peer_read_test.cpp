// Files ffmpeg writes, read through the services: every frame equal to ffmpeg's own decoding,
// every sound byte equal to what ffmpeg reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"

using namespace avitest;

namespace {

struct Written {
  const char* name;
  const char* video;  // ffmpeg's codec options
  const char* audio;  // ffmpeg's audio options, or empty
};

const Written kWritten[] = {
    {"rawvideo_bgr24", "-c:v rawvideo -pix_fmt bgr24", "-c:a pcm_u8 -ac 1 -ar 11025"},
    {"rawvideo_pal8", "-c:v rawvideo -pix_fmt pal8", "-c:a pcm_s16le -ac 2 -ar 22050"},
    {"cinepak", "-c:v cinepak -g 4", "-c:a pcm_s16le -ac 1 -ar 44100"},
    {"msvideo1", "-c:v msvideo1 -g 3", "-c:a pcm_u8 -ac 2 -ar 22050"},
    {"mjpeg", "-c:v mjpeg -q:v 4 -pix_fmt yuvj420p", ""},
};

constexpr int kWidth = 64, kHeight = 48, kFrames = 12;

BITMAPINFOHEADER wanted24() {
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biPlanes = 1;
  header.biBitCount = 24;
  return header;
}

// Every frame through our decoder as 24-bit top-down rows.
std::vector<std::vector<uint8_t>> ourFrames(PAVISTREAM stream, const std::vector<int>& order) {
  std::vector<std::vector<uint8_t>> frames(kFrames);
  const BITMAPINFOHEADER wanted = wanted24();
  FrameDecoder decoder(AVIStreamGetFrameOpen(stream, &wanted));
  if (!decoder) return {};
  for (int n : order) {
    auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), n));
    if (!bitmap) return {};
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap, 40);
    if (header.biBitCount != 24 || header.biWidth != kWidth || header.biHeight != kHeight)
      return {};
    frames[size_t(n)] = topDownRows(bitmap + 40, kWidth, kHeight, 24);
  }
  return frames;
}

}  // namespace

class ReadsWhatFfmpegWrites : public ::testing::TestWithParam<Written> {};

TEST_P(ReadsWhatFfmpegWrites, FrameForFrameAndSampleForSample) {
  const Written& w = GetParam();
  TempDir dir;
  const std::string path = dir.file(std::string(w.name) + ".avi");
  std::string command = ffmpeg + " -f lavfi -i testsrc=size=64x48:rate=10";
  if (*w.audio) command += " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.2";
  command +=
      " -frames:v " + std::to_string(kFrames) + " " + w.video + " " + w.audio + " " + quoted(path);
  bool ok = false;
  runCommand(command, &ok);
  ASSERT_TRUE(ok) << command;

  bool decodedOk = false;
  const auto expected = runCommand(
      ffmpeg + " -i " + quoted(path) + " -map 0:v -sws_flags bicubic -f rawvideo -pix_fmt bgr24 -",
      &decodedOk);
  ASSERT_TRUE(decodedOk);
  const size_t frameBytes = size_t(kWidth) * kHeight * 3;
  ASSERT_EQ(expected.size(), frameBytes * kFrames);

  AviFile file = openAvi(path);
  ASSERT_TRUE(file);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  ASSERT_EQ(AVIStreamLength(video.get()), kFrames);

  std::vector<int> forward(kFrames), backward(kFrames);
  for (int n = 0; n < kFrames; ++n)
    forward[size_t(n)] = n, backward[size_t(n)] = kFrames - 1 - n;
  const auto inOrder = ourFrames(video.get(), forward);
  const auto reversed = ourFrames(video.get(), backward);  // every frame found from its key frame
  ASSERT_EQ(inOrder.size(), size_t(kFrames));
  ASSERT_EQ(reversed.size(), size_t(kFrames));
  for (int n = 0; n < kFrames; ++n) {
    const std::vector<uint8_t> theirs(expected.begin() + frameBytes * n,
                                      expected.begin() + frameBytes * (n + 1));
    EXPECT_TRUE(inOrder[size_t(n)] == theirs) << "frame " << n;
    EXPECT_TRUE(reversed[size_t(n)] == theirs) << "frame " << n << " out of order";
  }

  if (!*w.audio) {
    EXPECT_FALSE(getStream(file, streamtypeAUDIO, 0));
    return;
  }
  AviStream audio = getStream(file, streamtypeAUDIO, 0);
  ASSERT_TRUE(audio);
  const bool u8 = std::string(w.audio).find("pcm_u8") != std::string::npos;
  const auto sound = runCommand(
      ffmpeg + " -i " + quoted(path) + " -map 0:a -f " + (u8 ? "u8" : "s16le") + " -c:a copy -",
      &decodedOk);
  ASSERT_TRUE(decodedOk);
  std::vector<uint8_t> ours;
  std::vector<uint8_t> block(4096);
  for (int32_t at = 0;;) {
    int32_t bytes = 0, samples = 0;
    if (AVIStreamRead(audio.get(), at, AVISTREAMREAD_CONVENIENT, block.data(),
                      int32_t(block.size()), &bytes, &samples) != AVIERR_OK)
      break;
    ASSERT_GT(samples, 0);
    ours.insert(ours.end(), block.begin(), block.begin() + bytes);
    at += samples;
  }
  EXPECT_EQ(AVIStreamLength(audio.get()) * 1ull,
            sound.size() / (u8 ? 1 : 2) /
                (std::string(w.audio).find("-ac 2") != std::string::npos ? 2 : 1));
  EXPECT_TRUE(ours == sound) << ours.size() << " bytes against " << sound.size();
}

INSTANTIATE_TEST_SUITE_P(Codecs, ReadsWhatFfmpegWrites, ::testing::ValuesIn(kWritten),
                         [](const auto& info) { return std::string(info.param.name); });

// An 8-bit clip is handed out in its own depth when no format is asked for: header, the file's
// palette, and the colour indices.
TEST(ReadsWhatFfmpegWrites, EightBitFramesKeepTheirPalette) {
  TempDir dir;
  const std::string path = dir.file("pal8.avi");
  bool ok = false;
  runCommand(
      ffmpeg + " -f lavfi -i testsrc=size=30x20:rate=10 -frames:v 2 -c:v rawvideo -pix_fmt pal8 " +
          quoted(path),
      &ok);
  ASSERT_TRUE(ok);
  const auto expected =
      runCommand(ffmpeg + " -i " + quoted(path) + " -f rawvideo -pix_fmt bgr24 -", &ok);
  ASSERT_TRUE(ok);
  AviFile file = openAvi(path);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), nullptr));
  ASSERT_TRUE(decoder);
  auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), 1));
  ASSERT_TRUE(bitmap);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap, 40);
  ASSERT_EQ(header.biBitCount, 8);
  ASSERT_EQ(header.biClrUsed, 256u);
  EXPECT_EQ(header.biSizeImage, rowBytes(30, 8) * 20);
  // Look every index up in the palette: the colours ffmpeg shows for frame 1.
  const uint8_t* palette = bitmap + 40;
  const uint8_t* rows = palette + 1024;
  std::vector<uint8_t> colours;
  for (int y = 19; y >= 0; --y)
    for (int x = 0; x < 30; ++x) {
      const uint8_t* entry = palette + 4 * rows[size_t(y) * rowBytes(30, 8) + x];
      colours.insert(colours.end(), entry, entry + 3);
    }
  EXPECT_TRUE(std::equal(colours.begin(), colours.end(), expected.begin() + 30 * 20 * 3));
}
