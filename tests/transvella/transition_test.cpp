// Push, Slide and Curtain Slide through the exports: the progress of each step, the worked
// examples, every direction at the start and the end, and offsets whose extended-precision
// products truncate differently from exact arithmetic.
#include "transvella_fixture.hpp"

namespace transvella_test {
namespace {

using Transition = Transvella;
using Strings = std::vector<std::string>;

// The step `step` of a run of `length` frames on named pictures.
Picture StepOf(Transvella& t, uint32_t type, const Strings& lines, int width, int height,
               int32_t length, int step) {
  const uint32_t local = t.instance(type);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    EXPECT_EQ(t.m().piLocalLoadData(type, local, int32_t(i), line.data()), -1);
  }
  return RunSteps(t.m(), type, local, width, height, length, step + 1).back();
}

TEST_F(Transition, ProgressFromLengthAndStep) {
  // Push to the right on a 5-wide picture: n = Trunc(4p), so column 0 tells p apart.
  struct Case {
    int32_t length;
    Strings firstColumns;  // column 0 at each step
  };
  const Case cases[] = {
      {5, {"A0", "B3", "B2", "B1", "B0"}},  // p = 0, .25, .5, .75, 1
      {3, {"A0", "B2", "B0", "B0", "B0"}},  // beyond length - 1, p stays 1
      {1, {"B0", "B0"}},                    // length 1: p = 1 from the first step
      {0, {"A0", "A0", "A0"}},              // length 0: p <= 0, unchanged copies
      {-4, {"A0", "A0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const uint32_t local = instance(kPush);
    const auto steps = RunSteps(m(), kPush, local, 5, 2, c.length, int(c.firstColumns.size()));
    for (size_t i = 0; i < steps.size(); ++i)
      EXPECT_EQ(Columns(steps[i])[0], c.firstColumns[i]) << "step " << i;
  }
}

TEST_F(Transition, StartAndEndOfEveryDirectionAndMode) {
  struct Case {
    uint32_t type;
    Strings lines;
  };
  std::vector<Case> cases;
  for (const char* degree : {"0", "90", "180", "270"}) {
    cases.push_back({kPush, {std::string("DEGREE=") + degree}});
    for (const char* reverse : {"0", "1"})
      cases.push_back(
          {kCurtainSlide, {std::string("DEGREE=") + degree, std::string("REVERSE=") + reverse}});
  }
  for (const char* degree : {"0", "45", "90", "135", "180", "225", "270", "315"})
    for (const char* reverse : {"0", "1"})
      cases.push_back(
          {kSlide, {std::string("DEGREE=") + degree, std::string("REVERSE=") + reverse}});
  // Odd sizes (an even curtain extent) so that every mode ends exactly on the second picture.
  for (const Case& c : cases) {
    for (auto [width, height] :
         {std::pair{7, 5}, std::pair{1, 1}, std::pair{9, 1}, std::pair{1, 3}}) {
      SCOPED_TRACE(testing::Message()
                   << c.type << " " << c.lines[0] << " " << (c.lines.size() > 1 ? c.lines[1] : "")
                   << " " << width << "x" << height);
      const uint32_t local = instance(c.type);
      load(c.type, local, c.lines);
      const auto steps = RunSteps(m(), c.type, local, width, height, 4, 4);
      EXPECT_EQ(steps[0], Unmoved('A', width, height)) << "p = 0";
      const bool curtainOffAxis =
          c.type == kCurtainSlide && c.lines[0] != "DEGREE=0" && c.lines[0] != "DEGREE=90";
      EXPECT_EQ(steps[3], Unmoved(curtainOffAxis ? 'A' : 'B', width, height)) << "p = 1";
    }
  }
}

TEST_F(Transition, DirectionsOutsideTheTypesChangeNothing) {
  struct Case {
    uint32_t type;
    Strings lines;
  };
  const Case cases[] = {
      {kPush, {"DEGREE=45"}},
      {kPush, {"DEGREE=360"}},
      {kPush, {"DEGREE=-90"}},
      {kSlide, {"DEGREE=30", "REVERSE=0"}},
      {kSlide, {"DEGREE=-45", "REVERSE=1"}},
      {kSlide, {"DEGREE=360", "REVERSE=1"}},
      {kCurtainSlide, {"DEGREE=45"}},
      {kCurtainSlide, {"DEGREE=180", "REVERSE=1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines[0]);
    const uint32_t local = instance(c.type);
    load(c.type, local, c.lines);
    for (const Picture& step : RunSteps(m(), c.type, local, 6, 4, 3, 3))
      EXPECT_EQ(step, Unmoved('A', 6, 4));
  }
}

TEST_F(Transition, PushWorkedExamples) {
  // W = 5, p = 0.5, to the right: n = 2.
  EXPECT_EQ(Columns(StepOf(*this, kPush, {"DEGREE=0"}, 5, 3, 3, 1)),
            (Strings{"B2", "B3", "B4", "A1", "A2"}));
  // To the left: n = Trunc(0.5 x 4) = 2: A(2 + x) up to column 2, then B(x - 2).
  EXPECT_EQ(Columns(StepOf(*this, kPush, {"DEGREE=180"}, 5, 3, 3, 1)),
            (Strings{"A2", "A3", "B0", "B1", "B2"}));
  // p = 1/3 with Y = 3: the 64-bit p lies below one third, so Trunc(Y x p) = 0 while
  // Trunc((1 - p) x Y) = 2.
  EXPECT_EQ(Rows(StepOf(*this, kPush, {"DEGREE=270"}, 3, 4, 4, 1)),
            (Strings{"B3", "A1", "A2", "A3"}));
  EXPECT_EQ(Rows(StepOf(*this, kPush, {"DEGREE=90"}, 3, 4, 4, 1)),
            (Strings{"A1", "A2", "B0", "B1"}));
  // The same in columns: X = 3.
  EXPECT_EQ(Columns(StepOf(*this, kPush, {"DEGREE=0"}, 4, 2, 4, 1)),
            (Strings{"B3", "A1", "A2", "A3"}));
  EXPECT_EQ(Columns(StepOf(*this, kPush, {"DEGREE=180"}, 4, 2, 4, 1)),
            (Strings{"A1", "A2", "B0", "B1"}));
}

TEST_F(Transition, SlideWorkedExampleAtFortyFiveDegrees) {
  // W = 11, H = 5, p = 0.5: bx = 5, by = 2, dy = 2.
  const Picture in = StepOf(*this, kSlide, {"DEGREE=45", "REVERSE=0"}, 11, 5, 3, 1);
  const Picture out = StepOf(*this, kSlide, {"DEGREE=45", "REVERSE=1"}, 11, 5, 3, 1);
  Picture wantIn = Unmoved('A', 11, 5), wantOut = Unmoved('B', 11, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 11; ++x) {
      if (x <= 5 && y >= 2) wantIn[size_t(y)][size_t(x)] = {'B', 5 + x, y - 2};
      if (x > 5 && y < 2) wantOut[size_t(y)][size_t(x)] = {'A', x - 5, y + 2};
    }
  EXPECT_EQ(in, wantIn);
  EXPECT_EQ(out, wantOut);
}

TEST_F(Transition, SlideOffsetsFormedTwoWays) {
  // Y = 3, p = 1/3: by = Trunc(Y x p) = 0, ay = Trunc((1 - p) x Y) = 2 and
  // dy = Trunc(Y - Y x p) = 2.
  struct Case {
    Strings lines;
    Strings rows;
  };
  const Case cases[] = {
      {{"DEGREE=90", "REVERSE=0"}, {"A0", "A1", "B0", "B1"}},   // rows ay to Y: B(y - ay)
      {{"DEGREE=270", "REVERSE=0"}, {"B3", "A1", "A2", "A3"}},  // rows 0 to by: B(Y - by + y)
      {{"DEGREE=90", "REVERSE=1"}, {"A1", "A2", "A3", "B3"}},   // A(Y - ay + y), then B from Y - by
      {{"DEGREE=270", "REVERSE=1"}, {"B0", "A1", "A2", "A3"}},  // A(y - by), then B up to by
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines[0] + " " + c.lines[1]);
    EXPECT_EQ(Rows(StepOf(*this, kSlide, c.lines, 3, 4, 4, 1)), c.rows);
  }
  // Diagonal in, 225: columns X - bx to X of rows 0 to by show B(x - dx, y + dy). With
  // W = H = 4 and p = 1/3: bx = by = 0, dx = dy = 2: only the top-right pixel, B(1, 2).
  Picture want = Unmoved('A', 4, 4);
  want[0][3] = {'B', 1, 2};
  EXPECT_EQ(StepOf(*this, kSlide, {"DEGREE=225", "REVERSE=0"}, 4, 4, 4, 1), want);
}

TEST_F(Transition, SlideOutUpWhereBothPassesMeet) {
  // Y = 4. p = 0.3 (length 11, step 3): ay = 2 and Y - by = 3, so rows 0 to 2 come from A and
  // 3 to 4 from B. p = 0.5: both products are whole, row 2 is written twice and shows B.
  EXPECT_EQ(Rows(StepOf(*this, kSlide, {"DEGREE=90", "REVERSE=1"}, 3, 5, 11, 3)),
            (Strings{"A2", "A3", "A4", "B3", "B4"}));
  EXPECT_EQ(Rows(StepOf(*this, kSlide, {"DEGREE=90", "REVERSE=1"}, 3, 5, 3, 1)),
            (Strings{"A2", "A3", "B2", "B3", "B4"}));
}

TEST_F(Transition, SlideDiagonalsOutAndIn) {
  // W = 7, H = 5, p = 0.5: bx = 3, by = 2, ax = 3, ay = 2, dx = 3, dy = 2.
  struct Case {
    int degree;
    bool reverse;
    // Where the moving picture shows, and the position it shows there.
    bool (*covers)(int x, int y);
    Source (*shows)(int x, int y);
  };
  const Case cases[] = {
      {135, false, [](int x, int y) { return x >= 3 && y >= 2; },
       [](int x, int y) {
         return Source{'B', x - 3, y - 2};
       }},
      {315, false, [](int x, int y) { return x <= 3 && y <= 2; },
       [](int x, int y) {
         return Source{'B', 3 + x, y + 2};
       }},
      {135, true, [](int x, int y) { return x < 3 && y < 2; },
       [](int x, int y) {
         return Source{'A', x + 3, y + 2};
       }},
      {225, true, [](int x, int y) { return x < 3 && y > 2; },
       [](int x, int y) {
         return Source{'A', x + 3, y - 2};
       }},
      {315, true, [](int x, int y) { return x > 3 && y > 2; },
       [](int x, int y) {
         return Source{'A', x - 3, y - 2};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.degree << (c.reverse ? " out" : " in"));
    const Picture got = StepOf(
        *this, kSlide,
        {"DEGREE=" + std::to_string(c.degree), c.reverse ? "REVERSE=1" : "REVERSE=0"}, 7, 5, 3, 1);
    const char still = c.reverse ? 'B' : 'A';
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(got[size_t(y)][size_t(x)], (c.covers(x, y) ? c.shows(x, y) : Source{still, x, y}))
            << x << "," << y;
  }
}

TEST_F(Transition, CurtainWorkedExamples) {
  // W = 8: X = 7, half = 3.5, t = 3; p = 0.5 gives c = 1 in both modes.
  EXPECT_EQ(Columns(StepOf(*this, kCurtainSlide, {"DEGREE=0", "REVERSE=1"}, 8, 2, 3, 1)),
            (Strings{"B2", "B3", "A2", "A3", "A4", "A5", "B3", "B4"}));
  EXPECT_EQ(Columns(StepOf(*this, kCurtainSlide, {"DEGREE=0", "REVERSE=0"}, 8, 2, 3, 1)),
            (Strings{"A2", "B1", "B2", "B3", "B4", "B5", "B6", "A4"}));
  // The same over rows.
  EXPECT_EQ(Rows(StepOf(*this, kCurtainSlide, {"DEGREE=90", "REVERSE=1"}, 2, 8, 3, 1)),
            (Strings{"B2", "B3", "A2", "A3", "A4", "A5", "B3", "B4"}));
  EXPECT_EQ(Rows(StepOf(*this, kCurtainSlide, {"DEGREE=90", "REVERSE=0"}, 2, 8, 3, 1)),
            (Strings{"A2", "B1", "B2", "B3", "B4", "B5", "B6", "A4"}));
}

TEST_F(Transition, CurtainInEndsOneOffOnAnEvenSize) {
  // W = 8 at p = 1: c = t = 3; positions 4 to 7 show B[i - 1], so B3 twice and no B7.
  EXPECT_EQ(Columns(StepOf(*this, kCurtainSlide, {"DEGREE=0", "REVERSE=1"}, 8, 2, 2, 1)),
            (Strings{"B0", "B1", "B2", "B3", "B3", "B4", "B5", "B6"}));
  // Out while c = t (p small): the outgoing right half shows A[i - 1]. W = 8, length 100,
  // step 1: c = Trunc((1 - 1/99) x 3.5) = 3.
  EXPECT_EQ(Columns(StepOf(*this, kCurtainSlide, {"DEGREE=0", "REVERSE=0"}, 8, 2, 100, 1)),
            (Strings{"A0", "A1", "A2", "B3", "B4", "A4", "A5", "A6"}));
}

TEST_F(Transition, UnreadableInputs) {
  const auto big = NamedFrame('A', 6, 4), narrow = NamedFrame('B', 5, 4),
             low = NamedFrame('B', 6, 3), wide = NamedFrame('B', 9, 7);
  kpl::BlockLock a(big.get()), n(narrow.get()), l(low.get()), w(wide.get());
  for (uint32_t type = kPush; type <= kChessboard; ++type) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type);
    if (type == kSnakeWipe || type == kChessboard)
      load(type, local, {"DEGREE=0", "WIDTH=2", "HEIGHT=2"});
    m().piLocalLength(type, local, 2);
    for (void* second : {n.get(), l.get(), static_cast<void*>(nullptr)}) {
      m().piLocalProcessDataStart(type, local);
      m().piLocalSetData(type, local, a.get(), 0, second, 0);
      EXPECT_EQ(m().piLocalProcessData(type, local), -1) << "p = 0 reads only the first frame";
      const kpl::OwnedBlock first(m().piLocalGetData(type, local));
      EXPECT_EQ(ReadPicture(first.get()), Unmoved('A', 6, 4));
      EXPECT_EQ(m().piLocalProcessData(type, local), 0) << "p = 1 needs a second frame that covers";
      EXPECT_EQ(m().piLocalGetData(type, local), first.get()) << "no new result";
    }
    m().piLocalSetData(type, local, nullptr, 0, w.get(), 0);
    EXPECT_EQ(m().piLocalProcessData(type, local), 0);
    // A larger second frame is read at the first frame's size.
    m().piLocalProcessDataStart(type, local);
    m().piLocalSetData(type, local, a.get(), 0, w.get(), 0);
    EXPECT_EQ(m().piLocalProcessData(type, local), -1);
    GlobalFree(m().piLocalGetData(type, local));
    EXPECT_EQ(m().piLocalProcessData(type, local), -1);
    const kpl::OwnedBlock last(m().piLocalGetData(type, local));
    const Picture got = ReadPicture(last.get());
    ASSERT_EQ(got.size(), 4u);
    ASSERT_EQ(got[0].size(), 6u);
  }
}

TEST_F(Transition, FramesOfOtherDepthsAreReadThroughA24BitCopy) {
  // 8-bit frames with a two-colour table: the first all colour 0, the second all colour 1.
  struct Frame8 {
    kpl::BitmapInfoHeader header;
    uint32_t table[2];
    uint8_t rows[2][4];
  };
  Frame8 a{}, b{};
  a.header = b.header = {40, 4, 2, 1, 8, 0, 8, 0, 0, 2, 0};
  a.table[0] = b.table[0] = 0x00102030;  // blue 0x30, green 0x20, red 0x10
  a.table[1] = b.table[1] = 0x00405060;
  std::memset(b.rows, 1, sizeof b.rows);
  const uint32_t local = instance(kPush);
  m().piLocalLength(kPush, local, 3);
  m().piLocalProcessDataStart(kPush, local);
  std::vector<uint32_t> columnZero;
  for (int step = 0; step < 3; ++step) {
    m().piLocalSetData(kPush, local, &a, 0, &b, 0);
    ASSERT_EQ(m().piLocalProcessData(kPush, local), -1);
    const kpl::OwnedBlock result(m().piLocalGetData(kPush, local));
    kpl::BlockLock out(result.get());
    EXPECT_EQ(kpl::ReadHeader(out.get()).bitCount, 24);
    columnZero.push_back(kpl::ReadPixel24(out.get(), 0, 0));
  }
  EXPECT_EQ(columnZero, (std::vector<uint32_t>{kpl::ColourValue(0x10, 0x20, 0x30),
                                               kpl::ColourValue(0x40, 0x50, 0x60),
                                               kpl::ColourValue(0x40, 0x50, 0x60)}));
}

}  // namespace
}  // namespace transvella_test
