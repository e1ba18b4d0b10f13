// Files written through the services, read by ffprobe and ffmpeg: uncompressed frames and
// sound equal to what was written, compressed frames equal to our own decoder's.
#include <gtest/gtest.h>

#include <sstream>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"

using namespace avitest;

namespace {

struct Clip {
  const char* name;
  int bits;        // of the frames written
  FOURCC handler;  // compressor, 0 for none
  const char* codecName;
  int channels, soundBits, rate;  // channels 0: no sound
  int width, height;
};

constexpr FOURCC kCinepak = mmioFOURCC('c', 'v', 'i', 'd');
constexpr FOURCC kVideo1 = mmioFOURCC('M', 'S', 'V', 'C');
constexpr FOURCC kMotionJpeg = mmioFOURCC('M', 'J', 'P', 'G');

const Clip kClips[] = {
    {"raw24", 24, 0, "rawvideo", 0, 0, 0, 66, 50},
    {"raw24_s16_stereo", 24, 0, "rawvideo", 2, 16, 44100, 66, 50},
    {"raw8_u8_mono", 8, 0, "rawvideo", 1, 8, 11025, 66, 50},
    {"raw8", 8, 0, "rawvideo", 0, 0, 0, 66, 50},
    {"cinepak", 24, kCinepak, "cinepak", 0, 0, 0, 64, 48},
    {"cinepak_s16_mono", 24, kCinepak, "cinepak", 1, 16, 22050, 64, 48},
    {"cinepak_from8_u8_stereo", 8, kCinepak, "cinepak", 2, 8, 22050, 64, 48},
    {"msvideo1", 24, kVideo1, "msvideo1", 0, 0, 0, 64, 48},
    {"msvideo1_u8_stereo", 24, kVideo1, "msvideo1", 2, 8, 22050, 64, 48},
    {"mjpeg", 24, kMotionJpeg, "mjpeg", 0, 0, 0, 64, 48},
    {"mjpeg_s16_stereo", 24, kMotionJpeg, "mjpeg", 2, 16, 44100, 64, 48},
};

constexpr int kFrames = 10;
constexpr int kKeyEvery = 4;

std::string probe(const std::string& path, const char* what) {
  bool ok = false;
  auto out = runCommand(
      std::string(PEER_FFPROBE) + " -v error " + what + " -of csv=p=0 " + quoted(path), &ok);
  return ok ? std::string(out.begin(), out.end()) : "failed";
}

// Writes the clip; hands back the sound bytes written.
std::vector<uint8_t> writeClip(const Clip& clip, const std::string& path) {
  AviFile file = createAvi(path);
  if (!file) return {};
  AviStream video = createStream(file, videoInfo(clip.width, clip.height, 10000, 1000));
  AviStream audio;
  if (clip.channels)
    audio = createStream(file, audioInfo(clip.channels, clip.rate, clip.soundBits));
  AviStream target;
  if (clip.handler) {
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = clip.handler;
    options.dwKeyFrameEvery = kKeyEvery;
    options.dwQuality = 0xFFFFFFFF;
    options.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES;
    PAVISTREAM compressed = nullptr;
    EXPECT_EQ(AVIMakeCompressedStream(&compressed, video.get(), &options, nullptr), AVIERR_OK);
    target.reset(compressed);
  }
  PAVISTREAM frames = target ? target.get() : video.get();
  auto format = bitmapFormat(clip.width, clip.height, clip.bits);
  EXPECT_EQ(AVIStreamSetFormat(frames, 0, format.data(), int32_t(format.size())), AVIERR_OK);
  std::vector<uint8_t> written;
  const int align = clip.channels * clip.soundBits / 8;
  const int blockSamples = clip.rate / 10;
  for (int n = 0; n < kFrames; ++n) {
    auto pixels = framePixels(clip.width, clip.height, clip.bits, n);
    EXPECT_EQ(AVIStreamWrite(frames, n, 1, pixels.data(), int32_t(pixels.size()),
                             n % kKeyEvery ? 0 : AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_OK);
    if (!audio) continue;
    if (n == 0) {
      auto wave = waveFormat(clip.channels, clip.rate, clip.soundBits);
      EXPECT_EQ(AVIStreamSetFormat(audio.get(), 0, wave.data(), 16), AVIERR_OK);
    }
    auto sound = soundBytes(size_t(blockSamples * align), n);
    EXPECT_EQ(AVIStreamWrite(audio.get(), n * blockSamples, blockSamples, sound.data(),
                             int32_t(sound.size()), 0, nullptr, nullptr),
              AVIERR_OK);
    written.insert(written.end(), sound.begin(), sound.end());
  }
  return written;
}

// The colours of frame `n` as ffmpeg prints bgr24: top row first, no padding.
std::vector<uint8_t> writtenColours(const Clip& clip, int n) {
  auto pixels = framePixels(clip.width, clip.height, clip.bits, n);
  if (clip.bits == 24) return topDownRows(pixels.data(), clip.width, clip.height, 24);
  auto format = bitmapFormat(clip.width, clip.height, 8);
  auto indices = topDownRows(pixels.data(), clip.width, clip.height, 8);
  std::vector<uint8_t> colours;
  for (uint8_t index : indices)
    colours.insert(colours.end(), format.begin() + 40 + 4 * index, format.begin() + 43 + 4 * index);
  return colours;
}

}  // namespace

class FfmpegReadsWhatWeWrite : public ::testing::TestWithParam<Clip> {};

TEST_P(FfmpegReadsWhatWeWrite, FrameForFrameAndSampleForSample) {
  const Clip& clip = GetParam();
  TempDir dir;
  const std::string path = dir.file(std::string(clip.name) + ".avi");
  const auto sound = writeClip(clip, path);

  std::string codecs = probe(path, "-show_entries stream=codec_name");
  std::string expectedCodecs = std::string(clip.codecName) + "\n";
  if (clip.channels) expectedCodecs += clip.soundBits == 8 ? "pcm_u8\n" : "pcm_s16le\n";
  EXPECT_EQ(codecs, expectedCodecs);
  EXPECT_EQ(probe(path, "-select_streams v -show_entries stream=width,height,r_frame_rate"),
            std::to_string(clip.width) + "," + std::to_string(clip.height) + ",10/1\n");

  bool ok = false;
  const auto frames = runCommand(
      ffmpeg + " -i " + quoted(path) + " -map 0:v -sws_flags bicubic -f rawvideo -pix_fmt bgr24 -",
      &ok);
  ASSERT_TRUE(ok);
  const size_t frameBytes = size_t(clip.width) * clip.height * 3;
  ASSERT_EQ(frames.size(), frameBytes * kFrames);

  AviFile file = openAvi(path);
  ASSERT_TRUE(file);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  BITMAPINFOHEADER wanted{};
  wanted.biSize = 40;
  wanted.biPlanes = 1;
  wanted.biBitCount = 24;
  FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), &wanted));
  ASSERT_TRUE(decoder);
  for (int n = 0; n < kFrames; ++n) {
    const std::vector<uint8_t> theirs(frames.begin() + frameBytes * n,
                                      frames.begin() + frameBytes * (n + 1));
    if (!clip.handler) {
      EXPECT_TRUE(theirs == writtenColours(clip, n)) << "frame " << n;
      EXPECT_EQ(AVIStreamIsKeyFrame(video.get(), n), n % kKeyEvery ? 0 : 1);
    } else {
      auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), n));
      ASSERT_TRUE(bitmap);
      EXPECT_TRUE(theirs == topDownRows(bitmap + 40, clip.width, clip.height, 24)) << "frame " << n;
    }
  }
  if (clip.handler == kCinepak || clip.handler == kVideo1) {
    // Never more than the interval between key frames (the compressor starts one early where
    // a frame differs too much from the one before); ffprobe sees the same marks as we do.
    std::string flags = probe(path, "-select_streams v -show_entries packet=flags");
    std::string ours;
    int lastKey = -1;
    for (int n = 0; n < kFrames; ++n) {
      if (AVIStreamIsKeyFrame(video.get(), n)) lastKey = n;
      EXPECT_TRUE(lastKey >= 0 && n - lastKey < kKeyEvery) << "frame " << n;
      ours += AVIStreamIsKeyFrame(video.get(), n) ? "K_\n" : "__\n";
    }
    EXPECT_EQ(flags, ours);
  }

  if (!clip.channels) return;
  const auto theirSound = runCommand(ffmpeg + " -i " + quoted(path) + " -map 0:a -c:a copy -f " +
                                         (clip.soundBits == 8 ? "u8" : "s16le") + " -",
                                     &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(theirSound == sound) << theirSound.size() << " bytes against " << sound.size();
}

