// The module's type table, icons, instance words, calls a type does not answer, settings
// lines and instance names, through the exports.
#include <set>

#include "kpl/platform/resources.h"
#include "transvella_fixture.hpp"

namespace transvella_test {
namespace {

using Module = Transvella;

TEST_F(Module, TypeTable) {
  struct Row {
    const char* name;
    uint32_t flags;
    uint32_t instanceBits;
  };
  const Row rows[] = {
      {"Log. fade in", 0x10061603, 0x10061600},
      {"Log. fade out", 0x10062603, 0x10062600},
      {"Log. cross fade", 0x10062A03, 0x10062A00},
      {"Log. fade in/fade out", 0x10062A03, 0x10062A00},
      {"Push", 0x10032A01, 0x10032A00},
      {"Slide", 0x10032A01, 0x10032A00},
      {"Snake Wipe", 0x10032A01, 0x10032A00},
      {"Curtain Slide", 0x10032A01, 0x10032A00},
      {"Chessboard", 0x10032A01, 0x10032A00},
  };
  ASSERT_EQ(m().piCount(), 9u);
  for (uint32_t type = 0; type < 9; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(m().piInit(type) & 0xFF, 1u);
    EXPECT_STREQ(m().piName(type), rows[type].name);
    EXPECT_EQ(m().piFlags(type), rows[type].flags);
    for (uint32_t hostFlags : {0x0u, 0x1u, 0x2u, 0x400002u}) {
      const uint32_t local = instance(type, hostFlags);
      EXPECT_EQ(m().piLocalFlags(type, local), hostFlags | rows[type].instanceBits);
    }
    EXPECT_EQ(m().piDone(type) & 0xFF, 1u);
  }
  EXPECT_EQ(m().piInit(9), 0u);
  EXPECT_EQ(m().piDone(9), 0u);
  EXPECT_EQ(m().piName(9), nullptr);
  EXPECT_EQ(m().piFlags(9), 0u);
  EXPECT_EQ(m().piLocalInit(9, 0), 0u);
}

// The palette indexes an icon uses (the platform's 16-colour palette).
std::set<int> IconColours(uint32_t icon) {
  int32_t width = 0, height = 0;
  EXPECT_EQ(GetIconSize(icon, &width, &height), 1);
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 32);
  std::vector<uint32_t> pixels(32 * 32);
  EXPECT_NE(GetIconPixels(icon, pixels.data(), pixels.size()), 0);
  const uint32_t* palette = IconPalette16();
  std::set<int> used;
  for (uint32_t p : pixels)
    for (int i = 0; i < 16; ++i)
      if (palette[i] == p) used.insert(i);
  return used;
}

TEST_F(Module, IconsShowTheClipsAtTheStartAndEndOfEachEffect) {
  // Palette indexes: black 0; the first clip teal 6, aqua 14, white 15; the second clip navy 4,
  // blue 12, yellow 11.
  const std::set<int> black = {0}, in = {6, 14, 15}, out = {4, 11, 12};
  struct Case {
    uint32_t type;
    std::set<int> first, last;  // icons 1 and 8: the animation's start and end
  };
  const Case cases[] = {
      {kFadeIn, black, in},  {kFadeOut, in, black},    {kCrossFade, in, out},
      {kInOut, in, out},     {kPush, in, out},         {kSlide, in, out},
      {kSnakeWipe, in, out}, {kCurtainSlide, in, out}, {kChessboard, in, out},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_EQ(m().piInit(c.type) & 0xFF, 1u);
    std::set<uint32_t> handles;
    for (uint32_t index = 0; index < 9; ++index) {
      const uint32_t icon = m().piIcon(c.type, index);
      ASSERT_NE(icon, 0u) << index;
      handles.insert(icon);
    }
    EXPECT_EQ(handles.size(), 9u);
    EXPECT_EQ(IconColours(m().piIcon(c.type, 1)), c.first);
    EXPECT_EQ(IconColours(m().piIcon(c.type, 8)), c.last);
    EXPECT_EQ(m().piIcon(c.type, 9), 0u);
    ASSERT_EQ(m().piDone(c.type) & 0xFF, 1u);
  }
}

TEST_F(Module, EveryFadeTypeLoadsAndDestroysTheIconsOfAllFour) {
  const size_t before = LiveIcons();
  ASSERT_EQ(m().piInit(kCrossFade) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before + 36);
  for (uint32_t type : {kFadeIn, kFadeOut, kCrossFade, kInOut})
    EXPECT_NE(m().piIcon(type, 0), 0u) << type;
  EXPECT_EQ(m().piIcon(kPush, 0), 0u) << "a transition's icons come with its own start";
  ASSERT_EQ(m().piInit(kFadeIn) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before + 36) << "a second start replaces the icons";
  ASSERT_EQ(m().piDone(kInOut) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before);
  EXPECT_EQ(m().piIcon(kFadeIn, 0), 0u);

  ASSERT_EQ(m().piInit(kSlide) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before + 9);
  ASSERT_EQ(m().piDone(kSlide) & 0xFF, 1u);
  EXPECT_EQ(LiveIcons(), before);
}

TEST_F(Module, CallsEachKindOfTypeDoesNotAnswer) {
  const kpl::WaveFormat format = Pcm(2, 16);
  char text[64] = "DEGREE=90";
  for (uint32_t type = kPush; type <= kChessboard; ++type) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type, 0x2);
    EXPECT_EQ(m().piLocalSetFormat(type, local, &format), 0);
    EXPECT_EQ(m().piLocalDlg(type, local, 0), 0);
    EXPECT_EQ(m().piLocalLength(type, local, 25), -1);
  }
  for (uint32_t type = kFadeIn; type <= kInOut; ++type) {
    SCOPED_TRACE(type);
    const uint32_t video = instance(type, 0x1), sound = instance(type, 0x2);
    EXPECT_EQ(m().piLocalSetFormat(type, video, &format), 0) << "video takes no sound format";
    EXPECT_EQ(m().piLocalSetFormat(type, sound, &format), -1);
    EXPECT_EQ(m().piLocalDlg(type, sound, 0), 0);
    EXPECT_EQ(m().piLocalSaveData(type, sound, 0, text), 0);
    EXPECT_EQ(m().piLocalLoadData(type, sound, 0, text), 0);
    EXPECT_STREQ(text, "DEGREE=90") << "the text is not touched";
    EXPECT_EQ(m().piLocalLength(type, sound, 25), -1);
  }
}

