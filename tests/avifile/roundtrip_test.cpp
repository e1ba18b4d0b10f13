// Files written through the services and read back through them: samples, key frames,
// formats, extra chunks, lengths and reference counts.
#include <gtest/gtest.h>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"
#include "riff_bytes.hpp"

using namespace avitest;

namespace {

constexpr int kWidth = 30, kHeight = 10, kFrames = 7;

// A clip of 24-bit frames (every third a key frame) and stereo 16-bit sound in blocks of
// 1000 samples, with a comment chunk.
void writeClip(const std::string& path) {
  AviFile file = createAvi(path);
  ASSERT_TRUE(file);
  AviStream video =
      createStream(file, videoInfo(kWidth, kHeight, 25000, 1000, mmioFOURCC('c', 'v', 'i', 'd')));
  AviStream audio = createStream(file, audioInfo(2, 22050, 16));
  ASSERT_TRUE(video && audio);
  auto format = bitmapFormat(kWidth, kHeight, 24);
  ASSERT_EQ(AVIStreamSetFormat(video.get(), 0, format.data(), int32_t(format.size())), AVIERR_OK);
  auto wave = waveFormat(2, 22050, 16);
  for (int n = 0; n < kFrames; ++n) {
    auto pixels = framePixels(kWidth, kHeight, 24, n);
    int32_t samples = 0, bytes = 0;
    ASSERT_EQ(AVIStreamWrite(video.get(), n, 1, pixels.data(), int32_t(pixels.size()),
                             n % 3 == 0 ? AVIIF_KEYFRAME : 0, &samples, &bytes),
              AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, int32_t(pixels.size()));
    // Sound's format is set late, after frames went into the file.
    if (n == 0) {
      ASSERT_EQ(AVIStreamSetFormat(audio.get(), 0, wave.data(), int32_t(wave.size())), AVIERR_OK);
    }
    auto sound = soundBytes(4000, n);
    ASSERT_EQ(AVIStreamWrite(audio.get(), n * 1000, 1000, sound.data(), 4000, 0, &samples, &bytes),
              AVIERR_OK);
    EXPECT_EQ(samples, 1000);
  }
  const char comment[] = "INFOICMT\x06\0\0\0hello";
  ASSERT_EQ(AVIFileWriteData(file.get(), FOURCC_LIST, comment, sizeof comment), AVIERR_OK);
}

}  // namespace

