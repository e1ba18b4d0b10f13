// kplhost effect on pictures made by ImageMagick, with the step pictures checked both by
// reading them back and by ImageMagick itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_run.hpp"
#include "magick_test.hpp"
#include "png_io.hpp"

namespace kplhost::test {
namespace {

class VideoEffectTest : public MagickTest {
 protected:
  void SetUp() override {
    MagickTest::SetUp();
    if (IsSkipped()) return;
    identify = Peer(PEER_IDENTIFY);
    REQUIRE_PEER(identify);
  }

  // An odd width makes the frame rows padded.
  std::string picture(const std::string& name, const std::string& drawing, int width = 7,
                      int height = 5) {
    return MagickTest::picture(name, drawing, width, height);
  }

  CommandResult effect(std::vector<std::string> options) {
    std::vector<std::string> args = {"effect", "pannikel", "Fade"};
    args.insert(args.end(), options.begin(), options.end());
    return RunKplhost(args, dir.path());
  }

  std::string identify;
};

bool allBlack(const RgbImage& image) {
  for (int32_t y = 0; y < image.height(); ++y)
    for (int32_t x = 0; x < image.width(); ++x)
      if (image.at(x, y) != Rgb{}) return false;
  return true;
}

// True when `part` appears anywhere in `whole`, pixel for pixel.
bool contains(const RgbImage& whole, const RgbImage& part) {
  for (int32_t top = 0; top + part.height() <= whole.height(); ++top)
    for (int32_t left = 0; left + part.width() <= whole.width(); ++left) {
      bool same = true;
      for (int32_t y = 0; y < part.height() && same; ++y)
        for (int32_t x = 0; x < part.width() && same; ++x)
          same = whole.at(left + x, top + y) == part.at(x, y);
      if (same) return true;
    }
  return false;
}

TEST_F(VideoEffectTest, FadeInStartsBlackAndEndsOnTheInput) {
  const std::string in = picture("in.png", "gradient:red-blue");
  const CommandResult result =
      effect({"--in", in, "--flags", "0x1400", "--steps", "5", "--out", "out/step%03d.png"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("5 steps"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("name    Fade in"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("wrote   out/step000.png .. out/step004.png"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/step005.png"));

  const std::string first = dir / "out/step000.png", last = dir / "out/step004.png";
  EXPECT_TRUE(allBlack(ReadPng(first)));
  EXPECT_EQ(brightest(first), "0");
  EXPECT_EQ(ReadPng(last), ReadPng(in));
  EXPECT_EQ(differingPixels(in, last), "0");
  EXPECT_EQ(RunCommand({identify, "-format", "%m %wx%h", last}).out, "PNG 7x5");
}

TEST_F(VideoEffectTest, CrossFadeRunsFromTheFirstClipToTheSecond) {
  const std::string red = picture("red.png", "xc:red", 6, 4);
  const std::string blue = picture("blue.png", "xc:blue", 6, 4);
  const CommandResult result =
      effect({"--in", red, "--in2", blue, "--flags", "0x800", "--out", "out/%d.png"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // Two single pictures decide no step count, so the default of 8 steps applies.
  EXPECT_NE(result.out.find("8 steps"), std::string::npos) << result.out;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/8.png"));
  EXPECT_EQ(differingPixels(red, dir / "out/0.png"), "0");
  EXPECT_EQ(differingPixels(blue, dir / "out/7.png"), "0");
}

TEST_F(VideoEffectTest, NumberedSequenceGivesOnePicturePerStep) {
  std::filesystem::create_directory(dir.path() / "seq");
  const char* colours[] = {"xc:red", "xc:lime", "xc:blue"};
  for (int i = 0; i < 3; ++i)
    picture("seq/f" + std::to_string(i + 1) + ".png", colours[i]);
  const CommandResult result =
      effect({"--in", "seq/f%d.png", "--flags", "0x1400", "--out", "out/%02d.png"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("3 steps"), std::string::npos) << result.out;
  EXPECT_EQ(brightest(dir / "out/00.png"), "0");
  EXPECT_EQ(differingPixels(dir / "seq/f3.png", dir / "out/02.png"), "0");
}

TEST_F(VideoEffectTest, ContactSheetHoldsEveryStep) {
  const std::string in = picture("in.png", "gradient:yellow-navy");
  const CommandResult result =
      effect({"--in", in, "--flags", "0x1400", "--steps", "5", "--sheet", "sheets/sheet.png"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string sheetPath = dir / "sheets/sheet.png";
  EXPECT_NE(result.out.find("wrote   sheets/sheet.png"), std::string::npos) << result.out;
  EXPECT_TRUE(RunCommand({identify, "-format", "%m", sheetPath}).out == "PNG");

  const RgbImage sheet = ReadPng(sheetPath);
  EXPECT_GE(sheet.width(), 5 * 7);
  EXPECT_TRUE(contains(sheet, ReadPng(in))) << "the last step is not on the sheet";
  EXPECT_TRUE(contains(sheet, RgbImage(7, 5))) << "the black first step is not on the sheet";
}

TEST_F(VideoEffectTest, SettingsLinesReachTheModuleInOrder) {
  const std::string in = picture("in.png", "xc:white");
  // The saved line overrides the fade in of the flags: the run becomes a fade out.
  const CommandResult fadeOut = effect({"--in", in, "--flags", "0x1400", "--steps", "3", "--set",
                                        "TYPE=FADE OUT", "--out", "%d.png"});
  ASSERT_EQ(fadeOut.exitCode, 0) << fadeOut.err;
  EXPECT_NE(fadeOut.out.find("name    Fade out\n"), std::string::npos) << fadeOut.out;
  EXPECT_NE(fadeOut.out.find("saved   0: TYPE=FADE OUT\n"), std::string::npos) << fadeOut.out;
  EXPECT_EQ(brightest(dir / "2.png"), "0");

  // Fade reads one line: the second is refused, which is a warning, not a failure.
  const CommandResult twoLines = effect({"--in", in, "--set", "TYPE=FADE IN", "--set", "EXTRA=1"});
  EXPECT_EQ(twoLines.exitCode, 0);
  EXPECT_EQ(twoLines.err, "kplhost: warning: the module did not accept setting line 1 'EXTRA=1'\n");
}

}  // namespace
}  // namespace kplhost::test