INSTANTIATE_TEST_SUITE_P(Clips, FfmpegReadsWhatWeWrite, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.name); });

// Frames that differ only by a small moving square: the compressors' key frames fall exactly
// at the interval, and the frames between are coded against the ones before.
TEST(CompressedStream, KeepsTheKeyFrameInterval) {
  for (FOURCC handler : {kCinepak, kVideo1}) {
    TempDir dir;
    const std::string path = dir.file("keys.avi");
    {
      AviFile file = createAvi(path);
      ASSERT_TRUE(file);
      AviStream video = createStream(file, videoInfo(64, 48, 25, 1));
      AVICOMPRESSOPTIONS options{};
      options.fccType = streamtypeVIDEO;
      options.fccHandler = handler;
      options.dwKeyFrameEvery = 5;
      options.dwQuality = 0xFFFFFFFF;
      options.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES;
      PAVISTREAM made = nullptr;
      ASSERT_EQ(AVIMakeCompressedStream(&made, video.get(), &options, nullptr), AVIERR_OK);
      AviStream compressed(made);
      auto format = bitmapFormat(64, 48, 24);
      ASSERT_EQ(AVIStreamSetFormat(compressed.get(), 0, format.data(), 40), AVIERR_OK);
      auto still = framePixels(64, 48, 24, 0);
      for (int n = 0; n < 12; ++n) {
        auto pixels = still;
        for (int y = 8; y < 16; ++y)
          for (int x = 4 * n; x < 4 * n + 8; ++x)
            pixels[size_t(y) * rowBytes(64, 24) + size_t(x) * 3 + 1] = 255;
        ASSERT_EQ(AVIStreamWrite(compressed.get(), n, 1, pixels.data(), int32_t(pixels.size()), 0,
                                 nullptr, nullptr),
                  AVIERR_OK);
      }
      AVISTREAMINFOA info;
      ASSERT_EQ(AVIStreamInfoA(video.get(), &info, sizeof info), AVIERR_OK);
      EXPECT_EQ(info.fccHandler, handler);  // the file's stream names its compressor
    }
    AviFile file = openAvi(path);
    AviStream video = getStream(file, streamtypeVIDEO, 0);
    ASSERT_TRUE(video);
    std::string keys;
    for (int n = 0; n < 12; ++n)
      keys += AVIStreamIsKeyFrame(video.get(), n) ? 'K' : '.';
    EXPECT_EQ(keys, "K....K....K.");
    EXPECT_EQ(probe(path, "-select_streams v -show_entries packet=flags"),
              "K_\n__\n__\n__\n__\nK_\n__\n__\n__\n__\nK_\n__\n");
  }
}

