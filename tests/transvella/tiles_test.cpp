// Snake Wipe and Chessboard through the exports: the tile walk, the serpentine numbers, the
// colour ordering and the extended-precision comparison of a tile's order with p.
#include <functional>

#include "transvella_fixture.hpp"

namespace transvella_test {
namespace {

using Tiles = Transvella;

// A picture showing B where `incoming` holds and A elsewhere.
Picture Showing(int width, int height, const std::function<bool(int x, int y)>& incoming) {
  Picture out = Unmoved('A', width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (incoming(x, y)) out[size_t(y)][size_t(x)] = {'B', x, y};
  return out;
}

// Tiles of tw x th pixels, the ones listed (by column and row from 0) from B.
Picture TilesShowing(int width, int height, int tw, int th,
                     std::vector<std::pair<int, int>> tiles) {
  return Showing(width, height, [&](int x, int y) {
    for (auto [c, r] : tiles)
      if (x / tw == c && y / th == r) return true;
    return false;
  });
}

std::vector<Picture> TileRun(Transvella& t, uint32_t type, const std::vector<std::string>& lines,
                             int width, int height, int32_t length) {
  const uint32_t local = t.instance(type);
  t.load(type, local, lines);
  return RunSteps(t.m(), type, local, width, height, length, length);
}

TEST_F(Tiles, WorkedExamplesOfBothOrders) {
  // W = H = 4, N = M = 2, length 5 (p = 0, .25, .5, .75, 1).
  // Chessboard, 270: serpentine 1 2 / 4 3, orders 1 3 / 4 2.
  const auto chess = TileRun(*this, kChessboard, {"DEGREE=270", "WIDTH=2", "HEIGHT=2"}, 4, 4, 5);
  // Snake Wipe, 0: numbers 1 4 / 2 3.
  const auto snake = TileRun(*this, kSnakeWipe, {"DEGREE=0", "WIDTH=2", "HEIGHT=2"}, 4, 4, 5);
  using Tiles = std::vector<std::pair<int, int>>;
  const Tiles chessOrder = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
  const Tiles snakeOrder = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  for (size_t step = 0; step < 5; ++step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(chess[step],
              TilesShowing(4, 4, 2, 2, Tiles(chessOrder.begin(), chessOrder.begin() + step)));
    EXPECT_EQ(snake[step],
              TilesShowing(4, 4, 2, 2, Tiles(snakeOrder.begin(), snakeOrder.begin() + step)));
  }
}

TEST_F(Tiles, SnakeSwitchesOneStepLateWhereP64BitLiesBelowTheRatio) {
  // W = 6, H = 4, N = 3, M = 2, DEGREE 0: numbers 1 4 5 over 2 3 6; length 7. The 64-bit p of
  // 1/6, 2/6 and 4/6 lies below the extended h / 6, so those tiles wait a step.
  const auto steps = TileRun(*this, kSnakeWipe, {"DEGREE=0", "WIDTH=3", "HEIGHT=2"}, 6, 4, 7);
  const std::pair<int, int> tile[] = {{0, 0}, {0, 0}, {0, 1}, {1, 1}, {1, 0}, {2, 0}, {2, 1}};
  auto first = [&](int n) {  // tiles 1 to n
    return TilesShowing(6, 4, 2, 2, std::vector<std::pair<int, int>>(tile + 1, tile + 1 + n));
  };
  const int shown[] = {0, 0, 1, 3, 3, 5, 6};
  for (size_t step = 0; step < 7; ++step)
    EXPECT_EQ(steps[step], first(shown[step])) << "step " << step;
}

TEST_F(Tiles, WhereEachWalkStarts) {
  // p = 3 / (2T): only the tile numbered (or ordered) 1 shows.
  struct Case {
    uint32_t type;
    int degree, columns, rows;
    std::pair<int, int> start;  // tile column and row
  };
  const Case cases[] = {
      {kSnakeWipe, 270, 2, 2, {0, 0}}, {kSnakeWipe, 0, 2, 2, {0, 0}},
      {kSnakeWipe, 90, 2, 2, {0, 1}},   // even M: bottom-left
      {kSnakeWipe, 90, 2, 3, {1, 2}},   // odd M: bottom-right
      {kSnakeWipe, 180, 2, 2, {1, 0}},  // even N: top-right
      {kSnakeWipe, 180, 3, 2, {2, 1}},  // odd N: bottom-right
      {kChessboard, 90, 2, 3, {1, 2}}, {kChessboard, 180, 3, 2, {2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.type << " " << c.degree << " " << c.columns << "x" << c.rows);
    const int T = c.columns * c.rows, width = 2 * c.columns, height = 2 * c.rows;
    const auto steps =
        TileRun(*this, c.type,
                {"DEGREE=" + std::to_string(c.degree), "WIDTH=" + std::to_string(c.columns),
                 "HEIGHT=" + std::to_string(c.rows)},
                width, height, 2 * T + 1);
    EXPECT_EQ(steps[3], TilesShowing(width, height, 2, 2, {c.start}));
    EXPECT_EQ(steps.back(), Unmoved('B', width, height));
  }
}

TEST_F(Tiles, ChessboardTakesOneColourThenTheOther) {
  // 3 x 3 tiles of one pixel, 270: numbers 1 2 3 / 6 5 4 / 7 8 9. The odd numbers get orders
  // 1 to 5, the even ones 6 to 9; at p = 0.5 orders 1 to 4 show: numbers 1, 3, 5 and 7.
  const auto steps = TileRun(*this, kChessboard, {"DEGREE=270", "WIDTH=3", "HEIGHT=3"}, 3, 3, 3);
  EXPECT_EQ(steps[1], TilesShowing(3, 3, 1, 1, {{0, 0}, {2, 0}, {1, 1}, {0, 2}}));
  EXPECT_EQ(steps[2], Unmoved('B', 3, 3));
  // The same numbers in a Snake Wipe show in path order: 1 to 4.
  const auto snake = TileRun(*this, kSnakeWipe, {"DEGREE=270", "WIDTH=3", "HEIGHT=3"}, 3, 3, 3);
  EXPECT_EQ(snake[1], TilesShowing(3, 3, 1, 1, {{0, 0}, {1, 0}, {2, 0}, {2, 1}}));
}

TEST_F(Tiles, OtherDirectionsCarryTheNumberFromTileToTile) {
  // Chessboard, DEGREE 45, 2 x 2 tiles of one pixel (T = 4): no number is computed; the carried
  // value passes through the ordering tile by tile: 0 -> 2, 2 -> 3, 3 -> 2, 2 -> 3.
  const auto chess = TileRun(*this, kChessboard, {"DEGREE=45", "WIDTH=2", "HEIGHT=2"}, 2, 2, 5);
  EXPECT_EQ(chess[1], Unmoved('A', 2, 2));                          // p = .25: none
  EXPECT_EQ(chess[2], TilesShowing(2, 2, 1, 1, {{0, 0}, {0, 1}}));  // p = .5: orders 2
  EXPECT_EQ(chess[3], Unmoved('B', 2, 2));                          // p = .75: orders 3
  // Snake Wipe keeps 0 for every tile: the whole second picture from the second step on.
  const auto snake = TileRun(*this, kSnakeWipe, {"DEGREE=45", "WIDTH=2", "HEIGHT=2"}, 4, 4, 9);
  EXPECT_EQ(snake[0], Unmoved('A', 4, 4));
  EXPECT_EQ(snake[1], Unmoved('B', 4, 4));
}

TEST_F(Tiles, SingleTileSwitchesAtTheEnd) {
  for (uint32_t type : {kSnakeWipe, kChessboard}) {
    SCOPED_TRACE(type);
    const auto steps = TileRun(*this, type, {"DEGREE=0", "WIDTH=1", "HEIGHT=1"}, 5, 3, 5);
    for (int step = 0; step < 4; ++step)
      EXPECT_EQ(steps[size_t(step)], Unmoved('A', 5, 3)) << step;
    EXPECT_EQ(steps[4], Unmoved('B', 5, 3));
  }
}

TEST_F(Tiles, LastTilesReachTheEdges) {
  // W = 7, H = 5, N = M = 2: tiles 3 x 2; the right ones 4 wide, the bottom ones 3 high.
  // Snake 270: numbers 1 2 / 4 3.
  const auto steps = TileRun(*this, kSnakeWipe, {"DEGREE=270", "WIDTH=2", "HEIGHT=2"}, 7, 5, 5);
  EXPECT_EQ(steps[2], Showing(7, 5, [](int, int y) { return y < 2; }));
  EXPECT_EQ(steps[3], Showing(7, 5, [](int x, int y) { return y < 2 || x >= 3; }));
  EXPECT_EQ(steps[4], Unmoved('B', 7, 5));
}

TEST_F(Tiles, ExtraTilesOfARowShareNumbers) {
  // W = 100, N = 30: tiles 3 wide, 33 in the row (the last 4 wide). DEGREE 90 with one row
  // numbers them T - c + 1, so the three extra tiles get 0, -1 and -2 and show from the first
  // step with p > 0; the others wait for their turn.
  const uint32_t local = instance(kSnakeWipe);
  load(kSnakeWipe, local, {"DEGREE=90", "WIDTH=30", "HEIGHT=1"});
  const auto steps = RunSteps(m(), kSnakeWipe, local, 100, 1, 100, 2);
  EXPECT_EQ(steps[1], Showing(100, 1, [](int x, int) { return x >= 90; }));
}

TEST_F(Tiles, ExtraTilesNumberedBeyondTheLastSwitchAtTheEnd) {
  // W = 100, N = 30, DEGREE 270 with one row: the three extra tiles get 31, 32 and 33, above
  // T = 30. They wait until the end like the last tile, but the transition must still end on
  // the whole incoming picture.
  for (uint32_t type : {kSnakeWipe, kChessboard}) {
    SCOPED_TRACE(type);
    const auto steps = TileRun(*this, type, {"DEGREE=270", "WIDTH=30", "HEIGHT=1"}, 100, 1, 3);
    EXPECT_EQ(steps[2], Unmoved('B', 100, 1));
    if (type == kSnakeWipe) {  // p = 0.5 shows tiles 1 to 15, none of the extra ones
      EXPECT_EQ(steps[1], Showing(100, 1, [](int x, int) { return x < 45; }));
    }
  }
}

TEST_F(Tiles, TilesOfNoSizeLeaveTheFirstPicture) {
  struct Case {
    int columns, rows;
  };
  const Case cases[] = {{5, 2}, {2, 5}, {0, 2}, {2, 0}, {-2, 2}, {2, -1}, {-1, -1}};
  for (uint32_t type : {kSnakeWipe, kChessboard})
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << type << " " << c.columns << "x" << c.rows);
      const auto steps = TileRun(
          *this, type,
          {"DEGREE=0", "WIDTH=" + std::to_string(c.columns), "HEIGHT=" + std::to_string(c.rows)}, 4,
          4, 3);
      for (const Picture& step : steps)
        EXPECT_EQ(step, Unmoved('A', 4, 4));
    }
}

}  // namespace
}  // namespace transvella_test
