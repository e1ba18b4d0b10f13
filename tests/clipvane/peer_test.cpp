// Files exchanged with ffmpeg through the exports: what clipvane writes, ffmpeg decodes frame
// for frame and sample for sample; what ffmpeg writes, clipvane reads as ffmpeg decodes it.
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>

#include "clipvane_fixture.hpp"

namespace clipvane_test {
namespace {

// Runs ffmpeg with its output in a file; the file's bytes, or none when ffmpeg failed.
std::optional<Bytes> Ffmpeg(const std::string& args, const std::string& outFile) {
  const std::string command =
      std::string(PEER_FFMPEG) + " -v error -y " + args + " > '" + outFile + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return ReadBytes(outFile);
}

// Bottom-up rows padded to 4 bytes, as the frames hold them, turned into top-down packed rows.
Bytes TopDown(const Bytes& pixels, int32_t width, int32_t height, int32_t bytesPerPixel) {
  const size_t packed = size_t(width) * size_t(bytesPerPixel);
  const size_t padded = (packed + 3) / 4 * 4;
  Bytes out;
  for (int32_t y = height - 1; y >= 0; --y)
    out.insert(out.end(), pixels.begin() + long(size_t(y) * padded),
               pixels.begin() + long(size_t(y) * padded + packed));
  return out;
}

using Peers = Clipvane;

TEST_F(Peers, FfmpegDecodesWhatTheTypeWrites) {
  if (std::string(PEER_FFMPEG).empty()) GTEST_SKIP() << "ffmpeg not installed";
  struct Case {
    uint16_t bits;
    uint16_t channels, soundBits;  // 0 channels: no sound
  };
  const Case cases[] = {{24, 0, 0}, {8, 0, 0}, {24, 2, 16}, {8, 1, 8}, {24, 1, 16}, {8, 2, 8}};
  constexpr int32_t kWidth = 7, kHeight = 5, kFrames = 6;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + "-bit frames, " + std::to_string(c.channels) +
                 " channels of " + std::to_string(c.soundBits) + "-bit sound");
    kpl::FormatRecord f{};
    f.flags = kpl::pifVideo | kpl::pifStream;
    f.frameCount = kFrames;
    f.frameRate = 10000;
    f.video = {40, kWidth, kHeight, 1, c.bits, 0, 0, 0, 0, c.bits == 8 ? 256u : 0u, 0};
    const uint16_t align = uint16_t(c.channels * c.soundBits / 8);
    if (c.channels) {
      f.flags |= kpl::pifAudio;
      f.sampleFrames = kFrames * 1102;
      f.formatTag = 1;
      f.channels = c.channels;
      f.sampleRate = 11025;
      f.blockAlign = align;
      f.averageBytesPerSecond = 11025u * align;
      f.bitsPerSample = c.soundBits;
    }
    const std::string file = path("peer.avi");
    const uint32_t local = instance(kpl::pifWrite);
    ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
    ASSERT_TRUE(save(local, 0, file));
    const size_t rowBytes = (size_t(kWidth) * c.bits / 8 + 3) / 4 * 4;
    Bytes expectedPixels, expectedSound;
    for (int32_t n = 0; n < kFrames; ++n) {
      Bytes frame(40);
      kpl::BitmapInfoHeader h = f.video;
      h.sizeImage = uint32_t(rowBytes * kHeight);
      std::memcpy(frame.data(), &h, 40);
      if (c.bits == 8)
        for (uint32_t i = 0; i < 256; ++i)
          Put32(frame, (i * 0x030507u) & 0xFFFFFF);  // blue, green, red, 0
      Bytes pixels(rowBytes * kHeight);
      for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(n * 31 + i * 7);
      Append(frame, pixels);
      ASSERT_TRUE(m().piLocalSetData(0, local, frame.data(), int32_t(frame.size()), nullptr, 0));
      ASSERT_TRUE(save(local, 1, file));
      const Bytes rows = TopDown(pixels, kWidth, kHeight, c.bits / 8);
      if (c.bits == 24) {
        Append(expectedPixels, rows);
      } else {
        for (uint8_t index : rows) {  // what the palette makes of each index, as bgr24
          const uint32_t colour = (index * 0x030507u) & 0xFFFFFF;
          expectedPixels.insert(expectedPixels.end(),
                                {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)});
        }
      }
      if (c.channels) {
        Bytes sound(size_t(1102) * align);
        for (size_t i = 0; i < sound.size(); ++i)
          sound[i] = uint8_t(n * 3 + i * 11);
        ASSERT_TRUE(m().piLocalSetData(0, local, sound.data(), int32_t(sound.size()), nullptr, 0));
        ASSERT_TRUE(save(local, 2, file));
        Append(expectedSound, sound);
      }
    }
    ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));

    const auto pixels =
        Ffmpeg("-i '" + file + "' -f rawvideo -pix_fmt bgr24 -", path("pixels.raw"));
    ASSERT_TRUE(pixels);
    EXPECT_TRUE(*pixels == expectedPixels) << "frame for frame";
    if (c.channels) {
      const auto sound =
          Ffmpeg("-i '" + file + "' -vn -f " + (c.soundBits == 8 ? "u8" : "s16le") + " -",
                 path("sound.raw"));
      ASSERT_TRUE(sound);
      EXPECT_TRUE(*sound == expectedSound) << "sample for sample";
    }
  }
}

