// kplhost info on the first module: its types, flag words decoded by bit name, icon counts,
// and the icons written as pictures with the colours the platform reports.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_run.hpp"
#include "kpl/platform/resources.h"
#include "module_loader.hpp"
#include "png_io.hpp"

namespace kplhost::test {
namespace {

struct TypeListing {
  std::string index, name, flagsLine, iconsLine;
  bool operator==(const TypeListing&) const = default;
};

// The per-type blocks of the listing: "type N  Name", "  flags ...", "  icons N".
std::vector<TypeListing> typesOf(const std::string& listing) {
  std::vector<TypeListing> types;
  const std::vector<std::string> lines = Lines(listing);
  for (size_t i = 0; i + 2 < lines.size(); ++i) {
    const size_t nameAt = lines[i].find("  ");
    if (!lines[i].starts_with("type ") || nameAt == std::string::npos) continue;
    types.push_back(
        {lines[i].substr(5, nameAt - 5), lines[i].substr(nameAt + 2), lines[i + 1], lines[i + 2]});
  }
  return types;
}

TEST(InfoTest, ListsPannikelsFiveTypes) {
  const CommandResult result = RunKplhost({"info", "pannikel"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("\npiCount 5\n"), std::string::npos) << result.out;
  const std::vector<TypeListing> expected = {
      {"0", "Fade",
       "  flags 0x10073E03  pifVideo pifAudio pifWrite pifOneClip pifTwoClips pifAtStart pifAtEnd "
       "pifDialog pifLength pifFormat pifEffect",
       "  icons 9"},
      {"1", "Wipe",
       "  flags 0x10032A01  pifVideo pifWrite pifTwoClips pifAtEnd pifDialog "
       "pifLength pifEffect",
       "  icons 9"},
      {"2", "Mix",
       "  flags 0x10061A02  pifAudio pifWrite pifTwoClips pifAtStart pifLength "
       "pifFormat pifEffect",
       "  icons 9"},
      {"3", "Blue-Screen",
       "  flags 0x10032A01  pifVideo pifWrite pifTwoClips pifAtEnd pifDialog "
       "pifLength pifEffect",
       "  icons 9"},
      {"4", "Title",
       "  flags 0x10032601  pifVideo pifWrite pifOneClip pifAtEnd pifDialog "
       "pifLength pifEffect",
       "  icons 0"},
  };
  EXPECT_EQ(typesOf(result.out), expected);
}

TEST(InfoTest, ModuleByPathListsTheSameAsByName) {
  const CommandResult byName = RunKplhost({"info", "pannikel"});
  const CommandResult byPath =
      RunKplhost({"info", (std::filesystem::path(KPL_BIN_DIR) / "pannikel.kpl").string()});
  ASSERT_EQ(byPath.exitCode, 0) << byPath.err;
  EXPECT_FALSE(typesOf(byPath.out).empty());
  EXPECT_EQ(typesOf(byPath.out), typesOf(byName.out));
}

// Every icon picture holds the colours the platform gives for that icon, so a swap of red
// and blue or a flipped picture shows.
TEST(InfoTest, IconPicturesHoldTheIconColours) {
  const std::string identify = Peer(PEER_IDENTIFY);
  REQUIRE_PEER(identify);
  const ScratchDir dir;
  const CommandResult result = RunKplhost({"info", "pannikel", "--icons", dir / "icons"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("wrote 36 icon pictures"), std::string::npos) << result.out;

  const Module module((std::filesystem::path(KPL_BIN_DIR) / "pannikel.kpl").string());
  struct IconFile {
    uint32_t type, index;
    const char* file;
  };
  for (const IconFile icon :
       {IconFile{0, 0, "type0-fade-icon0.png"}, IconFile{0, 4, "type0-fade-icon4.png"},
        IconFile{1, 8, "type1-wipe-icon8.png"}, IconFile{2, 8, "type2-mix-icon8.png"}}) {
    SCOPED_TRACE(icon.file);
    const std::string path = dir / ("icons/" + std::string(icon.file));
    const CommandResult peer = RunCommand({identify, "-format", "%m %wx%h", path});
    EXPECT_EQ(peer.out, "PNG 32x32");

    ASSERT_EQ(module.piInit(icon.type) & 0xFF, 1u);
    const uint32_t handle = module.piIcon(icon.type, icon.index);
    std::vector<uint32_t> colours(32 * 32);
    ASSERT_TRUE(GetIconPixels(handle, colours.data(), colours.size()));
    module.piDone(icon.type);
    const RgbImage picture = ReadPng(path);
    ASSERT_EQ(picture.width(), 32);
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x) {
        const uint32_t c = colours[size_t(y) * 32 + size_t(x)];
        ASSERT_EQ(picture.at(x, y), (Rgb{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)}))
            << "at " << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace kplhost::test
