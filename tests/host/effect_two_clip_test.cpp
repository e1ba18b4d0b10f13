// kplhost effect with two clips: Wipe and Blue-Screen steps checked pixel for pixel against
// the same rule drawn by ImageMagick's -fx.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_run.hpp"
#include "magick_test.hpp"
#include "png_io.hpp"

namespace kplhost::test {
namespace {

using TwoClipEffectTest = MagickTest;

TEST_F(TwoClipEffectTest, WipeStepsShowTheSecondClipWithinTheExtent) {
  magick({"-size", "7x5", "gradient:red-yellow"}, "a.png");
  magick({"-size", "7x5", "gradient:navy-lime", "-rotate", "90", "-resize", "7x5!"}, "b.png");
  struct Case {
    const char* degree;
    const char* distance;  // of pixel (i, j) from the start edge or corner, W = 7, H = 5
    int extents[3];        // at p = 0, 0.5, 1
  };
  const Case cases[] = {{"315", "i + j", {0, 5, 10}},
                        {"135", "(6 - i) + (4 - j)", {0, 5, 10}},
                        {"90", "4 - j", {0, 2, 4}},
                        {"180", "6 - i", {0, 3, 6}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degree);
    const std::string degree = c.degree;
    const CommandResult run =
        RunKplhost({"effect", "pannikel", "Wipe", "--in", "a.png", "--in2", "b.png", "--set",
                    "DEGREE=" + degree, "--steps", "3", "--out", degree + "/%d.png"},
                   dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("name    Wipe (" + degree + "\u00B0)\n"), std::string::npos)
        << "the degree sign reaches the terminal as UTF-8: " << run.out;
    EXPECT_NE(run.out.find("saved   0: DEGREE=" + degree + "\n"), std::string::npos);
    for (int step = 0; step < 3; ++step) {
      const std::string expected = degree + "-expected" + std::to_string(step) + ".png";
      magick(
          {"a.png", "b.png", "-fx",
           "(" + std::string(c.distance) + " <= " + std::to_string(c.extents[step]) + ") ? v : u"},
          expected);
      EXPECT_EQ(differingPixels(degree + "/" + std::to_string(step) + ".png", expected), "0")
          << "step " << step;
    }
  }
}

TEST_F(TwoClipEffectTest, BlueScreenLetsTheBackgroundThroughTheKeyedPixels) {
  magick({"-size", "13x6", "gradient:orange-purple"}, "background.png");
  // Red 0 to 36, green 0 to 25, blue 95 to 155 mixed over the picture: on both sides of the
  // bounds of every case below.
  magick({"-size", "13x6", "xc:black", "-channel", "R", "-fx", "i*3/255", "-channel", "G", "-fx",
          "j*5/255", "-channel", "B", "-fx", "(95+((i*4+j*7)%13)*5)/255"},
         "foreground.png");
  struct Case {
    std::vector<std::string> settings;
    const char* rule;  // R, G, B: the foreground's channels, 0 to 255
  };
  const Case cases[] = {
      {{}, "R <= 25 && G <= 25 && B >= 103 && B <= 153"},
      {{"--set", "TOLERANCE=10"}, "R <= 12 && G <= 12 && B >= 116 && B <= 140"},
      {{"--set", "COLOR=x6E0A1E", "--set", "TOLERANCE=4"},  // red 30, green 10, blue 110; t = 5
       "R >= 25 && R <= 35 && G >= 5 && G <= 15 && B >= 105 && B <= 115"},
  };
  for (size_t run = 0; run < std::size(cases); ++run) {
    const Case& c = cases[run];
    SCOPED_TRACE(c.rule);
    const std::string out = std::to_string(run) + "-0.png";
    std::vector<std::string> args = {"effect",
                                     "pannikel",
                                     "Blue-Screen",
                                     "--in",
                                     "background.png",
                                     "--in2",
                                     "foreground.png",
                                     "--steps",
                                     "1",
                                     "--out",
                                     std::to_string(run) + "-%d.png"};
    args.insert(args.end(), c.settings.begin(), c.settings.end());
    const CommandResult result = RunKplhost(args, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("name    Blue-Screen\n"), std::string::npos) << result.out;

    std::string rule;
    for (const char ch : std::string(c.rule))
      rule += ch == 'R'   ? "round(v.r*255)"
              : ch == 'G' ? "round(v.g*255)"
              : ch == 'B' ? "round(v.b*255)"
                          : std::string(1, ch);
    const std::string expected = std::to_string(run) + "-expected.png";
    magick({"background.png", "foreground.png", "-fx", "(" + rule + ") ? u : v"}, expected);
    EXPECT_EQ(differingPixels(out, expected), "0") << rule;
    // Both outcomes occur, so the comparison says something.
    EXPECT_NE(differingPixels(out, "foreground.png"), "0");
    EXPECT_NE(differingPixels(out, "background.png"), "0");
  }
}

}  // namespace
}  // namespace kplhost::test
