// Wipe through the exports: the eight directions and the progress of each step, the degree
// line, the instance name, and what the step makes of unusual inputs.
#include <cstring>
#include <functional>

#include "pannikel_fixture.hpp"
#include "wipe_distance.hpp"

namespace pannikel_test {
namespace {

class Wipe : public Pannikel {
 protected:
  // A Wipe instance with its degree loaded from a settings line.
  uint32_t withDegree(int32_t degree, int32_t length) {
    const uint32_t local = instance(kWipe, 0x801);
    char line[64];
    std::snprintf(line, sizeof line, "DEGREE=%d", degree);
    EXPECT_EQ(m().piLocalLoadData(kWipe, local, 0, line), -1);
    EXPECT_EQ(m().piLocalLength(kWipe, local, length), -1);
    return local;
  }
};

constexpr uint32_t kFirstColour = 0x102030, kSecondColour = 0xC0D0E0;

// Two frames each of one colour but with a pixel-by-pixel pattern, so a pixel taken from the
// wrong place or the wrong frame shows.
kpl::OwnedBlock FirstFrame(int32_t w, int32_t h) {
  return MakeFrame(w, h, [](int x, int y) { return kFirstColour + uint32_t(x + 16 * y); });
}
kpl::OwnedBlock SecondFrame(int32_t w, int32_t h) {
  return MakeFrame(w, h, [](int x, int y) { return kSecondColour + uint32_t(x + 16 * y); });
}

class WipeRun {
 public:
  WipeRun(kplhost::Module& m, uint32_t local, int32_t w, int32_t h)
      : m_(m),
        local_(local),
        a_(FirstFrame(w, h)),
        b_(SecondFrame(w, h)),
        first_(a_.get()),
        second_(b_.get()) {}

  std::vector<Picture> steps(int count) {
    std::vector<Picture> out;
    EXPECT_EQ(m_.piLocalProcessDataStart(kWipe, local_), -1);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(m_.piLocalSetData(kWipe, local_, first_.get(), 0, second_.get(), 0), -1);
      EXPECT_EQ(m_.piLocalProcessData(kWipe, local_), -1);
      out.push_back(TakePicture(m_.piLocalGetData(kWipe, local_)));
    }
    EXPECT_EQ(m_.piLocalProcessDataEnd(kWipe, local_), -1);
    return out;
  }

  // Checks that the picture shows the second frame exactly where `reached(x, y)` holds.
  static void Expect(const Picture& picture, int32_t w, int32_t h,
                     const std::function<bool(int, int)>& reached) {
    ASSERT_EQ(picture.width, w);
    ASSERT_EQ(picture.height, h);
    EXPECT_EQ(picture.bitCount, 24);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(picture.at(x, y),
                  (reached(x, y) ? kSecondColour : kFirstColour) + uint32_t(x + 16 * y))
            << "pixel " << x << "," << y;
  }

