// The wipe's region and progress, checked pixel by pixel against the distance of each pixel
// from the start edge or corner of its direction.
#include <gtest/gtest.h>

#include <cmath>

#include "wipe.hpp"
#include "wipe_distance.hpp"

namespace {

using kpl::pannikel::WipeProgressOf;
using kpl::pannikel::WipeRegion;

TEST(WipeRegion, RowRunsHoldExactlyThePixelsWithinTheExtent) {
  const int32_t degrees[] = {0, 45, 90, 135, 180, 225, 270, 315};
  const int32_t sizes[][2] = {{1, 1}, {1, 6}, {6, 1}, {7, 4}, {4, 7}, {13, 9}};
  const double progress[] = {0.0, 0.1, 1.0 / 3, 0.5, 0.55, 2.0 / 3, 0.9, 0.999, 1.0, -0.5};
  for (int32_t degree : degrees)
    for (const auto& size : sizes)
      for (double p : progress) {
        const int32_t w = size[0], h = size[1];
        SCOPED_TRACE(testing::Message() << degree << " degrees, " << w << "x" << h << ", p " << p);
        const auto region = WipeRegion::Of(degree, w, h, p);
        ASSERT_TRUE(region);
        for (int32_t y = 0; y < h; ++y) {
          const kpl::pannikel::ColumnSpan run = region->columns(y);
          ASSERT_GE(run.first, 0);
          ASSERT_GE(run.count, 0);
          ASSERT_LE(run.first + run.count, w);
          for (int32_t x = 0; x < w; ++x)
            ASSERT_EQ(x >= run.first && x < run.first + run.count,
                      pannikel_test::DistanceFromStart(degree, x, y, w, h) <= region->extent())
                << "pixel " << x << "," << y;
        }
      }
}

TEST(WipeRegion, ExtentsOfTheDirections) {
  struct Case {
    int32_t degree, w, h;
    double p;
    int64_t extent;
  };
  const Case cases[] = {
      {0, 11, 3, 0.5, 5},    {180, 11, 3, 0.5, 5},  {90, 11, 5, 0.75, 3}, {270, 11, 5, 0.25, 1},
      {315, 3, 3, 0.5, 2},   {45, 7, 4, 1.0, 9},    {135, 7, 4, 0.5, 4},  {225, 7, 4, 0.0, 0},
      {0, 4, 4, 1.0 / 3, 0}, {0, 4, 4, 2.0 / 3, 1}, {0, 1, 1, 1.0, 0},    {90, 9, 1, 0.7, 0},
      {0, 11, 3, -0.5, -5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.degree << " degrees, " << c.w << "x" << c.h << ", p " << c.p);
    const auto region = WipeRegion::Of(c.degree, c.w, c.h, c.p);
    ASSERT_TRUE(region);
    EXPECT_EQ(region->extent(), c.extent);
  }
  for (int32_t degree : {30, -45, 360, 1, -90, 450})
    EXPECT_FALSE(WipeRegion::Of(degree, 5, 5, 0.5)) << degree;
}

TEST(WipeProgress, FromTheCounterAndTheLength) {
  struct Case {
    int32_t length, counter;
    double p;
  };
  const Case cases[] = {
      {0, 0, 0.5},
      {1, 4, 0.5},
      {2, 1, 0.5},
      {-7, 0, 0.5},
      {3, 0, 0.0},
      {3, 1, 0.5},
      {3, 2, 1.0},
      {3, 9, 1.0},
      {5, 1, 0.25},
      {3, -1, -0.5},
      {4, 1, double(1.0L / 3)},
      {2147483647, 2147483646, 1.0},
      {2147483647, 1, 1.0 / 2147483646},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WipeProgressOf(c.length, c.counter), c.p) << c.length << " " << c.counter;
}

}  // namespace