// Quality and data rate reach the encoders that take them: a higher quality or rate gives
// larger frames (rate control needs a score of frames to settle).
TEST(CompressedStream, QualityAndDataRateSteerTheEncoder) {
  auto bytesWritten = [](FOURCC handler, uint32_t quality, uint32_t bytesPerSecond) {
    TempDir dir;
    AviFile file = createAvi(dir.file("q.avi"));
    AviStream video = createStream(file, videoInfo(64, 48, 10, 1));
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = handler;
    options.dwQuality = quality;
    options.dwBytesPerSecond = bytesPerSecond;
    options.dwFlags = AVICOMPRESSF_VALID | (bytesPerSecond ? AVICOMPRESSF_DATARATE : 0);
    PAVISTREAM made = nullptr;
    EXPECT_EQ(AVIMakeCompressedStream(&made, video.get(), &options, nullptr), AVIERR_OK);
    AviStream compressed(made);
    auto format = bitmapFormat(64, 48, 24);
    EXPECT_EQ(AVIStreamSetFormat(compressed.get(), 0, format.data(), 40), AVIERR_OK);
    int64_t total = 0;
    for (int n = 0; n < 20; ++n) {
      auto pixels = framePixels(64, 48, 24, n);
      EXPECT_EQ(AVIStreamWrite(compressed.get(), n, 1, pixels.data(), int32_t(pixels.size()), 0,
                               nullptr, nullptr),
                AVIERR_OK);
      int32_t bytes = 0;
      AVIStreamRead(video.get(), n, 1, nullptr, 0, &bytes, nullptr);
      total += bytes;
    }
    return total;
  };
  EXPECT_GT(bytesWritten(kMotionJpeg, 9500, 0), bytesWritten(kMotionJpeg, 1000, 0));
  EXPECT_GT(bytesWritten(kMotionJpeg, 0xFFFFFFFF, 200000),
            bytesWritten(kMotionJpeg, 0xFFFFFFFF, 5000));
  EXPECT_GT(bytesWritten(kCinepak, 10000, 0), bytesWritten(kCinepak, 0, 0));
}
