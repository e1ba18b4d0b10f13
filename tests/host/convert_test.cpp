// kplhost convert and the file patterns: pictures through the module's picture types and
// sound through its AIFF types, chosen by pattern, with the errors a user meets; and the
// patterns that kplhost info shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "command_run.hpp"
#include "file_types.hpp"
#include "png_io.hpp"
#include "wav_io.hpp"

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

  // Through the SGI and Alias types under each of their patterns.
  const std::vector<std::string> more = {"in.png", "e.sgi",  "f.ALIAS", "g.rgb",   "h.ali",
                                         "i.BW",   "j.rgba", "k.pcx",   "out2.png"};
  for (size_t i = 0; i + 1 < more.size(); ++i) {
    SCOPED_TRACE(more[i] + " -> " + more[i + 1]);
    const CommandResult result = RunKplhost({"convert", more[i], more[i + 1]}, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
  }
  EXPECT_EQ(ReadPng(dir / "out2.png"), picture);
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "e.sgi"), 512u + 23u * 9u * 3u);
}

TEST(ConvertTest, SoundPassesBetweenWavAndAiffUnchanged) {
  ScratchDir dir;
  for (const uint16_t bits : {8, 16})
    for (const uint16_t channels : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << channels << " channels");
      SoundClip clip;
      clip.channels = channels;
      clip.sampleRate = 22050;
      clip.bitsPerSample = bits;
      // Two and a half seconds: blocks of a second and a last, shorter one.
      clip.pcm.resize(size_t(22050) * 5 / 2 * clip.frameBytes());
      for (size_t i = 0; i < clip.pcm.size(); ++i)
        clip.pcm[i] = uint8_t(i * 7 + i / 300);
      WriteWav(dir / "in.wav", clip);
      const CommandResult there = RunKplhost({"convert", "in.wav", "mid.aif"}, dir.path());
      ASSERT_EQ(there.exitCode, 0) << there.err;
      EXPECT_NE(there.out.find("55125 sample frames"), std::string::npos) << there.out;
      const CommandResult back = RunKplhost({"convert", "mid.aif", "back.AIFF"}, dir.path());
      ASSERT_EQ(back.exitCode, 0) << back.err;
      const CommandResult wav = RunKplhost({"convert", "back.AIFF", "out.wav"}, dir.path());
      ASSERT_EQ(wav.exitCode, 0) << wav.err;
      const SoundClip out = ReadWav(dir / "out.wav");
      EXPECT_TRUE(out.sameFormat(clip));
      EXPECT_EQ(out.pcm, clip.pcm);
    }
}

TEST(ConvertTest, ErrorsNameTheProblem) {
  ScratchDir dir;
  WritePng(dir / "in.png", Pattern(4, 4));
  {
    std::ofstream garbage(dir.path() / "junk.pcx");
    garbage << "not a picture";
    std::ofstream noise(dir.path() / "junk.aiff");
    noise << "not a sound";
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
      {{"convert", "in.png", "out.aif"}, 2, "are not both pictures or both sounds"},
      {{"convert", "in.wav", "out.xyz"}, 2, "no file type writes 'out.xyz'"},
      {{"convert", "junk.pcx", "out.aiff"}, 2, "are not both pictures or both sounds"},
      {{"convert", "junk.aiff", "out.wav"}, 1, "junk.aiff is not a file AIFF files (*.AIFF)"},
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
