// The command line: help everywhere, one-line errors with exit codes 2 (usage) and 1 (failure),
// and a progress bar only on a terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_run.hpp"
#include "png_io.hpp"
#include "wav_io.hpp"

namespace kplhost::test {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePng(dir / "in.png", RgbImage(7, 5, {200, 100, 50}));
    WritePng(dir / "small.png", RgbImage(3, 2, {10, 20, 30}));
    std::filesystem::create_directory(dir.path() / "seq");
    for (int i = 1; i <= 3; ++i)
      WritePng(dir / ("seq/f" + std::to_string(i) + ".png"), RgbImage(4, 4));
    WriteWav(dir / "tone16.wav", SoundClip{1, 8000, 16, std::vector<uint8_t>(200)});
    WriteWav(dir / "tone8.wav", SoundClip{1, 8000, 8, std::vector<uint8_t>(100, 128)});
  }
  CommandResult run(const std::vector<std::string>& args) { return RunKplhost(args, dir.path()); }

  ScratchDir dir;
};

struct HelpCase {
  std::vector<std::string> args;
};

TEST_F(CommandLineTest, HelpOnTheToolAndEverySubcommand) {
  const HelpCase cases[] = {
      {{"--help"}},         {{"info", "--help"}},     {{"effect", "--help"}},
      {{"demo", "--help"}}, {{"registry", "--help"}}, {{"effect", "pannikel", "fade", "-h"}}};
  for (const HelpCase& c : cases) {
    SCOPED_TRACE(c.args.front());
    const CommandResult result = run(c.args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.starts_with("Usage: kplhost")) << result.out;
    EXPECT_EQ(result.err, "");
  }
  const std::string overview = run({"--help"}).out;
  for (const char* sub : {"info", "effect", "demo", "registry"})
    EXPECT_NE(overview.find(std::string("\n  ") + sub + " "), std::string::npos) << sub;
}

struct ErrorCase {
  const char* what;
  std::vector<std::string> args;
  int exitCode;
  const char* fragment;  // expected in the message
};

// "kplhost effect pannikel fade" with the given options.
std::vector<std::string> fade(std::vector<std::string> options) {
  std::vector<std::string> args = {"effect", "pannikel", "fade"};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

TEST_F(CommandLineTest, ErrorsAreOneLineWithTheirExitCode) {
  const ErrorCase cases[] = {
      {"no subcommand", {}, 2, "name a subcommand"},
      {"unknown subcommand", {"frobnicate"}, 2, "unknown subcommand 'frobnicate'"},
      {"info without a module", {"info"}, 2, "MODULE"},
      {"info with two modules", {"info", "pannikel", "pannikel"}, 2, "one MODULE"},
      {"missing module by name", {"info", "nosuch"}, 1, "no module nosuch"},
      {"missing module file", {"info", "/nonexistent/x.kpl"}, 1, "no module /nonexistent/x.kpl"},
      {"file that is no module", {"info", "./in.png"}, 1, "cannot load module ./in.png"},
      {"effect without a type", {"effect", "pannikel"}, 2, "MODULE and a TYPE"},
      {"unknown type name", {"effect", "pannikel", "Nope", "--in", "in.png"}, 2, "no type 'Nope'"},
      {"type index past the last", {"effect", "pannikel", "5", "--in", "in.png"}, 2, "no type '5'"},
      {"unknown option", fade({"--bogus", "1"}), 2, "unknown option --bogus"},
      {"option without its value", fade({"--in"}), 2, "--in needs a value"},
      {"option given twice", fade({"--in", "in.png", "--in", "in.png"}), 2, "more than once"},
      {"no input", fade({}), 2, "--in"},
      {"count that is no number", fade({"--in", "in.png", "--steps", "abc"}), 2, "--steps"},
      {"zero steps", fade({"--in", "in.png", "--steps", "0"}), 2, "--steps"},
      {"flag word that is no number", fade({"--in", "in.png", "--flags", "0xZZ"}), 2, "--flags"},
      {"setting without =", fade({"--in", "in.png", "--set", "novalue"}), 2, "KEY=VALUE"},
      {"picture and sound mixed", fade({"--in", "in.png", "--in2", "tone16.wav"}), 2, "both"},
      {"sound option on pictures", fade({"--in", "in.png", "--block", "10"}), 2, "--block"},
      {"picture option on sound", fade({"--in", "tone16.wav", "--sheet", "s.png"}), 2, "--sheet"},
      {"picture --out without a number", fade({"--in", "in.png", "--out", "x.png"}), 2,
       "step number"},
      {"pattern with a text conversion", fade({"--in", "seq/f%s.png"}), 2, "exactly one number"},
      {"more steps than pictures", fade({"--in", "seq/f%d.png", "--steps", "4"}), 2,
       "more pictures"},
      {"missing input picture", fade({"--in", "missing.png"}), 1, "missing.png"},
      {"sequence with no pictures", fade({"--in", "none/%03d.png"}), 1, "no pictures match"},
      {"missing input sound", fade({"--in", "missing.wav"}), 1, "missing.wav"},
      {"sounds of two formats", fade({"--in", "tone16.wav", "--in2", "tone8.wav"}), 1, "differ"},
      {"step the module refuses",
       fade({"--in", "in.png", "--in2", "small.png", "--flags", "0x800"}), 1,
       "piLocalProcessData answered false"},
      {"demo with an argument", {"demo", "extra"}, 2, "no arguments"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    const CommandResult result = run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.out, "");
    ASSERT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_TRUE(result.err.starts_with("kplhost: ")) << result.err;
    EXPECT_NE(result.err.find(c.fragment), std::string::npos) << result.err;
  }
}

TEST_F(CommandLineTest, NoProgressBarWhenStderrIsNoTerminal) {
  const CommandResult result = run(fade({"--in", "in.png", "--steps", "5"}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(CommandLineTest, ProgressBarOnATerminal) {
  const std::string screen =
      RunKplhostOnTerminal(fade({"--in", (dir / "in.png"), "--steps", "5", "--flags", "0x1400"}));
  EXPECT_NE(screen.find("\rFade ["), std::string::npos) << screen;
  EXPECT_NE(screen.find("] 5/5"), std::string::npos) << screen;
  EXPECT_NE(screen.find("ran     Fade"), std::string::npos) << screen;
}

}  // namespace
}  // namespace kplhost::test
