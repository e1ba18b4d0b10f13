// kplhost effect on the transitions module: every type run from the command line on pictures
// and sound made by ImageMagick and sox, the results read back by the same peers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "command_run.hpp"
#include "magick_test.hpp"
#include "png_io.hpp"
#include "wav_io.hpp"

namespace kplhost::test {
namespace {

class TransvellaEffectTest : public MagickTest {
 protected:
  void SetUp() override {
    MagickTest::SetUp();
    if (IsSkipped()) return;
    sox = Peer(PEER_SOX);
    REQUIRE_PEER(sox);
    // Odd sizes: the curtains meet exactly, and the rows are padded.
    first = picture("first.png", "gradient:red-blue", 9, 7);
    second = picture("second.png", "pattern:checkerboard", 9, 7);
  }

  CommandResult effect(const std::string& type, std::vector<std::string> options) {
    std::vector<std::string> args = {"effect", "transvella", type};
    args.insert(args.end(), options.begin(), options.end());
    return RunKplhost(args, dir.path());
  }

  std::string sox, first, second;
};

TEST_F(TransvellaEffectTest, EveryTransitionRunsFromTheFirstPictureToTheSecond) {
  struct Case {
    std::string type;
    std::vector<std::string> lines;
    std::string name;  // as the terminal shows it
  };
  const Case cases[] = {
      {"Push", {"DEGREE=90"}, "Push (90\xC2\xB0)"},
      {"slide", {"DEGREE=135", "REVERSE=1"}, "Slide Out (135\xC2\xB0)"},
      {"Curtain Slide", {"DEGREE=0", "REVERSE=0"}, "Curtain Slide Out (Hor.)"},
      {"7", {"DEGREE=90", "REVERSE=1"}, "Curtain Slide In (Ver.)"},
      {"Chessboard", {"DEGREE=180", "WIDTH=3", "HEIGHT=2"}, "Chessboard (180\xC2\xB0,3x2)"},
      {"SNAKE WIPE", {"DEGREE=270", "WIDTH=4", "HEIGHT=3"}, "Snake Wipe (270\xC2\xB0,4x3)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    std::vector<std::string> options = {"--in", first,   "--in2",      second,    "--steps",
                                        "6",    "--out", "out/%d.png", "--sheet", "sheet.png"};
    for (const std::string& line : c.lines) {
      options.push_back("--set");
      options.push_back(line);
    }
    const CommandResult result = effect(c.type, options);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("name    " + c.name + "\n"), std::string::npos) << result.out;
    for (size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_NE(result.out.find("saved   " + std::to_string(i) + ": " + c.lines[i] + "\n"),
                std::string::npos)
          << result.out;
    EXPECT_EQ(differingPixels(first, dir / "out/0.png"), "0");
    EXPECT_EQ(differingPixels(second, dir / "out/5.png"), "0");
    // In between, a step shows parts of both pictures.
    EXPECT_NE(differingPixels(first, dir / "out/3.png"), "0");
    EXPECT_NE(differingPixels(second, dir / "out/3.png"), "0");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "sheet.png"));
  }
}

TEST_F(TransvellaEffectTest, VideoFades) {
  // Fade in of 4 frames: x = 0, .25, .5, .75; it starts black and never quite ends.
  const CommandResult in = effect("0", {"--in", first, "--steps", "4", "--out", "in/%d.png"});
  ASSERT_EQ(in.exitCode, 0) << in.err;
  EXPECT_NE(in.out.find("name    Log. fade in\n"), std::string::npos) << in.out;
  EXPECT_EQ(brightest(dir / "in/0.png"), "0");
  EXPECT_NE(differingPixels(first, dir / "in/3.png"), "0");

  // Fade in/fade out: black at x = 0.5, the second picture rising after it.
  const CommandResult inOut =
      effect("Log. fade in/fade out",
             {"--in", first, "--in2", second, "--steps", "4", "--out", "io/%d.png"});
  ASSERT_EQ(inOut.exitCode, 0) << inOut.err;
  EXPECT_EQ(differingPixels(first, dir / "io/0.png"), "0");
  EXPECT_EQ(brightest(dir / "io/2.png"), "0");
  EXPECT_NE(brightest(dir / "io/3.png"), "0");

  // Settings lines are no part of a fade: the line is refused with a warning.
  const CommandResult withLine =
      effect("Log. fade out", {"--in", first, "--steps", "2", "--set", "DEGREE=90"});
  EXPECT_EQ(withLine.exitCode, 0);
  EXPECT_EQ(withLine.err,
            "kplhost: warning: the module did not accept setting line 0 'DEGREE=90'\n");
}

// The largest distance from silence over a range of sample frames.
int peak(const SoundClip& clip, int64_t firstFrame, int64_t frames) {
  int largest = 0;
  for (int64_t i = firstFrame * clip.channels; i < (firstFrame + frames) * clip.channels; ++i) {
    const int value = clip.bitsPerSample == 8
                          ? (clip.pcm[size_t(i)] - 128) * 256
                          : int16_t(clip.pcm[size_t(2 * i)] | clip.pcm[size_t(2 * i + 1)] << 8);
    largest = std::max(largest, std::abs(value));
  }
  return largest;
}

TEST_F(TransvellaEffectTest, SoundFadesThatSoxReads) {
  for (int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    const std::string tone = dir / ("tone" + std::to_string(bits) + ".wav");
    ASSERT_EQ(RunCommand({sox, "-n", "-r", "8000", "-c", "2", "-b", std::to_string(bits), tone,
                          "synth", "1", "sine", "440", "vol", "0.5"})
                  .exitCode,
              0);
    const std::string out = dir / ("out" + std::to_string(bits) + ".wav");
    // Fade out in blocks of a quarter second: gains 1, 0.5625, 0.25 and 0.0625.
    const CommandResult result =
        effect("Log. fade out", {"--in", tone, "--block", "2000", "--out", out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(RunCommand({sox, "--i", "-s", out}).out, "8000\n");
    EXPECT_EQ(RunCommand({sox, "--i", "-b", out}).out, std::to_string(bits) + "\n");
    const SoundClip faded = ReadWav(out), original = ReadWav(tone);
    const int start = peak(original, 0, 2000);
    EXPECT_EQ(peak(faded, 0, 2000), start);
    EXPECT_LT(peak(faded, 6000, 2000), start / 10);
    EXPECT_GT(peak(faded, 6000, 2000), start / 25);
    // The cross fade of the tone with itself: the square curves meet at a quarter each, so
    // the middle block (x = 0.5) holds half the tone, the first block all of it.
    const CommandResult cross = effect(
        "Log. cross fade", {"--in", tone, "--in2", tone, "--block", "2000", "--out", "cross.wav"});
    ASSERT_EQ(cross.exitCode, 0) << cross.err;
    const SoundClip mixed = ReadWav(dir / "cross.wav");
    EXPECT_EQ(peak(mixed, 0, 2000), start);
    EXPECT_GT(peak(mixed, 4000, 2000), start * 45 / 100);
    EXPECT_LT(peak(mixed, 4000, 2000), start * 55 / 100);
  }
}

TEST_F(TransvellaEffectTest, DemoSheetHasARowPerTransition) {
  const ScratchStore store(dir.path() / "home");
  const CommandResult result = RunKplhost({"demo", "--out", dir / "show"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const RgbImage sheet = ReadPng(dir / "show/sheet.png");
  EXPECT_GE(sheet.height(), 9 * 240) << "four effects and five transitions";
  EXPECT_NE(result.out.find("9 effects"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace kplhost::test