 private:
  kplhost::Module& m_;
  uint32_t local_;
  kpl::OwnedBlock a_, b_;
  kpl::BlockLock first_, second_;
};

TEST_F(Wipe, WorkedExamples) {
  struct Case {
    const char* what;
    int32_t degree, length, w, h;
    std::vector<std::function<bool(int, int)>> steps;
  };
  const auto columnsUpTo = [](int last) { return [=](int x, int) { return x <= last; }; };
  const auto bottomRows = [](int rows) { return [=](int, int y) { return y >= 5 - rows; }; };
  const auto none = [](int, int) { return false; };
  const Case cases[] = {
      {"length 1: p = 0.5, W = 11: columns 0 to 5",
       0,
       1,
       11,
       3,
       {columnsUpTo(5), columnsUpTo(5), columnsUpTo(5)}},
      {"length 2: p = 0.5 as well", 0, 2, 11, 3, {columnsUpTo(5), columnsUpTo(5)}},
      {"length 5, degree 90, H = 5: the bottom 1 to 5 rows",
       90,
       5,
       4,
       5,
       {bottomRows(1), bottomRows(2), bottomRows(3), bottomRows(4), bottomRows(5)}},
      {"degree 315 on 3 x 3 at p = 0.5: x + y <= 2", 315, 1, 3, 3, {[](int x, int y) {
         return x + y <= 2;
       }}},
      {"degree 30 names no direction: a plain copy", 30, 3, 5, 4, {none, none, none}},
      {"degree -45 likewise", -45, 3, 5, 4, {none, none, none}},
      {"p = 1/3 and 2/3 are stored as doubles just below them: 3 x p truncates to 0 and 1",
       0,
       4,
       4,
       2,
       {columnsUpTo(0), columnsUpTo(0), columnsUpTo(1), columnsUpTo(3)}},
      {"steps beyond the length hold p at 1",
       270,
       3,
       3,
       4,
       {[](int, int y) { return y <= 0; }, [](int, int y) { return y <= 1; },
        [](int, int) { return true; }, [](int, int) { return true; }}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t local = withDegree(c.degree, c.length);
    const auto pictures = WipeRun(m(), local, c.w, c.h).steps(int(c.steps.size()));
    for (size_t i = 0; i < pictures.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "step " << i);
      WipeRun::Expect(pictures[i], c.w, c.h, c.steps[i]);
    }
  }
}

TEST_F(Wipe, EveryDirectionCoversWhatIsWithinTheExtentOfItsStartEdgeOrCorner) {
  // W = 7, H = 4, length 3: p = 0, 0.5, 1. Extents: (W - 1) x p = 0, 3, 6 for 0 and 180
  // degrees; (H - 1) x p = 0, 1, 3 for 90 and 270; ((W - 1) + (H - 1)) x p = 0, 4, 9 for the
  // corners.
  struct Case {
    int32_t degree;
    int64_t extents[3];
  };
  const Case cases[] = {{0, {0, 3, 6}},   {45, {0, 4, 9}},  {90, {0, 1, 3}},  {135, {0, 4, 9}},
                        {180, {0, 3, 6}}, {225, {0, 4, 9}}, {270, {0, 1, 3}}, {315, {0, 4, 9}}};
  constexpr int32_t w = 7, h = 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "degree " << c.degree);
    const uint32_t local = withDegree(c.degree, 3);
    const auto pictures = WipeRun(m(), local, w, h).steps(3);
    for (size_t i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "step " << i);
      WipeRun::Expect(pictures[i], w, h, [&](int x, int y) {
        return DistanceFromStart(c.degree, x, y, w, h) <= c.extents[i];
      });
    }
  }
}