TEST(AviRoundTrip, ReadsBackWhatWasWritten) {
  TempDir dir;
  const std::string path = dir.file("clip.avi");
  writeClip(path);
  AviFile file = openAvi(path);
  ASSERT_TRUE(file);

  AVIFILEINFOA fileInfo;
  ASSERT_EQ(AVIFileInfoA(file.get(), &fileInfo, sizeof fileInfo), AVIERR_OK);
  EXPECT_EQ(fileInfo.dwStreams, 2u);
  EXPECT_EQ(fileInfo.dwWidth, uint32_t(kWidth));
  EXPECT_EQ(fileInfo.dwHeight, uint32_t(kHeight));
  EXPECT_EQ(fileInfo.dwLength, uint32_t(kFrames));

  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  EXPECT_FALSE(getStream(file, streamtypeVIDEO, 1));
  EXPECT_TRUE(getStream(file, 0, 1));  // any type: the second stream is the sound
  AVISTREAMINFOA info;
  ASSERT_EQ(AVIStreamInfoA(video.get(), &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.fccHandler, mmioFOURCC('c', 'v', 'i', 'd'));
  EXPECT_EQ(info.dwRate, 25000u);
  EXPECT_EQ(info.dwScale, 1000u);
  EXPECT_EQ(info.rcFrame.right, kWidth);
  EXPECT_STREQ(info.szName, "Video stream #0");
  EXPECT_EQ(AVIStreamStart(video.get()), 0);
  EXPECT_EQ(AVIStreamLength(video.get()), kFrames);

  int32_t formatBytes = 0;
  ASSERT_EQ(AVIStreamReadFormat(video.get(), 0, nullptr, &formatBytes), AVIERR_OK);
  EXPECT_EQ(formatBytes, 40);
  auto expectedFormat = bitmapFormat(kWidth, kHeight, 24);
  std::vector<uint8_t> format(40);
  ASSERT_EQ(AVIStreamReadFormat(video.get(), 0, format.data(), &formatBytes), AVIERR_OK);
  EXPECT_EQ(format, expectedFormat);

  for (int n = kFrames - 1; n >= 0; --n) {
    int32_t bytes = 0, samples = 0;
    ASSERT_EQ(AVIStreamRead(video.get(), n, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
    auto expected = framePixels(kWidth, kHeight, 24, n);
    ASSERT_EQ(bytes, int32_t(expected.size()));
    std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
    EXPECT_EQ(AVIStreamRead(video.get(), n, 1, pixels.data(), bytes - 1, nullptr, nullptr),
              AVIERR_BUFFERTOOSMALL);
    ASSERT_EQ(AVIStreamRead(video.get(), n, 1, pixels.data(), bytes, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(pixels, expected) << "frame " << n;
    EXPECT_EQ(AVIStreamIsKeyFrame(video.get(), n), n % 3 == 0 ? 1 : 0);
  }
  EXPECT_EQ(AVIStreamRead(video.get(), kFrames, 1, nullptr, 0, nullptr, nullptr), AVIERR_NODATA);

  // Sound reads cross the chunks: 1500 samples from sample 700.
  AviStream audio = getStream(file, streamtypeAUDIO, 0);
  ASSERT_TRUE(audio);
  EXPECT_EQ(AVIStreamLength(audio.get()), kFrames * 1000);
  EXPECT_EQ(AVIStreamIsKeyFrame(audio.get(), 1234), 1);
  std::vector<uint8_t> all;
  for (int n = 0; n < kFrames; ++n) {
    auto block = soundBytes(4000, n);
    all.insert(all.end(), block.begin(), block.end());
  }
  std::vector<uint8_t> sound(6000);
  int32_t bytes = 0, samples = 0;
  ASSERT_EQ(AVIStreamRead(audio.get(), 700, 1500, sound.data(), 6000, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 1500);
  EXPECT_EQ(bytes, 6000);
  EXPECT_TRUE(std::equal(sound.begin(), sound.end(), all.begin() + 2800));
  // As many as fit, and no more than the stream holds.
  ASSERT_EQ(AVIStreamRead(audio.get(), 6990, AVISTREAMREAD_CONVENIENT, sound.data(), 6000, &bytes,
                          &samples),
            AVIERR_OK);
  EXPECT_EQ(samples, 10);
  ASSERT_EQ(AVIStreamRead(audio.get(), 0, 5000, sound.data(), 6001, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 1500);

  char comment[32];
  int32_t commentBytes = sizeof comment;
  ASSERT_EQ(AVIFileReadData(file.get(), FOURCC_LIST, comment, &commentBytes), AVIERR_OK);
  EXPECT_EQ(commentBytes, int32_t(sizeof "INFOICMT\x06\0\0\0hello"));
  EXPECT_STREQ(comment + 12, "hello");
  commentBytes = 4;
  EXPECT_EQ(AVIFileReadData(file.get(), FOURCC_LIST, comment, &commentBytes),
            AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(commentBytes, int32_t(sizeof "INFOICMT\x06\0\0\0hello"));
  EXPECT_EQ(AVIFileReadData(file.get(), mmioFOURCC('n', 'o', 'n', 'e'), comment, &commentBytes),
            AVIERR_NODATA);
}

TEST(AviRoundTrip, WritesAValidRiffLayout) {
  TempDir dir;
  const std::string path = dir.file("clip.avi");
  writeClip(path);
  auto bytes = readFile(path);
  ASSERT_GT(bytes.size(), 12u);
  auto le32 = [&](size_t at) {
    return uint32_t(bytes[at]) | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  EXPECT_EQ(le32(0), FOURCC_RIFF);
  EXPECT_EQ(le32(4) + 8, bytes.size());
  // Top-level chunks, in order: hdrl, the comment, JUNK, movi, idx1; each inside the form.
  std::vector<std::string> order;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    std::string id(reinterpret_cast<const char*>(&bytes[at]), 4);
    if (id == "LIST") {
      id += ':';
      id.append(reinterpret_cast<const char*>(&bytes[at + 8]), 4);
    }
    order.push_back(id);
    at += 8 + le32(at + 4) + (le32(at + 4) & 1);
    ASSERT_LE(at, bytes.size());
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"LIST:hdrl", "LIST:INFO", "JUNK", "LIST:movi", "idx1"}));
}

TEST(AviRoundTrip, ReferencesKeepTheFileUntilTheLastRelease) {
  TempDir dir;
  const std::string path = dir.file("refs.avi");
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  PAVISTREAM stream = nullptr;
  auto info = videoInfo(8, 2, 10, 1);
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
  auto format = bitmapFormat(8, 2, 24);
  ASSERT_EQ(AVIStreamSetFormat(stream, 0, format.data(), 40), AVIERR_OK);
  EXPECT_EQ(AVIFileAddRef(file), 3u);  // the caller's two and the stream's
  EXPECT_EQ(AVIFileRelease(file), 2u);
  EXPECT_EQ(AVIFileRelease(file), 1u);  // the stream still holds the file open
  auto pixels = framePixels(8, 2, 24, 0);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, pixels.data(), int32_t(pixels.size()), AVIIF_KEYFRAME,
                           nullptr, nullptr),
            AVIERR_OK);
  EXPECT_EQ(AVIStreamRelease(stream), 0u);  // the last reference: the file is finished
  // Released handles are refused afterwards, not followed.
  EXPECT_EQ(AVIStreamRelease(stream), 0u);
  EXPECT_EQ(AVIFileRelease(file), 0u);
  AviFile reread = openAvi(path);
  ASSERT_TRUE(reread);
  AviStream video = getStream(reread, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  EXPECT_EQ(AVIStreamLength(video.get()), 1);
}

TEST(AviRoundTrip, RefusesMisuse) {
  TempDir dir;
  const std::string path = dir.file("misuse.avi");
  AviFile file = createAvi(path);
  ASSERT_TRUE(file);
  AviStream video = createStream(file, videoInfo(8, 2, 10, 1));
  auto format = bitmapFormat(8, 2, 24);
  ASSERT_EQ(AVIStreamSetFormat(video.get(), 0, format.data(), 40), AVIERR_OK);
  auto pixels = framePixels(8, 2, 24, 0);
  // Only at the stream's end.
  EXPECT_NE(AVIStreamWrite(video.get(), 5, 1, pixels.data(), 48, 0, nullptr, nullptr), AVIERR_OK);
  EXPECT_EQ(AVIStreamWrite(video.get(), 0, 1, pixels.data(), 48, 0, nullptr, nullptr), AVIERR_OK);
  // The format cannot change under samples already written.
  auto other = bitmapFormat(8, 4, 24);
  EXPECT_NE(AVIStreamSetFormat(video.get(), 0, other.data(), 40), AVIERR_OK);
  EXPECT_EQ(AVIStreamSetFormat(video.get(), 0, format.data(), 40), AVIERR_OK);

  PAVISTREAM none = nullptr;
  AVISTREAMINFOA info{};
  EXPECT_EQ(AVIFileGetStream(nullptr, &none, 0, 0), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIFileCreateStreamA(nullptr, &none, &info), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIStreamInfoA(nullptr, &info, sizeof info), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIStreamLength(nullptr), -1);
  EXPECT_EQ(AVIStreamRead(nullptr, 0, 1, nullptr, 0, nullptr, nullptr), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIStreamWrite(nullptr, 0, 1, nullptr, 0, 0, nullptr, nullptr), AVIERR_BADHANDLE);
  EXPECT_EQ(AVIStreamIsKeyFrame(nullptr, 0), 0);
  EXPECT_EQ(AVIFileRelease(nullptr), 0u);
  EXPECT_EQ(AVIStreamRelease(reinterpret_cast<PAVISTREAM>(&info)), 0u);  // not a handle at all
  PAVIFILE missing = nullptr;
  EXPECT_NE(AVIFileOpenA(&missing, dir.file("missing.avi").c_str(), OF_READ, nullptr), AVIERR_OK);
  EXPECT_EQ(missing, nullptr);

  // A file opened for reading takes no writes.
  video.reset();
  file.reset();
  AviFile reread = openAvi(path);
  ASSERT_TRUE(reread);
  AviStream stream = getStream(reread, streamtypeVIDEO, 0);
  EXPECT_EQ(AVIStreamWrite(stream.get(), 1, 1, pixels.data(), 48, 0, nullptr, nullptr),
            AVIERR_READONLY);
  EXPECT_EQ(AVIFileCreateStreamA(reread.get(), &none, &info), AVIERR_READONLY);
}
