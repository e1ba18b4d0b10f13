// Output rows composed from runs of other frames' rows: painting order, gaps filled from the
// base picture, and runs that reach outside a row or a source clipped instead of followed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/row_spans.hpp"

namespace {

// A 24-bit frame whose pixel (x, y) reads as tag, x, y in blue, green, red.
kpl::OwnedBlock Tagged(uint8_t tag, int32_t width, int32_t height) {
  kpl::OwnedBlock frame(kpl::NewFrame24(width, height));
  kpl::BlockLock lock(frame.get());
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      kpl::WritePixel24(lock.get(), x, y, kpl::ColourValue(uint8_t(y), uint8_t(x), tag));
  return frame;
}

// Row y of a frame as "a3 a4 b0 ...": the tag letter and column of each pixel's source.
std::string RowText(const void* header, int32_t y) {
  std::string out;
  for (int32_t x = 0; x < kpl::ReadHeader(header).width; ++x) {
    const uint32_t c = kpl::ReadPixel24(header, x, y);
    if (!out.empty()) out += ' ';
    out += char(c >> 16);
    out += std::to_string((c >> 8) & 255);
    if ((c & 255) != uint32_t(y)) {  // from another row
      out += '@';
      out += std::to_string(c & 255);
    }
  }
  return out;
}

struct Fixture {
  kpl::OwnedBlock aBlock = Tagged('a', 5, 3), bBlock = Tagged('b', 3, 4);
  kpl::BlockLock aLock{aBlock.get()}, bLock{bBlock.get()};
  kpl::InputFrame24 a{aLock.get()}, b{bLock.get()};
  kpl::OutputFrame24 out{5, 3, kpl::FrameContents::kWrittenByCaller};

  template <class Plan>
  std::vector<std::string> compose(Plan&& plan) {
    kpl::ComposeRows(out, a, plan);
    std::vector<std::string> rows;
    for (int32_t y = 0; y < 3; ++y)
      rows.push_back(RowText(out.header(), y));
    return rows;
  }
};

TEST(ComposeRows, PaintsRunsInOrderOverTheBase) {
  struct Case {
    const char* what;
    void (*plan)(Fixture&, int32_t y, kpl::RowPlan&);
    std::string row0;
  };
  const Case cases[] = {
      {"no runs: the base", [](Fixture&, int32_t, kpl::RowPlan&) {}, "a0 a1 a2 a3 a4"},
      {"a gap keeps the base",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, 0, 3, 4); }, "a0 a1 a2 b0 b1"},
      {"two runs meet",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) {
         p.add(f.a, y, 0, 2, 4), p.add(f.b, y, 1, 0, 2);
       },
       "b1 b2 a0 a1 a2"},  // b has three columns: the run is cut after b2
      {"a gap between runs keeps the base",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) {
         p.add(f.b, y, 1, 3, 4), p.add(f.b, y, 0, 0, 1);
       },
       "b0 b1 a2 b1 b2"},
      {"runs side by side, left to right, around a gap",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) {
         p.add(f.b, y, 1, 0, 1), p.add(f.a, y, 0, 3, 4);
       },
       "b1 b2 a2 a0 a1"},
      {"the later run wins",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.addRow(f.a, y), p.add(f.b, y, 0, 1, 2); },
       "a0 b0 b1 a3 a4"},
      {"runs before a whole row are painted over",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, 0, 0, 1), p.addRow(f.a, y); },
       "a0 a1 a2 a3 a4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    const auto rows = f.compose([&](int32_t y, kpl::RowPlan& p) { c.plan(f, y, p); });
    EXPECT_EQ(rows[0], c.row0);
  }
}

TEST(ComposeRows, ClipsRunsToTheRowAndTheirSource) {
  struct Case {
    const char* what;
    void (*plan)(Fixture&, int32_t y, kpl::RowPlan&);
    std::string row0;
  };
  const Case cases[] = {
      {"starts left of the row",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, 0, -2, 1); }, "b2 a1 a2 a3 a4"},
      {"ends right of the row",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.a, y, 0, 3, 9); }, "a0 a1 a2 a0 a1"},
      {"source starts before its first column",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, -1, 0, 2); }, "a0 b0 b1 a3 a4"},
      {"source narrower than the run",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, 1, 0, 4); }, "b1 b2 a2 a3 a4"},
      {"a source row above the picture",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.addRow(f.b, y - 1); }, "a0 a1 a2 a3 a4"},
      {"a source row below the picture",
       [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.addRow(f.b, y + 4); }, "a0 a1 a2 a3 a4"},
      {"an empty run", [](Fixture& f, int32_t y, kpl::RowPlan& p) { p.add(f.b, y, 0, 3, 2); },
       "a0 a1 a2 a3 a4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    const auto rows = f.compose([&](int32_t y, kpl::RowPlan& p) { c.plan(f, y, p); });
    EXPECT_EQ(rows[0], c.row0);
  }
}

TEST(ComposeRows, RowsFromOtherRows) {
  Fixture f;
  // Every output row y from row y + 1 of b: the last one has none and keeps the base.
  const auto rows = f.compose([&](int32_t y, kpl::RowPlan& p) { p.add(f.b, y + 1, 0, 0, 2); });
  EXPECT_EQ(rows, (std::vector<std::string>{"b0@1 b1@1 b2@1 a3 a4", "b0@2 b1@2 b2@2 a3 a4",
                                            "b0@3 b1@3 b2@3 a3 a4"}));
}

TEST(ComposeRows, TooManyRunsInOneRowIsRefused) {
  Fixture f;
  EXPECT_THROW(f.compose([&](int32_t y, kpl::RowPlan& p) {
    for (int i = 0; i < 7; ++i)
      p.add(f.a, y, 0, i, i);
  }),
               std::logic_error);
}

}  // namespace
