// Host pieces where faults hide: numbered file names, frames handed back by a module, and the
// blocks and icons a run must give back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "demo_material.hpp"
#include "errors.hpp"
#include "host_frame.hpp"
#include "kpl/platform/memory.h"
#include "kpl/platform/resources.h"
#include "kpl/support/dib_lib.hpp"
#include "module_types.hpp"
#include "numbered_path.hpp"
#include "sound_effect.hpp"
#include "video_effect.hpp"

namespace kplhost {
namespace {

TEST(NumberedPathTest, FormatsTheNumberLikePrintf) {
  struct Case {
    const char* pattern;
    uint32_t number;
    const char* expected;
  } cases[] = {{"out/step%03d.png", 7, "out/step007.png"},
               {"%d.png", 12, "12.png"},
               {"f%2i", 3, "f 3"},
               {"100%%-%u", 4, "100%-4"},
               {"%03d", 12345, "12345"}};
  for (const Case& c : cases) {
    const auto path = NumberedPath::Parse(c.pattern);
    ASSERT_TRUE(path) << c.pattern;
    EXPECT_EQ(path->at(c.number), c.expected) << c.pattern;
  }
  EXPECT_FALSE(NumberedPath::Parse("plain.png"));
}

TEST(NumberedPathTest, RefusesAnythingButOneNumber) {
  for (const char* pattern : {"%s.png", "%d-%d.png", "only %% literal", "x%", "%-3d", "%ld",
                              "%99999999999999999999d", "%n"})
    EXPECT_THROW(NumberedPath::Parse(pattern), UsageError) << pattern;
}

// A 24-bit frame of the given size as a module would hand it out, header and pixels.
std::vector<uint8_t> frameBytes(int32_t width, int32_t height, uint16_t bitCount = 24) {
  kpl::BitmapInfoHeader header{};
  header.size = kpl::kBitmapHeaderBytes;
  header.width = width;
  header.height = height;
  header.planes = 1;
  header.bitCount = bitCount;
  std::vector<uint8_t> bytes(kpl::kBitmapHeaderBytes + kpl::RowBytes24(width) * height);
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

TEST(HostFrameTest, PictureSurvivesTheTripThroughAFrame) {
  RgbImage picture(5, 3);  // 15-byte rows padded to 16
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x)
      picture.at(x, y) = {uint8_t(x * 40), uint8_t(y * 90), 7};
  const HostFrame frame(picture);
  EXPECT_EQ(kpl::ReadPixel24(frame.address(), 4, 0), kpl::ColourValue(160, 0, 7));
  const auto* bytes = static_cast<const uint8_t*>(frame.address());
  EXPECT_EQ(ImageFromFrame({bytes, size_t(frame.bytes())}), picture);
}

TEST(HostFrameTest, RefusesResultsThatAreNotWholeFrames) {
  const std::vector<uint8_t> whole = frameBytes(9, 9);
  const std::vector<uint8_t> truncated(whole.begin(), whole.end() - 1);
  std::vector<uint8_t> huge = frameBytes(2, 2);
  reinterpret_cast<kpl::BitmapInfoHeader*>(huge.data())->height = 1 << 30;
  const std::vector<uint8_t> cases[] = {std::vector<uint8_t>(39), truncated, huge,
                                        frameBytes(4, 4, 8), frameBytes(0, 4)};
  for (const std::vector<uint8_t>& bytes : cases)
    EXPECT_THROW(ImageFromFrame(bytes), Failure) << bytes.size() << " bytes";
}

// Result blocks, input frames, instances and icons all go back, also when a step is refused
// halfway through a run.
TEST(EffectRunTest, RunsLeaveNoBlocksOrIconsBehind) {
  const Module module(std::string(KPL_BIN_DIR) + "/pannikel.kpl");
  const size_t blocksBefore = GlobalLiveBlocks(), iconsBefore = LiveIcons();
  {
    PictureClip large(RgbImage(7, 5, {90, 90, 90})), small(RgbImage(3, 2));
    EffectJob video;
    video.instanceFlags = kpl::pifVideo | kpl::pifOneClip | kpl::pifAtStart;
    video.length = video.steps = 3;
    int pictures = 0;
    RunVideoEffect(module, video, large, nullptr, [&](int32_t, RgbImage) { ++pictures; });
    EXPECT_EQ(pictures, 3);

    // Fade refuses a second picture smaller than the first.
    video.instanceFlags = kpl::pifVideo | kpl::pifTwoClips;
    EXPECT_THROW(RunVideoEffect(module, video, large, &small, [](int32_t, RgbImage) {}), Failure);

    const SoundClip tone = SineTone(440, 0.1, 8000, 1);
    EffectJob sound;
    sound.instanceFlags = kpl::pifAudio | kpl::pifOneClip | kpl::pifAtStart;
    sound.length = int32_t(tone.frames());
    EXPECT_EQ(RunSoundEffect(module, sound, tone, nullptr, 300).sound.frames(), tone.frames());
  }
  EXPECT_EQ(GlobalLiveBlocks(), blocksBefore);
  EXPECT_EQ(LiveIcons(), iconsBefore);
}

TEST(DisplayTextTest, ModuleTextsReachTheTerminalAsUtf8) {
  struct Case {
    std::string_view moduleText;  // code page 1252
    std::string_view shown;
  } cases[] = {{"Wipe (90\xB0)", "Wipe (90\u00B0)"},
               {"plain ASCII ~", "plain ASCII ~"},
               {"\x80 \x99 \x9F", "\u20AC \u2122 \u0178"},
               {"\xE6\xF8\xE5 \xFF", "\u00E6\u00F8\u00E5 \u00FF"},
               {"\x81", "\u0081"},  // undefined in the code page: kept as Latin-1
               {"", ""}};
  for (const Case& c : cases)
    EXPECT_EQ(DisplayText(c.moduleText), c.shown) << c.moduleText;
}

}  // namespace
}  // namespace kplhost