TEST_F(Peers, TheTypeReadsWhatFfmpegWrites) {
  if (std::string(PEER_FFMPEG).empty()) GTEST_SKIP() << "ffmpeg not installed";
  struct Case {
    const char* pixelFormat;
    const char* soundCodec;
    uint16_t bits;
  };
  const Case cases[] = {{"bgr24", "pcm_s16le", 16}, {"pal8", "pcm_u8", 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pixelFormat);
    const std::string file = path("ffmpeg.avi");
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i testsrc=size=10x6:rate=5:duration=1 -f lavfi -i "
               "sine=sample_rate=11025:duration=1 -c:v rawvideo -pix_fmt " +
                   std::string(c.pixelFormat) + " -c:a " + c.soundCodec + " '" + file +
                   "' && cat /dev/null",
               path("log")));
    const auto record = formatOf(file);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->flags, 0x05000003u);
    EXPECT_EQ(record->frameCount, 5);
    EXPECT_EQ(record->frameRate, 5000);
    EXPECT_EQ(record->bitsPerSample, c.bits);
    EXPECT_EQ(record->sampleFrames, 11025);

    const auto reference =
        Ffmpeg("-i '" + file + "' -f rawvideo -pix_fmt bgr24 -", path("ref.raw"));
    ASSERT_TRUE(reference);
    const uint32_t local = instance();
    Bytes ours;
    for (int n = 0; n < 5; ++n) {
      ASSERT_TRUE(load(local, 1, file));
      const Bytes block = BlockBytes(m().piLocalGetData(0, local));
      kpl::BitmapInfoHeader h{};
      std::memcpy(&h, block.data(), sizeof h);
      const uint32_t colours = h.bitCount <= 8 ? (h.clrUsed ? h.clrUsed : 1u << h.bitCount) : 0;
      const Bytes pixels(block.begin() + 40 + 4 * colours, block.end());
      const Bytes rows = TopDown(pixels, h.width, h.height, h.bitCount / 8);
      if (h.bitCount == 24) {
        Append(ours, rows);
      } else {
        ASSERT_EQ(h.bitCount, 8);
        for (uint8_t index : rows)
          ours.insert(ours.end(), block.begin() + 40 + 4 * index, block.begin() + 43 + 4 * index);
      }
    }
    EXPECT_TRUE(ours == *reference) << "frame for frame as ffmpeg decodes them";

    const auto sound = Ffmpeg("-i '" + file + "' -vn -f " + (c.bits == 8 ? "u8" : "s16le") + " -",
                              path("sound.raw"));
    ASSERT_TRUE(sound);
    kpl::FormatRecord whole = *record;
    whole.blockSize = int32_t(sound->size());
    m().piLocalSetFormat(0, local, &whole);
    ASSERT_TRUE(load(local, 2, file));
    EXPECT_TRUE(BlockBytes(m().piLocalGetData(0, local)) == *sound) << "sample for sample";
  }
}

}  // namespace
}  // namespace clipvane_test
