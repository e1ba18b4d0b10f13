// An OpenDML file over 1 GiB as ffmpeg writes it (RIFF AVIX extensions, indx / ix## indexes),
// made at run time from a short 1920x1080 clip repeated: every frame and every sound byte
// through the services equal to ffmpeg's own reading. Slow by nature: it moves 2 GiB.
#include <gtest/gtest.h>

#include <filesystem>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"
#include "riff_bytes.hpp"

using namespace avitest;

TEST(OpenDml, ReadsAFileOverOneGibibyteFrameForFrame) {
  constexpr int kWidth = 1920, kHeight = 1080, kFrames = 180;  // 1.1 GiB of frames
  TempDir dir;
  const std::string clip = dir.file("clip.raw"), path = dir.file("large.avi");
  bool ok = false;
  runCommand(
      ffmpeg +
          " -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 3 -f rawvideo -pix_fmt bgr24 " +
          quoted(clip),
      &ok);
  ASSERT_TRUE(ok);
  runCommand(ffmpeg + " -stream_loop -1 -f rawvideo -pix_fmt bgr24 -s 1920x1080 -r 25 -i " +
                 quoted(clip) + " -f lavfi -i sine=frequency=440:sample_rate=22050 -frames:v " +
                 std::to_string(kFrames) +
                 " -t 7.2 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le -ac 2 " + quoted(path),
             &ok);
  ASSERT_TRUE(ok);
  ASSERT_GT(std::filesystem::file_size(path), uint64_t(1) << 30);
  std::filesystem::remove(clip);

  // The file really is in parts: a RIFF AVIX form follows the first RIFF.
  FILE* raw = fopen(path.c_str(), "rb");
  ASSERT_TRUE(raw);
  uint8_t head[12];
  ASSERT_EQ(fread(head, 1, 8, raw), 8u);
  const uint64_t second =
      8 + (uint64_t(head[4]) | head[5] << 8 | head[6] << 16 | uint64_t(head[7]) << 24);
  fseeko(raw, off_t(second), SEEK_SET);
  ASSERT_EQ(fread(head, 1, 12, raw), 12u);
  fclose(raw);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 4) +
                std::string(reinterpret_cast<char*>(head) + 8, 4),
            "RIFFAVIX");

  AviFile file = openAvi(path);
  ASSERT_TRUE(file);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  ASSERT_EQ(AVIStreamLength(video.get()), kFrames);
  FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), nullptr));
  ASSERT_TRUE(decoder);

  PipeReader frames(ffmpeg + " -i " + quoted(path) + " -map 0:v -f rawvideo -pix_fmt bgr24 -");
  const size_t frameBytes = size_t(kWidth) * kHeight * 3;
  std::vector<uint8_t> theirs;
  int different = 0;
  for (int n = 0; n < kFrames; ++n) {
    ASSERT_TRUE(frames.read(theirs, frameBytes)) << "ffmpeg stopped at frame " << n;
    auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), n));
    ASSERT_TRUE(bitmap) << "frame " << n;
    if (topDownRows(bitmap + 40, kWidth, kHeight, 24) != theirs) ++different;
  }
  EXPECT_EQ(different, 0);
  // Out of order too: the last frame (in the extension) and the first.
  EXPECT_TRUE(AVIStreamGetFrame(decoder.get(), kFrames - 1));
  EXPECT_TRUE(AVIStreamGetFrame(decoder.get(), 0));

  AviStream audio = getStream(file, streamtypeAUDIO, 0);
  ASSERT_TRUE(audio);
  const auto sound =
      runCommand(ffmpeg + " -i " + quoted(path) + " -map 0:a -c:a copy -f s16le -", &ok);
  ASSERT_TRUE(ok);
  std::vector<uint8_t> ours(sound.size() + 4);
  int32_t bytes = 0, samples = 0;
  ASSERT_EQ(AVIStreamRead(audio.get(), 0, AVIStreamLength(audio.get()), ours.data(),
                          int32_t(ours.size()), &bytes, &samples),
            AVIERR_OK);
  ours.resize(size_t(bytes));
  EXPECT_EQ(samples * 4, bytes);
  EXPECT_TRUE(ours == sound) << ours.size() << " bytes against " << sound.size();
}
