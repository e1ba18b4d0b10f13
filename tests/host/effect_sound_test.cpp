// kplhost effect on sound made by sox, with the resulting WAV files read by sox.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "command_run.hpp"
#include "wav_io.hpp"

namespace kplhost::test {
namespace {

class SoundEffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sox = Peer(PEER_SOX);
    REQUIRE_PEER(sox);
  }

  std::string tone(const std::string& name, int rate, int channels, int bits,
                   const std::string& seconds) {
    const std::string path = dir / name;
    const CommandResult made =
        RunCommand({sox, "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), "-b",
                    std::to_string(bits), path, "synth", seconds, "sine", "440"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
  }

  // One field of `sox --i`: "-s" samples per channel, "-c" channels, "-r" rate, "-b" bits.
  std::string soxInfo(const std::string& field, const std::string& path) {
    std::string value = RunCommand({sox, "--i", field, path}).out;
    while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
      value.pop_back();
    return value;
  }

  ScratchDir dir;
  std::string sox;
};

// The largest distance from silence over a range of sample frames.
int peak(const SoundClip& clip, int64_t firstFrame, int64_t frames) {
  int largest = 0;
  const int64_t samples = frames * clip.channels;
  for (int64_t i = firstFrame * clip.channels; i < firstFrame * clip.channels + samples; ++i) {
    const int value = clip.bitsPerSample == 8
                          ? (clip.pcm[size_t(i)] - 128) * 256
                          : int16_t(clip.pcm[size_t(2 * i)] | clip.pcm[size_t(2 * i + 1)] << 8);
    largest = std::max(largest, std::abs(value));
  }
  return largest;
}

struct FormatCase {
  int rate, channels, inBits, outBits;
  const char* seconds;
  int64_t frames;
};

TEST_F(SoundEffectTest, FadeInKeepsLengthAndFormatAndRisesFromSilence) {
  const FormatCase cases[] = {
      {8000, 2, 16, 16, "0.5", 4000},
      {11025, 1, 8, 8, "0.4", 4410},
      {8000, 1, 24, 16, "0.5", 4000},  // other sample sizes are handed over as 16-bit
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.inBits) + "-bit, " + std::to_string(c.channels) + " channels");
    const std::string in = tone("in.wav", c.rate, c.channels, c.inBits, c.seconds);
    const std::string out = dir / "out.wav";
    const CommandResult result = RunKplhost({"effect", "pannikel", "fade", "--in", in, "--flags",
                                             "0x1400", "--block", "1000", "--out", out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(soxInfo("-s", out), std::to_string(c.frames));
    EXPECT_EQ(soxInfo("-c", out), std::to_string(c.channels));
    EXPECT_EQ(soxInfo("-r", out), std::to_string(c.rate));
    EXPECT_EQ(soxInfo("-b", out), std::to_string(c.outBits));
    EXPECT_EQ(RunCommand({sox, out, "-n", "stat"}).exitCode, 0);

    const SoundClip faded = ReadWav(out);
    EXPECT_EQ(peak(faded, 0, 1), 0) << "a fade in starts silent";
    EXPECT_LT(peak(faded, 0, 1000), peak(faded, c.frames - 400, 400));
  }
}

TEST_F(SoundEffectTest, DefaultBlockIsOneSecondAndTheLastBlockIsPartial) {
  const std::string in = tone("in.wav", 8000, 1, 16, "2.5");
  const std::string out = dir / "out.wav";
  const CommandResult result =
      RunKplhost({"effect", "pannikel", "fade", "--in", in, "--flags", "0x2400", "--out", out});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("3 steps, length 20000"), std::string::npos) << result.out;
  EXPECT_EQ(soxInfo("-s", out), "20000");
}

TEST_F(SoundEffectTest, MixOfTwoSoundsIsAsLongAsTheFirst) {
  const std::string first = tone("a.wav", 8000, 2, 16, "0.5");
  const std::string second = tone("b.wav", 8000, 2, 16, "0.25");
  const std::string out = dir / "mix.wav";
  const CommandResult result = RunKplhost({"effect", "pannikel", "MIX", "--in", first, "--in2",
                                           second, "--block", "1500", "--out", out});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(soxInfo("-s", out), "4000");
  // Past the end of the second sound only the first is heard, at the mix level.
  const SoundClip mixed = ReadWav(out), alone = ReadWav(first);
  EXPECT_NEAR(peak(mixed, 3000, 1000), 0.51 * peak(alone, 3000, 1000), 2.0);
}

}  // namespace
}  // namespace kplhost::test
