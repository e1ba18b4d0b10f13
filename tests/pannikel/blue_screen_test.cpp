// Blue-Screen through the exports: the key bounds and the keying step, the COLOR and
// TOLERANCE lines, the instance name taken from the type's name buffer, and the icon
// animation counter.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "pannikel_fixture.hpp"
#include "pannikel_icons.hpp"

namespace pannikel_test {
namespace {

class BlueScreen : public Pannikel {
 protected:
  // An instance with its settings loaded from lines.
  uint32_t keyer(std::initializer_list<const char*> lines) {
    const uint32_t local = instance(kBlueScreen, 0x801);
    for (const char* line : lines) {
      char text[64];
      std::strcpy(text, line);
      EXPECT_EQ(m().piLocalLoadData(kBlueScreen, local, 0, text), -1) << line;
    }
    return local;
  }

  // One step over a background of `backgroundColour` and the given foreground.
  Picture key(uint32_t local, const kpl::OwnedBlock& foreground, uint32_t backgroundColour) {
    kpl::BlockLock front(foreground.get());
    const auto header = kpl::ReadHeader(front.get());
    const auto background =
        MakeFrame(header.width, header.height, [&](int, int) { return backgroundColour; });
    kpl::BlockLock back(background.get());
    EXPECT_EQ(m().piLocalSetData(kBlueScreen, local, back.get(), 0, front.get(), 0), -1);
    EXPECT_EQ(m().piLocalProcessData(kBlueScreen, local), -1);
    return TakePicture(m().piLocalGetData(kBlueScreen, local));
  }

