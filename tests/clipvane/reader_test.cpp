// Reading through the exports: the type table, the format record of mode 0, frames and sound
// blocks, the positions piLocalLength steers, and the close sequence.
#include <cstring>

#include "clipvane_fixture.hpp"
#include "kpl/platform/message_box.h"

namespace clipvane_test {
namespace {

// A 4 x 2 clip of `frames` numbered frames at 25 per second.
VideoStream NumberedVideo(uint32_t frames) {
  VideoStream v;
  for (uint32_t f = 0; f < frames; ++f)
    v.frames.push_back(NumberedFrame(v.width, v.height, f));
  return v;
}

Bytes PixelsOfFrameBlock(const Bytes& block) {
  if (block.size() < 40) return {};
  uint32_t headerBytes = 0;
  std::memcpy(&headerBytes, block.data(), 4);
  return Bytes(block.begin() + headerBytes, block.end());
}

std::vector<int16_t> SamplesOf(const Bytes& block) {
  std::vector<int16_t> samples(block.size() / 2);
  std::memcpy(samples.data(), block.data(), samples.size() * 2);
  return samples;
}

using TypeTable = Clipvane;

TEST_F(TypeTable, OneTypeWithItsNameFlagsAndPattern) {
  EXPECT_EQ(m().piCount(), 1u);
  ASSERT_NE(m().piName(0), nullptr);
  EXPECT_STREQ(m().piName(0), "AVI files (*.avi)");
  EXPECT_EQ(m().piFlags(0), 0x45070303u);
  EXPECT_EQ(m().piName(1), nullptr);
  EXPECT_EQ(m().piLocalInit(1, 0), 0u);
  for (uint32_t mode : {0x100u, 0x200u}) {
    const uint32_t local = instance(mode);
    EXPECT_EQ(m().piLocalFlags(0, local), mode | 0x45070003u);
    EXPECT_STREQ(m().piLocalName(0, local), "AVI files (*.avi)");
    const uint32_t pattern = owned(m().piLocalGetData(0, local));
    const Bytes text = BlockBytes(pattern);
    EXPECT_EQ(std::string(text.begin(), text.end()), std::string("*.avi", 6));
    EXPECT_EQ(m().piLocalGetData(0, local), pattern);
    EXPECT_EQ(m().piLocalDlg(0, local, 0), 0);
    EXPECT_EQ(m().piLocalProcessData(0, local), 0);
    EXPECT_EQ(m().piIcon(0, 0), 0u);
  }
}

using Probe = Clipvane;

TEST_F(Probe, FlagsAndSoundFiguresOfTheFormatRecord) {
  AviSpec silent;
  silent.video.push_back(NumberedVideo(10));
  const auto videoOnly = formatOf(writeFile("v.avi", AviFile(silent)));
  ASSERT_TRUE(videoOnly);
  EXPECT_EQ(videoOnly->flags, 0x01000001u);
  EXPECT_EQ(videoOnly->sampleFrames, 0);
  EXPECT_EQ(videoOnly->frameCount, 10);
  EXPECT_EQ(videoOnly->frameRate, 25000);
  EXPECT_EQ(videoOnly->video.size, 40u);
  EXPECT_EQ(videoOnly->video.width, 4);
  EXPECT_EQ(videoOnly->video.height, 2);
  EXPECT_EQ(videoOnly->video.planes, 1);
  EXPECT_EQ(videoOnly->video.bitCount, 24);
  EXPECT_EQ(videoOnly->blockSize, 0);

  AviSpec withSound = silent;
  withSound.audio.push_back({2, 22050, 16, Bytes(8820 * 4)});
  const auto sound = formatOf(writeFile("av.avi", AviFile(withSound)));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->flags, 0x05000003u);
  EXPECT_EQ(sound->formatTag, 1);
  EXPECT_EQ(sound->channels, 2);
  EXPECT_EQ(sound->sampleRate, 22050u);
  EXPECT_EQ(sound->bitsPerSample, 16);
  EXPECT_EQ(sound->blockAlign, 4);
  EXPECT_EQ(sound->averageBytesPerSecond, 88200u);
  EXPECT_EQ(sound->blockSize, 11025);
  EXPECT_EQ(sound->sampleFrames, 8820) << "10 frames at 25 per second: 0.4 s";
  for (size_t offset = 76; offset < 128; offset += 4)
    EXPECT_EQ(LongField(*sound, offset), 0) << offset;
}

TEST_F(Probe, FrameRatesFromTheMainAndTheStreamHeader) {
  struct Case {
    uint32_t microseconds, rate, scale, sampleRate;
    int32_t frameRate, sampleFrames;
  };
  // The sample count is formed in floating point and truncated once: 10 frames at 29.97 per
  // second and 22050 Hz are 7357.35 samples.
  const Case cases[] = {
      {40000, 0, 0, 22050, 25000, 8820},         // no stream rate: the main header's
      {40000, 30000, 1001, 22050, 29970, 7357},  // the stream header replaces it
      {33367, 0, 1, 11025, 29970, 3678},         // 1e9 / 33367 = 29969.7, rounded
      {0, 0, 0, 11025, 0, 0},                    // no rate at all: no duration
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.microseconds) + " us, " + std::to_string(c.rate) + "/" +
                 std::to_string(c.scale));
    AviSpec spec;
    spec.microSecondsPerFrame = c.microseconds;
    spec.video.push_back(NumberedVideo(10));
    spec.video[0].rate = c.rate;
    spec.video[0].scale = c.scale;
    spec.audio.push_back({1, c.sampleRate, 8, Bytes(100, 0x80)});
    const auto record = formatOf(writeFile("rate.avi", AviFile(spec)));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->frameRate, c.frameRate);
    EXPECT_EQ(record->sampleFrames, c.sampleFrames);
  }
}

