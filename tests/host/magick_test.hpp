#pragma once
// Host tests whose pictures ImageMagick draws and compares, in a scratch folder: relative
// names below are taken in that folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_run.hpp"

namespace kplhost::test {

class MagickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    convert = Peer(PEER_CONVERT);
    compare = Peer(PEER_COMPARE);
    REQUIRE_PEER(convert);
    REQUIRE_PEER(compare);
  }

  // Runs ImageMagick on `args`, writing `out` as 8-bit RGB.
  void magick(std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), convert);
    args.insert(args.end(), {"-depth", "8", "PNG24:" + (dir / out)});
    const CommandResult made = RunCommand(args, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  // A width x height picture of one drawing ("gradient:red-blue", "xc:white", ...); its path.
  std::string picture(const std::string& name, const std::string& drawing, int width, int height) {
    magick({"-size", std::to_string(width) + "x" + std::to_string(height), drawing}, name);
    return dir / name;
  }

  // The count of differing pixels; "0" for identical pictures.
  std::string differingPixels(const std::string& a, const std::string& b) {
    return RunCommand({compare, "-metric", "AE", a, b, "null:"}, dir.path()).err;
  }
  // The brightest channel value over the whole picture, "0" for an all-black one.
  std::string brightest(const std::string& path) {
    return RunCommand({convert, path, "-format", "%[fx:maxima]", "info:"}, dir.path()).out;
  }

  ScratchDir dir;
  std::string convert, compare;
};

}  // namespace kplhost::test
