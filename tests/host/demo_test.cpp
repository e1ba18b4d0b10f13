// kplhost demo: every file it names exists and the peers read them.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_run.hpp"

namespace kplhost::test {
namespace {

// The paths of the "wrote   PATH (...)" lines.
std::vector<std::string> writtenPaths(const std::string& out) {
  std::vector<std::string> paths;
  for (const std::string& line : Lines(out))
    if (line.starts_with("wrote   ")) paths.push_back(line.substr(8, line.find(" (") - 8));
  return paths;
}

TEST(DemoTest, WritesASheetAndASoundThePeersRead) {
  const std::string identify = Peer(PEER_IDENTIFY), sox = Peer(PEER_SOX);
  REQUIRE_PEER(identify);
  REQUIRE_PEER(sox);
  const ScratchDir dir;
  const ScratchStore store(dir.path() / "home");
  const CommandResult result = RunKplhost({"demo", "--out", dir / "show"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  for (const std::string& path : writtenPaths(result.out))
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;

  const std::string sheet = dir / "show/sheet.png";
  const std::vector<std::string> geometry =
      Lines(RunCommand({identify, "-format", "%m\n%w\n%h\n", sheet}).out);
  ASSERT_EQ(geometry.size(), 3u);
  EXPECT_EQ(geometry[0], "PNG");
  EXPECT_GE(std::stoi(geometry[1]), 8 * 320) << "8 steps side by side";
  EXPECT_GE(std::stoi(geometry[2]), 9 * 240) << "one row per effect";
  EXPECT_NE(result.out.find("(contact sheet: 9 effects, 8 steps each)"), std::string::npos)
      << result.out;
  EXPECT_EQ(RunCommand({identify, "-format", "%m %wx%h", dir / "show/blue-screen-subject.png"}).out,
            "PNG 320x240");

  const std::string sound = dir / "show/sound-fade-in.wav";
  EXPECT_EQ(RunCommand({sox, "--i", "-s", sound}).out, "96000\n");
  EXPECT_EQ(RunCommand({sox, "--i", "-c", sound}).out, "2\n");
  EXPECT_EQ(RunCommand({sox, "--i", "-r", sound}).out, "48000\n");
  EXPECT_EQ(RunCommand({sox, "--i", "-b", sound}).out, "16\n");
}

TEST(DemoTest, WritesIntoKplDemoByDefault) {
  const ScratchDir dir;
  const ScratchStore store(dir.path() / "home");
  const CommandResult result = RunKplhost({"demo"}, dir.path());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "kpl-demo/sheet.png"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "kpl-demo/sound-fade-in.wav"));
}

}  // namespace
}  // namespace kplhost::test