TEST_F(Probe, LengthFromTheStreamHeaderWhenTheMainHeaderHasNone) {
  AviSpec spec;
  spec.totalFrames = 0;
  spec.video.push_back(NumberedVideo(3));
  spec.video[0].start = 2;
  spec.video[0].length = 9;
  const auto record = formatOf(writeFile("len.avi", AviFile(spec)));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->frameCount, 7);
}

TEST_F(Probe, WaveFilesAndOtherFilesAreRefused) {
  EXPECT_FALSE(formatOf(writeFile("a.wav", WaveFile({1, 11025, 16, Bytes(200)}))));
  EXPECT_FALSE(formatOf(writeFile("junk.avi", Bytes(300, 'x'))));
  EXPECT_FALSE(formatOf(path("missing.avi")));
  EXPECT_FALSE(formatOf(writeFile("cut.avi", [] {
    AviSpec spec;
    spec.video.push_back(NumberedVideo(2));
    Bytes file = AviFile(spec);
    file.resize(40);
    return file;
  }())));
  // A refused file leaves no record behind: the next piLocalGetData is the pattern block.
  const uint32_t local = instance();
  EXPECT_FALSE(load(local, 0, path("missing.avi")));
  const Bytes pattern = BlockBytes(owned(m().piLocalGetData(0, local)));
  EXPECT_EQ(std::string(pattern.begin(), pattern.end()), std::string("*.avi", 6));
}

TEST_F(Probe, WithoutAFileNameTheFormatCopyIsHandedOut) {
  AviSpec spec;
  spec.video.push_back(NumberedVideo(5));
  const std::string file = writeFile("v.avi", AviFile(spec));
  const uint32_t local = instance();
  ASSERT_TRUE(load(local, 0, file));
  const uint32_t first = owned(m().piLocalGetData(0, local));
  ASSERT_EQ(m().piLocalLoadData(0, local, 0, nullptr), kpl::kTrue);
  const uint32_t second = owned(m().piLocalGetData(0, local));
  EXPECT_NE(first, second) << "each mode 0 call hands out a new record";
  EXPECT_EQ(BlockBytes(first), BlockBytes(second));
  EXPECT_EQ(GlobalFlags(second) & 0x2040u, 0x2040u);
}

using Frames = Clipvane;

TEST_F(Frames, TheSameBlockHandleWithEachNextFrame) {
  AviSpec spec;
  spec.video.push_back(NumberedVideo(3));
  const std::string file = writeFile("v.avi", AviFile(spec));
  const uint32_t local = instance();
  ASSERT_TRUE(m().piLocalProcessDataStart(0, local));
  ASSERT_TRUE(load(local, 1, file));
  const uint32_t block = m().piLocalGetData(0, local);
  const Bytes first = BlockBytes(block);
  ASSERT_TRUE(load(local, 1, file));
  EXPECT_EQ(m().piLocalGetData(0, local), block);
  const Bytes second = BlockBytes(block);
  EXPECT_EQ(PixelsOfFrameBlock(first), NumberedFrame(4, 2, 0));
  EXPECT_EQ(PixelsOfFrameBlock(second), NumberedFrame(4, 2, 1));
  kpl::BitmapInfoHeader header{};
  std::memcpy(&header, second.data(), sizeof header);
  EXPECT_EQ(header.width, 4);
  EXPECT_EQ(header.height, 2);
  EXPECT_EQ(header.bitCount, 24);

  // The close sequence frees the frame block; the result handle no longer names it.
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));
  EXPECT_EQ(GlobalSize(block), 0u);
  const uint32_t after = owned(m().piLocalGetData(0, local));
  EXPECT_NE(after, 0u);
  EXPECT_EQ(GlobalSize(after), 6u) << "the pattern block";
}

// 120 numbered frames and two audio streams of 16-bit mono samples counting up from 0 and
// from 10000.
Bytes SteeringClip() {
  AviSpec spec;
  spec.video.push_back(NumberedVideo(120));
  spec.audio.push_back({1, 11025, 16, CountingSamples(6000, 0)});
  spec.audio.push_back({1, 11025, 16, CountingSamples(6000, 10000)});
  return AviFile(spec);
}