TEST_F(Wipe, DegreeLineLoadsFromLineZeroOnly) {
  struct Case {
    const char* line;
    int32_t index;
    bool answer;
    const char* saved;        // the line saved afterwards
    const char* name;         // the instance name afterwards
    const char* callersText;  // the caller's buffer afterwards
  };
  const Case cases[] = {
      {"degree=-45", 0, true, "DEGREE=-45", "Wipe (-45\xB0)", "degree=-45"},
      {"DEGREE=135", 0, true, "DEGREE=135", "Wipe (135\xB0)", "degree=135"},
      {"Degree=x5A", 0, true, "DEGREE=90", "Wipe (90\xB0)", "degree=x5a"},
      {"COLOR=225", 0, true, "DEGREE=225", "Wipe (225\xB0)", "color=225"},  // key not examined
      {"270", 0, true, "DEGREE=270", "Wipe (270\xB0)", "270"},           // no "=": the whole text
      {"DEGREE=90", 1, false, "DEGREE=0", "Wipe (0\xB0)", "DEGREE=90"},  // untouched
      {"DEGREE=90", -1, false, "DEGREE=0", "Wipe (0\xB0)", "DEGREE=90"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const uint32_t local = instance(kWipe, 0x801);
    char text[64];
    std::strcpy(text, c.line);
    EXPECT_EQ(m().piLocalLoadData(kWipe, local, c.index, text), c.answer ? -1 : 0);
    EXPECT_STREQ(text, c.callersText);
    char saved[64] = {};
    EXPECT_EQ(m().piLocalSaveData(kWipe, local, 0, saved), -1);
    EXPECT_STREQ(saved, c.saved);
    EXPECT_STREQ(m().piLocalName(kWipe, local), c.name);
  }
}

TEST_F(Wipe, SavedLineRoundTripsAndOnlyLineZeroExists) {
  const uint32_t source = withDegree(225, 0);
  char saved[64] = {};
  ASSERT_EQ(m().piLocalSaveData(kWipe, source, 0, saved), -1);
  EXPECT_STREQ(saved, "DEGREE=225");
  const uint32_t target = instance(kWipe, 0x801);
  ASSERT_EQ(m().piLocalLoadData(kWipe, target, 0, saved), -1);
  char again[64] = {};
  m().piLocalSaveData(kWipe, target, 0, again);
  EXPECT_STREQ(again, "DEGREE=225");
  char more[64] = {};
  EXPECT_EQ(m().piLocalSaveData(kWipe, source, 1, more), 0);
  EXPECT_EQ(m().piLocalSaveData(kWipe, source, 0, nullptr), 0);
  EXPECT_EQ(m().piLocalLoadData(kWipe, source, 0, nullptr), 0);
}

TEST_F(Wipe, NamesFlagsAndCallsWithoutACase) {
  EXPECT_STREQ(m().piLocalName(kWipe, 0), "Wipe");
  const uint32_t local = instance(kWipe, 0x2801);
  EXPECT_EQ(m().piLocalFlags(kWipe, local), 0x10032A01u);
  EXPECT_EQ(m().piLocalFlags(kWipe, instance(kWipe, 0)), 0x10032A00u);
  EXPECT_STREQ(m().piLocalName(kWipe, local), "Wipe (0\xB0)");
  // The longest degree still fits the name buffer.
  const uint32_t widest = withDegree(-2147483647 - 1, 0);
  EXPECT_STREQ(m().piLocalName(kWipe, widest), "Wipe (-2147483648\xB0)");

  const kpl::WaveFormat format = Pcm(2, 16);
  EXPECT_EQ(m().piLocalSetFormat(kWipe, local, &format), 0);
  char saved[64] = {};
  m().piLocalSaveData(kWipe, local, 0, saved);
  EXPECT_STREQ(saved, "DEGREE=0") << "the refused format changed nothing";
  EXPECT_EQ(m().piLocalFlags(kWipe, local), 0x10032A01u);
}

TEST_F(Wipe, SetDataWantsBothInputs) {
  const auto a = FirstFrame(3, 3), b = SecondFrame(3, 3);
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = withDegree(0, 1);
  EXPECT_EQ(m().piLocalSetData(kWipe, local, first.get(), 0, nullptr, 0), 0);
  EXPECT_EQ(m().piLocalSetData(kWipe, local, nullptr, 0, second.get(), 0), 0);
  EXPECT_EQ(m().piLocalSetData(kWipe, local, nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(m().piLocalSetData(kWipe, local, first.get(), 0, second.get(), 0), -1);

  // A refused input is stored all the same: a step that needs it then fails cleanly, one that
  // does not (no direction) still copies the first frame.
  m().piLocalSetData(kWipe, local, first.get(), 0, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kWipe, local), 0);
  EXPECT_EQ(m().piLocalGetData(kWipe, local), 0u);
  const uint32_t still = withDegree(30, 1);
  m().piLocalSetData(kWipe, still, first.get(), 0, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kWipe, still), -1);
  WipeRun::Expect(TakePicture(m().piLocalGetData(kWipe, still)), 3, 3,
                  [](int, int) { return false; });
}

TEST_F(Wipe, UnusualInputs) {
  const auto big = SecondFrame(6, 5), narrow = SecondFrame(5, 5), low = SecondFrame(6, 4);
  const auto first = FirstFrame(6, 5);
  kpl::BlockLock a(first.get()), bigPixels(big.get()), narrowPixels(narrow.get()),
      lowPixels(low.get());
  for (void* second : {narrowPixels.get(), lowPixels.get()}) {
    const uint32_t local = withDegree(180, 1);
    m().piLocalSetData(kWipe, local, a.get(), 0, second, 0);
    EXPECT_EQ(m().piLocalProcessData(kWipe, local), 0) << "a smaller second frame is refused";
    EXPECT_EQ(m().piLocalGetData(kWipe, local), 0u);
  }
  // A larger second frame is read at the first frame's positions.
  const auto small = FirstFrame(3, 2);
  kpl::BlockLock smallPixels(small.get());
  const uint32_t local = withDegree(0, 1);
  m().piLocalSetData(kWipe, local, smallPixels.get(), 0, bigPixels.get(), 0);
  ASSERT_EQ(m().piLocalProcessData(kWipe, local), -1);
  WipeRun::Expect(TakePicture(m().piLocalGetData(kWipe, local)), 3, 2,
                  [](int x, int) { return x <= 1; });

  // An 8-bit first frame is read through a 24-bit copy.
  struct {
    kpl::BitmapInfoHeader header;
    uint32_t table[2];
    uint8_t rows[2][4];
  } eightBit{};
  eightBit.header = {40, 3, 2, 1, 8, 0, 8, 0, 0, 2, 0};
  eightBit.table[1] = 0x00F0E0D0;  // red 0xF0, green 0xE0, blue 0xD0
  eightBit.rows[1][2] = 1;         // top row, x = 2
  const uint32_t converted = withDegree(0, 1);
  m().piLocalSetData(kWipe, converted, &eightBit, 0, bigPixels.get(), 0);
  ASSERT_EQ(m().piLocalProcessData(kWipe, converted), -1);
  const Picture picture = TakePicture(m().piLocalGetData(kWipe, converted));
  ASSERT_EQ(picture.width, 3);
  EXPECT_EQ(picture.at(0, 0), kSecondColour);
  EXPECT_EQ(picture.at(2, 0), 0xD0E0F0u);
  EXPECT_EQ(picture.at(2, 1), 0u);
}

TEST_F(Wipe, EachStepHandsOverANewFrameAndStartRewinds) {
  const auto a = FirstFrame(4, 4), b = SecondFrame(4, 4);
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = withDegree(0, 3);
  m().piLocalSetData(kWipe, local, first.get(), 0, second.get(), 0);
  ASSERT_EQ(m().piLocalProcessData(kWipe, local), -1);
  const uint32_t one = m().piLocalGetData(kWipe, local);
  EXPECT_EQ(m().piLocalGetData(kWipe, local), one);
  EXPECT_EQ(GlobalFlags(one) & GMEM_MOVEABLE, GMEM_MOVEABLE);
  ASSERT_EQ(m().piLocalProcessData(kWipe, local), -1);
  const uint32_t two = m().piLocalGetData(kWipe, local);
  EXPECT_NE(two, one);
  WipeRun::Expect(TakePicture(one), 4, 4, [](int x, int) { return x <= 0; });
  WipeRun::Expect(TakePicture(two), 4, 4, [](int x, int) { return x <= 1; });  // 3 x 0.5
  for (auto rewind :
       {&kplhost::Module::piLocalProcessDataStart, &kplhost::Module::piLocalProcessDataEnd}) {
    ASSERT_EQ((m().*rewind)(kWipe, local), -1);
    ASSERT_EQ(m().piLocalProcessData(kWipe, local), -1);
    WipeRun::Expect(TakePicture(m().piLocalGetData(kWipe, local)), 4, 4,
                    [](int x, int) { return x <= 0; });
  }
}

}  // namespace
}  // namespace pannikel_test
