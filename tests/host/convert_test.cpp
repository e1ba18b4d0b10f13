// kplhost convert and the file patterns: pictures through the module's PCX and Targa types,
// chosen by pattern, with the errors a user meets; and the patterns that kplhost info shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "command_run.hpp"
#include "file_types.hpp"
#include "png_io.hpp"

namespace kplhost::test {
namespace {

RgbImage Pattern(int32_t width, int32_t height) {
  RgbImage image(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.at(x, y) = {uint8_t(x * 9), uint8_t(y * 13 + x), uint8_t(0xC0 + (x + y) % 60)};
  return image;
}

TEST(ConvertTest, PicturesPassThroughEveryFormatUnchanged) {
  ScratchDir dir;
  const RgbImage picture = Pattern(23, 9);
  WritePng(dir / "in.png", picture);
  // Upper- and lower-case names match the same patterns.
  const std::vector<std::string> chain = {"in.png", "a.pcx", "b.TGA", "c.PCX", "d.tga", "out.png"};
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    SCOPED_TRACE(chain[i] + " -> " + chain[i + 1]);
    const CommandResult result = RunKplhost({"convert", chain[i], chain[i + 1]}, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(" 23 x 9"), std::string::npos) << result.out;
  }
  EXPECT_EQ(ReadPng(dir / "out.png"), picture);
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "b.TGA"), 18u + 35u + 23u * 9u * 3u);
}

TEST(ConvertTest, ErrorsNameTheProblem) {
  ScratchDir dir;
  WritePng(dir / "in.png", Pattern(4, 4));
  {
    std::ofstream garbage(dir.path() / "junk.pcx");
    garbage << "not a picture";
  }
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {{"convert", "in.png"}, 2, "name IN and OUT"},
      {{"convert", "in.png", "out.xyz"}, 2, "no file type writes 'out.xyz' (patterns: *.png *.PCX"},
      {{"convert", "in.xyz", "out.pcx"}, 2, "no file type reads 'in.xyz'"},
      {{"convert", "junk.pcx", "out.png"}, 1, "junk.pcx is not a file PCX files (*.PCX) can read"},
      {{"convert", "missing.tga", "out.png"}, 1, "missing.tga is not a file TGA files"},
      {{"convert", "in.png", "out.sgi"}, 1, "SGI files (*.SGI) refused the format"},
      {{"convert", "in.png", "out.pcx", "--module", "nosuchmodule"}, 1, "nosuchmodule"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const CommandResult result = RunKplhost(c.args, dir.path());
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.png"));
}

TEST(ConvertTest, InfoShowsThePatternOfEveryFileType) {
  const CommandResult result = RunKplhost({"info", "rastunes"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> patterns;
  for (const std::string& line : Lines(result.out))
    if (line.starts_with("  pattern ")) patterns.push_back(line.substr(10));
  const std::vector<std::string> expected = {"*.PCX", "*.TGA", "*.alias", "*.ALI",  "*.SGI",
                                             "*.BW",  "*.RGB", "*.RGBA",  "*.AIFF", "*.AIF"};
  EXPECT_EQ(patterns, expected) << result.out;
  // Effect types have no pattern line.
  const CommandResult effects = RunKplhost({"info", "pannikel"});
  EXPECT_EQ(effects.out.find("pattern"), std::string::npos);
}

TEST(PatternTest, MatchesNamesAsAFileDialogFilterDoes) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.PCX", "photo.pcx", true},      {"*.PCX", "PHOTO.PCX", true},
      {"*.PCX", "photo.pcx.png", false}, {"*.alias", "x.ALIAS", true},
      {"*.ALI", "x.alias", false},       {"*.RGB", "x.rgba", false},
      {"*.RGBA", "x.RGBA", true},        {"*.AIF", "song.aiff", false},
      {"*.*", "noextension", false},     {"*", "", true},
      {"a?c*", "abcdef", true},          {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaa", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PatternMatches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

}  // namespace
}  // namespace kplhost::test
