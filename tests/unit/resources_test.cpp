// Module resources: string loading with truncation, icons loaded per handle and destroyed once.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>

#include "kpl/platform/memory.h"
#include "kpl/platform/resources.h"

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | g << 8 | b << 16;
}

// The 16 colours icons index, in the order of the classic 16-colour display palette.
constexpr uint32_t kStandard16[16] = {
    Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
    Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
    Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255)};

constexpr StringResource kStrings[] = {
    {1, "Fade"}, {100, "Fade in"}, {102, "Cross fade"}, {7, ""}, {200, "\xC9t\xE9 \x8A"}};

// 4 x 4 icon: every palette index once, in order.
constexpr uint8_t kAllColours[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr uint8_t kSmall[6] = {9, 12, 15, 0, 10, 7};  // 3 wide, 2 high

constexpr IconResource kIcons[] = {
    {10, 3, 2, kSmall}, {11, 4, 4, kAllColours}, {12, 2, 2, nullptr}};

const ModuleResources kModule{kStrings, std::size(kStrings), kIcons, std::size(kIcons)};

// A heap buffer of exactly `bytes`, so a write past its end is caught by the sanitizer.
std::unique_ptr<char[]> Buffer(size_t bytes) {
  auto b = std::make_unique<char[]>(bytes);
  std::memset(b.get(), 'X', bytes);
  return b;
}

struct StringCase {
  uint32_t id;
  int32_t bufferMax;
  int32_t length;
  const char* text;
};

void PrintTo(const StringCase& c, std::ostream* out) {
  *out << "string " << c.id << " into " << c.bufferMax << " bytes";
}

class LoadString : public ::testing::TestWithParam<StringCase> {};

TEST_P(LoadString, CopiesAtMostBufferMaxMinusOneAndTerminates) {
  const StringCase& c = GetParam();
  auto buffer = Buffer(size_t(c.bufferMax));
  EXPECT_EQ(LoadStringA(&kModule, c.id, buffer.get(), c.bufferMax), c.length);
  EXPECT_EQ(buffer[size_t(c.length)], '\0');
  EXPECT_EQ(std::string(buffer.get()), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadString,
    ::testing::Values(StringCase{1, 128, 4, "Fade"},   // fits
                      StringCase{1, 5, 4, "Fade"},     // fits exactly with its terminator
                      StringCase{1, 4, 3, "Fad"},      // one short: truncated
                      StringCase{102, 6, 5, "Cross"},  // truncated mid-text
                      StringCase{1, 1, 0, ""},         // room for the terminator only
                      StringCase{7, 16, 0, ""},        // an empty string
                      StringCase{999, 16, 0, ""},      // no such id: empty buffer
                      StringCase{200, 16, 5, "\xC9t\xE9 \x8A"}));  // code page bytes verbatim

TEST(LoadStringEdges, NoBufferOrNoRoomWritesNothing) {
  auto buffer = Buffer(4);
  EXPECT_EQ(LoadStringA(&kModule, 1, buffer.get(), 0), 0);
  EXPECT_EQ(LoadStringA(&kModule, 1, buffer.get(), -5), 0);
  EXPECT_EQ(std::string(buffer.get(), 4), "XXXX");
  EXPECT_EQ(LoadStringA(&kModule, 1, nullptr, 128), 0);
}

TEST(LoadStringEdges, NoModuleGivesAnEmptyBuffer) {
  auto buffer = Buffer(8);
  EXPECT_EQ(LoadStringA(nullptr, 1, buffer.get(), 8), 0);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(Icons, EveryLoadGivesItsOwnHandleDestroyedOnce) {
  const size_t live = LiveIcons();
  const uint32_t a = LoadIconA(&kModule, 10);
  const uint32_t b = LoadIconA(&kModule, 10);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(LiveIcons(), live + 2);

  EXPECT_EQ(DestroyIcon(a), 1);
  EXPECT_EQ(DestroyIcon(a), 0);  // already gone
  EXPECT_EQ(LiveIcons(), live + 1);
  int32_t w = -1, h = -1;
  EXPECT_EQ(GetIconSize(a, &w, &h), 0);
  EXPECT_EQ(GetIconSize(b, &w, &h), 1);  // the other handle is untouched
  EXPECT_EQ(DestroyIcon(b), 1);
  EXPECT_EQ(LiveIcons(), live);
}

TEST(Icons, SizeAndPixelsComeFromTheResource) {
  const uint32_t icon = LoadIconA(&kModule, 10);
  ASSERT_NE(icon, 0u);
  int32_t w = 0, h = 0;
  ASSERT_EQ(GetIconSize(icon, &w, &h), 1);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);

  uint32_t colours[6] = {};
  ASSERT_EQ(GetIconPixels(icon, colours, 6), 1);
  // Indexes 9, 12, 15, 0, 10, 7: red, blue, white, black, green, light grey; top row first.
  const uint32_t expected[6] = {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(255, 255, 255),
                                Rgb(0, 0, 0),   Rgb(0, 255, 0), Rgb(192, 192, 192)};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(colours[i], expected[i]) << "pixel " << i;

  uint32_t tooFew[5] = {};
  EXPECT_EQ(GetIconPixels(icon, tooFew, 5), 0);
  EXPECT_EQ(GetIconPixels(icon, nullptr, 6), 0);
  EXPECT_EQ(DestroyIcon(icon), 1);
}

TEST(Icons, PaletteIsTheStandardSixteenColours) {
  const uint32_t icon = LoadIconA(&kModule, 11);
  ASSERT_NE(icon, 0u);
  uint32_t colours[16] = {};
  ASSERT_EQ(GetIconPixels(icon, colours, 16), 1);
  const uint32_t* palette = IconPalette16();
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(colours[i], kStandard16[i]) << "index " << i;
    EXPECT_EQ(palette[i], kStandard16[i]) << "index " << i;
  }
  EXPECT_EQ(DestroyIcon(icon), 1);
}

TEST(Icons, MissingOrBadIconsGiveNoHandle) {
  const size_t live = LiveIcons();
  EXPECT_EQ(LoadIconA(&kModule, 99), 0u);  // no such id
  EXPECT_EQ(LoadIconA(&kModule, 12), 0u);  // entry without pixels
  EXPECT_EQ(LoadIconA(nullptr, 10), 0u);
  EXPECT_EQ(LiveIcons(), live);

  // A memory block is not an icon.
  const uint32_t block = GlobalAlloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(block, 0u);
  int32_t w = 0, h = 0;
  EXPECT_EQ(GetIconSize(block, &w, &h), 0);
  EXPECT_EQ(DestroyIcon(block), 0);
  EXPECT_EQ(GlobalSize(block), 4u);
  EXPECT_EQ(GlobalFree(block), 0u);
  EXPECT_EQ(DestroyIcon(0), 0);
}

}  // namespace