  std::vector<std::string> savedLines(uint32_t local) {
    std::vector<std::string> lines;
    char text[64] = {};
    for (int32_t index = 0; m().piLocalSaveData(kBlueScreen, local, index, text); ++index)
      lines.push_back(text);
    return lines;
  }
};

constexpr uint32_t kBackground = 0x00FF00;  // pure green shows through

// Which foreground colours a keyer replaces by the background.
struct KeyCase {
  uint32_t colour;
  bool keyed;
};

void ExpectKeying(BlueScreen& test, uint32_t local, const std::vector<KeyCase>& colours,
                  const std::function<Picture(uint32_t, const kpl::OwnedBlock&, uint32_t)>& key) {
  // One pixel per colour, in a row of odd width so rows are padded.
  const auto foreground =
      MakeFrame(int32_t(colours.size()), 1, [&](int x, int) { return colours[size_t(x)].colour; });
  const Picture picture = key(local, foreground, kBackground);
  ASSERT_EQ(picture.width, int32_t(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i)
    EXPECT_EQ(picture.at(int32_t(i), 0), colours[i].keyed ? kBackground : colours[i].colour)
        << std::hex << "colour 0x" << colours[i].colour;
}

TEST_F(BlueScreen, KeyBoundsOfTheWorkedExamples) {
  struct Case {
    const char* what;
    std::initializer_list<const char*> lines;
    std::vector<KeyCase> colours;
  };
  const auto rgb = kpl::ColourValue;
  const Case cases[] = {
      {"defaults: blue 128, tolerance 20, t = 25: red and green to 25, blue 103 to 153",
       {},
       {{rgb(0, 0, 128), true},
        {rgb(25, 25, 103), true},
        {rgb(25, 0, 153), true},
        {rgb(0, 25, 153), true},
        {rgb(26, 0, 128), false},
        {rgb(0, 26, 128), false},
        {rgb(0, 0, 102), false},
        {rgb(0, 0, 154), false},
        {rgb(255, 255, 255), false},
        {rgb(0, 0, 0), false}}},
      {"tolerance 0: the key colour exactly",
       {"TOLERANCE=0"},
       {{rgb(0, 0, 128), true},
        {rgb(0, 0, 127), false},
        {rgb(0, 0, 129), false},
        {rgb(1, 0, 128), false},
        {rgb(0, 1, 128), false}}},
      {"tolerance 100: t = 128, red and green 0 to 128, blue 0 to 255",
       {"TOLERANCE=100"},
       {{rgb(128, 128, 0), true},
        {rgb(128, 128, 255), true},
        {rgb(0, 0, 0), true},
        {rgb(129, 0, 128), false},
        {rgb(0, 129, 128), false}}},
      {"COLOR=255: pure red with t = 25",
       {"COLOR=255"},
       {{rgb(255, 0, 0), true},
        {rgb(230, 25, 25), true},
        {rgb(229, 0, 0), false},
        {rgb(0, 0, 128), false}}},
      {"a key colour's top byte plays no part",
       {"COLOR=$FF00FF00", "TOLERANCE=0"},
       {{rgb(0, 255, 0), true}, {rgb(0, 254, 0), false}}},
      {"a negative tolerance keys nothing",
       {"TOLERANCE=-1"},
       {{rgb(0, 0, 128), false}, {rgb(0, 0, 127), false}}},
      {"a tolerance beyond 32-bit products keys everything",
       {"TOLERANCE=2147483647"},
       {{rgb(0, 0, 0), true}, {rgb(255, 255, 255), true}, {rgb(9, 200, 77), true}}},
      {"and the lowest one keys nothing",
       {"TOLERANCE=-2147483648"},
       {{rgb(0, 0, 128), false}, {rgb(255, 255, 255), false}}},
      {"t = 33 x 128 / 100 = 42 (toward zero)",
       {"COLOR=8421504", "TOLERANCE=33"},  // grey 128
       {{rgb(86, 170, 128), true}, {rgb(85, 128, 128), false}, {rgb(128, 171, 128), false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectKeying(
        *this, keyer(c.lines), c.colours,
        [&](uint32_t local, const kpl::OwnedBlock& fg, uint32_t bg) { return key(local, fg, bg); });
  }
}

TEST_F(BlueScreen, WholeFramesKeyedOrKeptAndWideRowsMixed) {
  const uint32_t local = keyer({});
  const auto keyColour = MakeFrame(9, 3, [](int, int) { return 0x800000u; });
  const auto background = MakeFrame(9, 3, [](int x, int y) { return uint32_t(x * 0x10203 + y); });
  const auto plain = MakeFrame(9, 3, [](int x, int y) { return uint32_t(0x405060 + x + 16 * y); });
  kpl::BlockLock back(background.get()), keyPixels(keyColour.get()), plainPixels(plain.get());
  for (auto [front, expected] :
       {std::pair{keyPixels.get(), &background}, std::pair{plainPixels.get(), &plain}}) {
    ASSERT_EQ(m().piLocalSetData(kBlueScreen, local, back.get(), 0, front, 0), -1);
    ASSERT_EQ(m().piLocalProcessData(kBlueScreen, local), -1);
    const Picture picture = TakePicture(m().piLocalGetData(kBlueScreen, local));
    EXPECT_EQ(picture.pixels, PictureOf(*expected).pixels);
  }

  // A row long enough for the wide path and a ragged end: every third pixel is keyed.
  constexpr int32_t kWide = 161;
  const auto mixed = MakeFrame(kWide, 2, [](int x, int y) {
    return (x + y) % 3 == 0 ? kpl::ColourValue(10, 20, 140) : kpl::ColourValue(10, 20, uint8_t(x));
  });
  const Picture picture = key(local, mixed, kBackground);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < kWide; ++x) {
      const bool keyed = (x + y) % 3 == 0 || (x >= 103 && x <= 153);
      ASSERT_EQ(picture.at(x, y), keyed ? kBackground : kpl::ColourValue(10, 20, uint8_t(x)))
          << x << "," << y;
    }
}

TEST_F(BlueScreen, SettingsLines) {
  const uint32_t local = instance(kBlueScreen, 0x801);
  EXPECT_EQ(m().piLocalFlags(kBlueScreen, local), 0x10032A01u);
  EXPECT_EQ(savedLines(local), (std::vector<std::string>{"COLOR=8388608", "TOLERANCE=20"}));
  char third[64] = {};
  EXPECT_EQ(m().piLocalSaveData(kBlueScreen, local, 2, third), 0);
  EXPECT_STREQ(third, "TOLERANCE=20") << "index 2 writes a TOLERANCE line all the same";
  EXPECT_EQ(m().piLocalSaveData(kBlueScreen, local, 0, nullptr), 0);

  struct Case {
    const char* line;
    int32_t index;  // not used by the type
    bool answer;
    std::vector<std::string> saved;
    const char* callersText;
  };
  const Case cases[] = {
      {"COLOR=255", 0, true, {"COLOR=255", "TOLERANCE=20"}, "color=255"},
      {"TOLERANCE=35", 1, true, {"COLOR=8388608", "TOLERANCE=35"}, "tolerance=35"},
      {"Color=x10", 9, true, {"COLOR=16", "TOLERANCE=20"}, "color=x10"},
      {"WIDTH=5", 0, true, {"COLOR=8388608", "TOLERANCE=20"}, "width=5"},
      {"END", 2, false, {"COLOR=8388608", "TOLERANCE=20"}, "end"},
      {"end ", 2, true, {"COLOR=8388608", "TOLERANCE=20"}, "end "},
      // Both keys: the tolerance is read from what follows the colour's "=".
      {"COLOR=7 TOLERANCE=9", 0, true, {"COLOR=7", "TOLERANCE=9"}, "color=7 tolerance=9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const uint32_t fresh = instance(kBlueScreen, 0x801);
    char text[64];
    std::strcpy(text, c.line);
    EXPECT_EQ(m().piLocalLoadData(kBlueScreen, fresh, c.index, text), c.answer ? -1 : 0);
    EXPECT_STREQ(text, c.callersText);
    EXPECT_EQ(savedLines(fresh), c.saved);
  }

  // Saved lines given back restore the settings.
  const uint32_t source = keyer({"COLOR=123456", "TOLERANCE=77"});
  const uint32_t target = instance(kBlueScreen, 0x801);
  for (std::string line : savedLines(source)) {
    line.push_back('\0');
    EXPECT_EQ(m().piLocalLoadData(kBlueScreen, target, 0, line.data()), -1);
  }
  EXPECT_EQ(savedLines(target), (std::vector<std::string>{"COLOR=123456", "TOLERANCE=77"}));
}

TEST_F(BlueScreen, InputsAndResults) {
  const auto a = MakeFrame(4, 4, [](int, int) { return 0x111111u; });
  const auto b = MakeFrame(4, 4, [](int, int) { return 0x800000u; });
  const auto small = MakeFrame(4, 3, [](int, int) { return 0x800000u; });
  kpl::BlockLock back(a.get()), front(b.get()), low(small.get());
  const uint32_t local = keyer({});
  EXPECT_EQ(m().piLocalSetData(kBlueScreen, local, back.get(), 0, nullptr, 0), 0);
  EXPECT_EQ(m().piLocalProcessData(kBlueScreen, local), 0);
  EXPECT_EQ(m().piLocalSetData(kBlueScreen, local, nullptr, 0, front.get(), 0), 0);
  EXPECT_EQ(m().piLocalProcessData(kBlueScreen, local), 0);
  EXPECT_EQ(m().piLocalSetData(kBlueScreen, local, back.get(), 0, low.get(), 0), -1);
  EXPECT_EQ(m().piLocalProcessData(kBlueScreen, local), 0) << "a smaller foreground";
  EXPECT_EQ(m().piLocalGetData(kBlueScreen, local), 0u);

  ASSERT_EQ(m().piLocalSetData(kBlueScreen, local, back.get(), 0, front.get(), 0), -1);
  ASSERT_EQ(m().piLocalProcessData(kBlueScreen, local), -1);
  const uint32_t one = m().piLocalGetData(kBlueScreen, local);
  ASSERT_EQ(m().piLocalProcessData(kBlueScreen, local), -1);
  const uint32_t two = m().piLocalGetData(kBlueScreen, local);
  EXPECT_NE(one, two);
  EXPECT_EQ(GlobalFlags(two) & GMEM_MOVEABLE, GMEM_MOVEABLE);
  const Picture first = TakePicture(one), second = TakePicture(two);
  EXPECT_EQ(first.pixels, second.pixels) << "keying does not depend on progress";
  EXPECT_EQ(first.pixels, PictureOf(a).pixels);
  EXPECT_EQ(first.bitCount, 24);

  // A format is no case of this type.
  const kpl::WaveFormat format = Pcm(2, 16);
  EXPECT_EQ(m().piLocalSetFormat(kBlueScreen, local, &format), 0);
}

// The instance name is the type's name buffer as piName last left it, so a freshly loaded
// module answers an empty name until piName has run.
TEST(BlueScreenName, ComesFromTheBufferPiNameFilled) {
  // A copy of the module has its own buffers, whatever other tests in this process did.
  const std::filesystem::path copy = std::filesystem::temp_directory_path() /
                                     ("pannikel-name-" + std::to_string(getpid()) + ".kpl");
  std::filesystem::copy_file(std::string(KPL_BIN_DIR) + "/pannikel.kpl", copy,
                             std::filesystem::copy_options::overwrite_existing);
  {
    kplhost::Module m(copy.string());
    const uint32_t local = m.piLocalInit(kBlueScreen, 0x801);
    ASSERT_NE(local, 0u);
    EXPECT_STREQ(m.piLocalName(kBlueScreen, local), "");
    EXPECT_STREQ(m.piLocalName(kBlueScreen, 0), "");
    EXPECT_STREQ(m.piName(kBlueScreen), "Blue-Screen");
    EXPECT_STREQ(m.piLocalName(kBlueScreen, local), "Blue-Screen");
    EXPECT_EQ(m.piLocalName(kBlueScreen, local), m.piName(kBlueScreen)) << "one buffer";
    m.piLocalDone(kBlueScreen, local);
  }
  std::filesystem::remove(copy);
}

// The colours of icon resource `id` as the platform draws them.
std::vector<uint32_t> ResourceColours(uint32_t id) {
  std::vector<uint32_t> colours;
  for (const IconResource& icon : kpl::pannikel::kIcons)
    if (icon.id == id)
      for (size_t i = 0; i < size_t(icon.width) * icon.height; ++i)
        colours.push_back(IconPalette16()[icon.pixels[i]]);
  return colours;
}

std::vector<uint32_t> IconColours(uint32_t handle) {
  std::vector<uint32_t> colours(32 * 32);
  EXPECT_TRUE(GetIconPixels(handle, colours.data(), colours.size()));
  return colours;
}

TEST_F(BlueScreen, IconIndexesOtherThanZeroCycleThroughFramesOneToSeven) {
  const size_t before = LiveIcons();
  ASSERT_EQ(m().piInit(kBlueScreen) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before + 9);
  const uint32_t still = m().piIcon(kBlueScreen, 0);
  EXPECT_EQ(IconColours(still), ResourceColours(40));
  // piIcon(3, 5) three times after piInit: frames 1, 2, 3.
  std::vector<uint32_t> handles;
  for (uint32_t frame = 1; frame <= 3; ++frame) {
    handles.push_back(m().piIcon(kBlueScreen, 5));
    EXPECT_EQ(IconColours(handles.back()), ResourceColours(40 + frame)) << "frame " << frame;
  }
  EXPECT_EQ(m().piIcon(kBlueScreen, 0), still) << "index 0 does not move the animation";
  for (uint32_t index : {8u, 1u, 100u, 2u})  // frames 4 to 7, whatever the index
    handles.push_back(m().piIcon(kBlueScreen, index));
  EXPECT_EQ(IconColours(handles[6]), ResourceColours(47));
  EXPECT_EQ(m().piIcon(kBlueScreen, 8), handles[0]) << "after frame 7 comes frame 1";
  EXPECT_EQ(std::set<uint32_t>(handles.begin(), handles.end()).size(), 7u);
  EXPECT_EQ(std::count(handles.begin(), handles.end(), still), 0);

  // piInit starts the animation again at frame 1 (icons are loaded anew).
  ASSERT_EQ(m().piInit(kBlueScreen) & 0xFF, 1u);
  EXPECT_EQ(IconColours(m().piIcon(kBlueScreen, 3)), ResourceColours(41));
  EXPECT_EQ(LiveIcons(), before + 9);
  m().piDone(kBlueScreen);
  EXPECT_EQ(LiveIcons(), before);
  EXPECT_EQ(m().piIcon(kBlueScreen, 0), 0u);
}

}  // namespace
}  // namespace pannikel_test
