// The module as a whole: its type table, icons, routing of bad indexes and handles, and the
// symbols it exports.
#include <algorithm>
#include <cstdio>
#include <set>

#include "kpl/platform/resources.h"
#include "pannikel_fixture.hpp"

namespace pannikel_test {
namespace {

using TypeTable = Pannikel;

TEST_F(TypeTable, AnswersNamesAndFlagsForAllFiveTypes) {
  struct Row {
    const char* name;
    uint32_t flags;
  };
  const Row rows[] = {{"Fade", 0x10073E03},
                      {"Wipe", 0x10032A01},
                      {"Mix", 0x10061A02},
                      {"Blue-Screen", 0x10032A01},
                      {"Title", 0x10032601}};
  ASSERT_EQ(m().piCount(), 5u);
  for (uint32_t type = 0; type < 5; ++type) {
    SCOPED_TRACE(type);
    ASSERT_NE(m().piName(type), nullptr);
    EXPECT_STREQ(m().piName(type), rows[type].name);
    EXPECT_EQ(m().piFlags(type), rows[type].flags);
    EXPECT_EQ(m().piInit(type) & 0xFF, 1u);
    EXPECT_EQ(m().piDone(type) & 0xFF, 1u);
  }
}

TEST_F(TypeTable, IndexesOutOfRangeAnswerNothing) {
  for (uint32_t type : {5u, 6u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(m().piName(type), nullptr);
    EXPECT_EQ(m().piFlags(type), 0u);
    EXPECT_EQ(m().piInit(type), 0u);
    EXPECT_EQ(m().piDone(type), 0u);
    EXPECT_EQ(m().piIcon(type, 0), 0u);
    EXPECT_EQ(m().piLocalInit(type, 0), 0u);
    EXPECT_EQ(m().piLocalName(type, 0), nullptr);
  }
  // An instance of a real type is not reachable through an index beyond the table.
  const uint32_t local = instance(kFade, 0x1400);
  EXPECT_EQ(m().piLocalFlags(5, local), 0u);
  EXPECT_EQ(m().piLocalProcessData(5, local), 0);
  EXPECT_EQ(m().piLocalName(5, local), nullptr);
}

TEST_F(TypeTable, EffectsCarryNineIconsFromInitToDone) {
  for (uint32_t type : {kFade, kWipe, kMix}) {
    SCOPED_TRACE(type);
    const size_t before = LiveIcons();
    ASSERT_EQ(m().piInit(type) & 0xFF, 1u);
    std::set<uint32_t> handles;
    for (uint32_t index = 0; index < 9; ++index) {
      const uint32_t icon = m().piIcon(type, index);
      ASSERT_NE(icon, 0u);
      int32_t width = 0, height = 0;
      ASSERT_TRUE(GetIconSize(icon, &width, &height));
      EXPECT_EQ(width, 32);
      EXPECT_EQ(height, 32);
      handles.insert(icon);
    }
    EXPECT_EQ(handles.size(), 9u);
    EXPECT_EQ(m().piIcon(type, 9), 0u);
    // A second piInit replaces the icons instead of leaking the first set.
    ASSERT_EQ(m().piInit(type) & 0xFF, 1u);
    EXPECT_EQ(LiveIcons(), before + 9);
    m().piDone(type);
    EXPECT_EQ(LiveIcons(), before);
    EXPECT_EQ(m().piIcon(type, 0), 0u);
  }
}

TEST_F(TypeTable, FadeIconsDarkenTowardsBlack) {
  m().piInit(kFade);
  auto brightness = [](uint32_t icon) {
    std::vector<uint32_t> colours(32 * 32);
    EXPECT_TRUE(GetIconPixels(icon, colours.data(), colours.size()));
    long sum = 0;
    for (uint32_t c : colours)
      sum += Red(c) + Green(c) + Blue(c);
    return sum;
  };
  long previous = brightness(m().piIcon(kFade, 0));
  EXPECT_GT(previous, 0);
  for (uint32_t index = 1; index < 9; ++index) {
    const long now = brightness(m().piIcon(kFade, index));
    EXPECT_LT(now, previous) << "icon " << index;
    previous = now;
  }
  EXPECT_EQ(previous, 0) << "the last frame is black";
  m().piDone(kFade);
}

TEST_F(TypeTable, InstanceCallsOfTypesStillToComeAnswerZero) {
  EXPECT_EQ(m().piLocalInit(kTitle, 0), 0u);
  EXPECT_EQ(m().piIcon(kTitle, 0), 0u);
}

TEST_F(TypeTable, WipeIconsUncoverOutOnDarkBlueFromTheLeft) {
  ASSERT_EQ(m().piInit(kWipe) & 0xFF, 1u);
  auto count = [](uint32_t icon, uint32_t colour) {
    std::vector<uint32_t> colours(32 * 32);
    EXPECT_TRUE(GetIconPixels(icon, colours.data(), colours.size()));
    return std::count(colours.begin(), colours.end(), colour);
  };
  const uint32_t darkRed = kpl::ColourValue(128, 0, 0), darkBlue = kpl::ColourValue(0, 0, 128);
  const uint32_t still = m().piIcon(kWipe, 0);
  EXPECT_GT(count(still, darkRed), 0) << "the still picture shows both";
  EXPECT_GT(count(still, darkBlue), 0);
  long red = 32 * 32, blue = 0;
  for (uint32_t index = 1; index < 9; ++index) {
    SCOPED_TRACE(index);
    const uint32_t icon = m().piIcon(kWipe, index);
    EXPECT_LT(count(icon, darkRed), red);
    EXPECT_GT(count(icon, darkBlue), blue);
    red = count(icon, darkRed);
    blue = count(icon, darkBlue);
  }
  EXPECT_EQ(red, 0) << "the last frame is all Out";
  m().piDone(kWipe);
}

TEST_F(TypeTable, BadHandlesAreAnsweredWithZero) {
  const uint32_t freed = m().piLocalInit(kFade, 0x1400);
  ASSERT_NE(freed, 0u);
  m().piLocalDone(kFade, freed);
  kpl::OwnedBlock tooSmall(GMEM_FIXED, 4);  // a live block, but not an instance
  char text[64] = "TYPE=FADE IN";
  for (uint32_t type : {kFade, kWipe, kMix, kBlueScreen}) {
    for (uint32_t local : {0u, 1u, 0xDEADBEEFu, freed, tooSmall.get()}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " handle " << local);
      const kpl::WaveFormat format = Pcm(2, 16);
      EXPECT_EQ(m().piLocalSetFormat(type, local, &format), 0);
      EXPECT_EQ(m().piLocalLength(type, local, 5), 0);
      EXPECT_EQ(m().piLocalSetData(type, local, nullptr, 0, nullptr, 0), 0);
      EXPECT_EQ(m().piLocalProcessDataStart(type, local), 0);
      EXPECT_EQ(m().piLocalProcessData(type, local), 0);
      EXPECT_EQ(m().piLocalProcessDataEnd(type, local), 0);
      EXPECT_EQ(m().piLocalGetData(type, local), 0u);
      EXPECT_EQ(m().piLocalSaveData(type, local, 0, text), 0);
      EXPECT_EQ(m().piLocalLoadData(type, local, 0, text), 0);
      EXPECT_EQ(m().piLocalDlg(type, local, 0), 0);
      if (local != tooSmall.get()) {
        EXPECT_EQ(m().piLocalFlags(type, local), 0u);
      }
      if (local != 0) {
        EXPECT_STREQ(m().piLocalName(type, local), "");
      }
    }
  }
  EXPECT_STREQ(text, "TYPE=FADE IN") << "a refused call leaves the caller's text alone";
  m().piLocalDone(kFade, 0xDEADBEEF);  // ignored
  EXPECT_NE(GlobalSize(tooSmall.get()), 0u);
}

TEST_F(TypeTable, ExportsTheTwentyCallsAndNothingElse) {
  EXPECT_EQ(module_test::DefinedExports("pannikel.kpl"), module_test::kPluginCalls);
}

}  // namespace
}  // namespace pannikel_test