TEST_F(Frames, LengthSteersTheNextReadOfEitherKind) {
  const std::string file = writeFile("steer.avi", SteeringClip());
  // Block size: 11025 x 2 / 8 = 2756 bytes, 1378 samples.
  const auto record = formatOf(file);
  ASSERT_TRUE(record);
  ASSERT_EQ(record->blockSize, 2756);

  {
    const uint32_t local = instance();
    ASSERT_TRUE(load(local, 0, file));
    owned(m().piLocalGetData(0, local));
    ASSERT_TRUE(m().piLocalLength(0, local, 100));
    ASSERT_TRUE(load(local, 1, file));
    EXPECT_EQ(PixelsOfFrameBlock(BlockBytes(m().piLocalGetData(0, local))),
              NumberedFrame(4, 2, 100));
    ASSERT_TRUE(load(local, 1, file));
    EXPECT_EQ(PixelsOfFrameBlock(BlockBytes(m().piLocalGetData(0, local))),
              NumberedFrame(4, 2, 101));
  }
  {
    const uint32_t local = instance();
    ASSERT_TRUE(load(local, 0, file));
    owned(m().piLocalGetData(0, local));
    ASSERT_TRUE(m().piLocalLength(0, local, 100));
    ASSERT_TRUE(load(local, 2, file));
    const std::vector<int16_t> samples = SamplesOf(BlockBytes(m().piLocalGetData(0, local)));
    ASSERT_EQ(samples.size(), 1378u);
    EXPECT_EQ(samples.front(), 100);
    EXPECT_EQ(samples.back(), 100 + 1377);
    // The video position was left alone: the next frame is frame 0.
    ASSERT_TRUE(load(local, 1, file));
    EXPECT_EQ(PixelsOfFrameBlock(BlockBytes(m().piLocalGetData(0, local))), NumberedFrame(4, 2, 0));
  }
}

TEST_F(Frames, ModeThreeAfterModeTwoReadsTheSecondStreamOnFromThere) {
  const std::string file = writeFile("two.avi", SteeringClip());
  const uint32_t local = instance();
  ASSERT_TRUE(load(local, 0, file));
  owned(m().piLocalGetData(0, local));
  ASSERT_TRUE(load(local, 2, file));
  const uint32_t sound = m().piLocalGetData(0, local);
  EXPECT_EQ(SamplesOf(BlockBytes(sound)).front(), 0);
  ASSERT_TRUE(load(local, 3, file));
  EXPECT_EQ(m().piLocalGetData(0, local), sound) << "one sound block per opening";
  const std::vector<int16_t> second = SamplesOf(BlockBytes(sound));
  EXPECT_EQ(second.front(), 10000 + 1378);
  EXPECT_EQ(second.back(), 10000 + 2 * 1378 - 1);
  ASSERT_TRUE(load(local, 3, file));
  EXPECT_EQ(SamplesOf(BlockBytes(sound)).front(), 10000 + 2 * 1378);
  // A stream the file does not have.
  EXPECT_FALSE(load(local, 4, file));
}

TEST_F(Frames, AShortLastBlockReportsItselfAndEndsInSilence) {
  const std::string file = writeFile("steer.avi", SteeringClip());
  const uint32_t local = instance();
  ASSERT_TRUE(load(local, 0, file));
  owned(m().piLocalGetData(0, local));
  ASSERT_TRUE(m().piLocalLength(0, local, 6000 - 10));
  const uint32_t boxes = MessageBoxCount();
  ASSERT_TRUE(load(local, 2, file)) << "the message reports, the read goes on";
  EXPECT_EQ(MessageBoxCount(), boxes + 1) << "Readbytes <> Blocklength";
  const std::vector<int16_t> samples = SamplesOf(BlockBytes(m().piLocalGetData(0, local)));
  EXPECT_EQ(samples[0], 5990);
  EXPECT_EQ(samples[9], 5999);
  EXPECT_EQ(samples[10], 0) << "what the read did not fill is silence";
  EXPECT_EQ(samples.back(), 0);
}

TEST_F(Frames, ReadsFailCleanlyWithoutAFileAndWorkLater) {
  const uint32_t local = instance();
  EXPECT_FALSE(load(local, 1, path("none.avi")));
  EXPECT_EQ(m().piLocalLoadData(0, local, 1, nullptr), 0);
  // Without a format there is no block size to read sound in.
  EXPECT_FALSE(load(local, 2, path("none.avi")));
  EXPECT_FALSE(load(local, -1, path("none.avi")));
  AviSpec spec;
  spec.video.push_back(NumberedVideo(2));
  const std::string file = writeFile("later.avi", AviFile(spec));
  EXPECT_TRUE(load(local, 1, file));
  EXPECT_EQ(PixelsOfFrameBlock(BlockBytes(m().piLocalGetData(0, local))), NumberedFrame(4, 2, 0));
}

}  // namespace
}  // namespace clipvane_test