TEST_F(Module, SetDataNeedsBothFramesForTransitionsOnly) {
  int a = 0, b = 0;
  for (uint32_t type = 0; type < 9; ++type) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type);
    const int32_t one = type >= kPush ? 0 : -1;
    EXPECT_EQ(m().piLocalSetData(type, local, &a, 1, &b, 2), -1);
    EXPECT_EQ(m().piLocalSetData(type, local, &a, 1, nullptr, 0), one);
    EXPECT_EQ(m().piLocalSetData(type, local, nullptr, 0, &b, 2), one);
  }
}

TEST_F(Module, SettingsLinesByIndex) {
  struct Case {
    uint32_t type;
    std::vector<std::string> fresh;  // the lines a new instance saves
  };
  const Case cases[] = {
      {kPush, {"DEGREE=0"}},
      {kSlide, {"DEGREE=0", "REVERSE=0"}},
      {kCurtainSlide, {"DEGREE=0", "REVERSE=0"}},
      {kSnakeWipe, {"DEGREE=0", "WIDTH=10", "HEIGHT=10"}},
      {kChessboard, {"DEGREE=0", "WIDTH=10", "HEIGHT=10"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const uint32_t local = instance(c.type);
    for (size_t i = 0; i < c.fresh.size(); ++i)
      EXPECT_EQ(saved(c.type, local, int32_t(i)), c.fresh[i]);
    const int32_t count = int32_t(c.fresh.size());
    EXPECT_EQ(saved(c.type, local, count), "(false)");
    EXPECT_EQ(saved(c.type, local, -1), "(false)");
    char line[] = "DEGREE=7";
    EXPECT_EQ(m().piLocalLoadData(c.type, local, count, line), 0);
    EXPECT_EQ(m().piLocalLoadData(c.type, local, -1, line), 0);
    EXPECT_EQ(saved(c.type, local, 0), "DEGREE=0") << "a line beyond the list changes nothing";
    EXPECT_EQ(m().piLocalLoadData(c.type, local, 0, nullptr), 0);
    EXPECT_EQ(m().piLocalSaveData(c.type, local, 0, nullptr), 0);

    // Saved lines given back restore the settings on a new instance.
    const uint32_t source = instance(c.type);
    std::vector<std::string> lines = {"DEGREE=-270", "REVERSE=1", "HEIGHT=33"};
    lines.resize(c.fresh.size());
    load(c.type, source, lines);
    std::vector<std::string> kept;
    for (int32_t i = 0; i < count; ++i)
      kept.push_back(saved(c.type, source, i));
    const uint32_t target = instance(c.type);
    load(c.type, target, kept);
    for (int32_t i = 0; i < count; ++i)
      EXPECT_EQ(saved(c.type, target, i), kept[size_t(i)]);
  }
}

TEST_F(Module, LoadingReadsTheNumberAfterTheFirstEqualsSign) {
  struct Case {
    uint32_t type;
    int32_t index;
    const char* line;
    const char* lowered;  // the caller's buffer afterwards
    int32_t savedIndex;
    const char* saved;
  };
  const Case cases[] = {
      {kPush, 0, "degree=0x5A", "degree=0x5a", 0, "DEGREE=90"},
      {kPush, 0, "DEGREE=90x", "degree=90x", 0, "DEGREE=90"},
      {kPush, 0, "DEGREE=", "degree=", 0, "DEGREE=0"},
      {kPush, 0, "DEGREE=-45", "degree=-45", 0, "DEGREE=-45"},
      {kPush, 0, "DEGREE=-4x", "degree=-4x", 0, "DEGREE=4"},
      {kPush, 0, "DEGREE= $B4", "degree= $b4", 0, "DEGREE=180"},
      {kPush, 0, "270", "270", 0, "DEGREE=270"},  // no "=": the whole line is the value
      {kPush, 0, "A=B=9", "a=b=9", 0, "DEGREE=0"},
      {kSlide, 1, "REVERSE=1", "reverse=1", 1, "REVERSE=1"},
      {kSlide, 1, "REVERSE=2", "reverse=2", 1, "REVERSE=0"},
      {kSlide, 1, "REVERSE=0x1", "reverse=0x1", 1, "REVERSE=1"},
      {kSlide, 0, "REVERSE=1", "reverse=1", 0, "DEGREE=1"},  // the index decides the field
      {kCurtainSlide, 1, "DEGREE=1", "degree=1", 1, "REVERSE=1"},
      {kSnakeWipe, 1, "HEIGHT=12", "height=12", 1, "WIDTH=12"},
      {kChessboard, 2, "WIDTH=-3", "width=-3", 2, "HEIGHT=-3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const uint32_t local = instance(c.type);
    char text[64];
    std::strcpy(text, c.line);
    EXPECT_EQ(m().piLocalLoadData(c.type, local, c.index, text), -1);
    EXPECT_STREQ(text, c.lowered);
    EXPECT_EQ(saved(c.type, local, c.savedIndex), c.saved);
  }
  // REVERSE=2 clears a reverse that was set.
  const uint32_t local = instance(kSlide);
  load(kSlide, local, {"DEGREE=0", "REVERSE=1"});
  load(kSlide, local, {"DEGREE=0", "REVERSE=2"});
  EXPECT_EQ(saved(kSlide, local, 1), "REVERSE=0");
}

TEST_F(Module, InstanceNamesShowTheSettings) {
  struct Case {
    uint32_t type;
    std::vector<std::string> lines;
    const char* name;
  };
  const Case cases[] = {
      {kPush, {}, "Push (0\xB0)"},
      {kPush, {"DEGREE=90"}, "Push (90\xB0)"},
      {kSlide, {"DEGREE=45"}, "Slide In (45\xB0)"},
      {kSlide, {"DEGREE=180", "REVERSE=1"}, "Slide Out (180\xB0)"},
      {kCurtainSlide, {}, "Curtain Slide Out (Hor.)"},
      {kCurtainSlide, {"DEGREE=90", "REVERSE=1"}, "Curtain Slide In (Ver.)"},
      {kCurtainSlide, {"DEGREE=45"}, "Curtain Slide Out (Ver.)"},
      {kCurtainSlide, {"DEGREE=180"}, "Curtain Slide Out (Ver.)"},
      {kChessboard, {}, "Chessboard (0\xB0,10x10)"},
      {kSnakeWipe, {"DEGREE=270", "WIDTH=8", "HEIGHT=6"}, "Snake Wipe (270\xB0,8x6)"},
      {kSnakeWipe,
       {"DEGREE=-2147483648", "WIDTH=-2147483648", "HEIGHT=-2147483648"},
       "Snake Wipe (-2147483648\xB0,-2147483648x-2147483648)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t local = instance(c.type);
    load(c.type, local, c.lines);
    EXPECT_STREQ(m().piLocalName(c.type, local), c.name);
    EXPECT_STREQ(m().piLocalName(c.type, 0), m().piName(c.type)) << "null handle: the bare name";
  }
}

TEST_F(Module, FadeNamesAreTheTypeNames) {
  const char* names[] = {"Log. fade in", "Log. fade out", "Log. cross fade",
                         "Log. fade in/fade out"};
  for (uint32_t type = kFadeIn; type <= kInOut; ++type) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type, 0x2);
    EXPECT_STREQ(m().piName(type), names[type]);
    EXPECT_STREQ(m().piLocalName(type, local), names[type]);
    EXPECT_STREQ(m().piLocalName(type, 0), names[type]);
  }
}

TEST_F(Module, BadHandlesAnswerZero) {
  const uint32_t small = GlobalAlloc(GMEM_MOVEABLE, 8);
  for (uint32_t type = 0; type < 9; ++type) {
    SCOPED_TRACE(type);
    for (uint32_t handle : {0u, 0xDEADu, small}) {
      EXPECT_EQ(m().piLocalLength(type, handle, 3), 0);
      EXPECT_EQ(m().piLocalProcessData(type, handle), 0);
      EXPECT_EQ(m().piLocalGetData(type, handle), 0u);
      EXPECT_EQ(m().piLocalProcessDataStart(type, handle), 0);
    }
  }
  GlobalFree(small);
}

}  // namespace
}  // namespace transvella_test
