// Snake Wipe and Chessboard: the tile walk. Tiles of Trunc(W / N) x Trunc(H / M) pixels are
// visited row by row from the top-left while they fit; the last tile of a row and the tiles of
// the last row reach the edges. A tile shows the incoming picture once its order, as a share
// of N x M, is at most p.
#include <algorithm>
#include <cstring>
#include <vector>

#include "geometry.hpp"
#include "kpl/support/row_kernels.hpp"

namespace kpl::transvella {
namespace {

// Serpentine number of the tile in row r and column c (both from 1): row by row for 270 (from
// the top) and 90 (from the bottom), column by column for 0 (from the left) and 180 (from the
// right), each row or column running the other way to the one before. Any other DEGREE keeps
// the number of the previous tile.
int64_t serpentine(int32_t degree, int64_t r, int64_t c, int64_t N, int64_t M, int64_t previous) {
  const int64_t T = N * M;
  const int64_t byRows = (r % 2 != 0) ? (r - 1) * N + c : r * N - c + 1;
  const int64_t byColumns = (c % 2 != 0) ? (c - 1) * M + r : c * M - r + 1;
  switch (degree) {
    case 270:
      return byRows;
    case 90:
      return T - byRows + 1;
    case 0:
      return byColumns;
    case 180:
      return T - byColumns + 1;
    default:
      return previous;
  }
}

// Chessboard order: the odd serpentine numbers first (1 to ceil(T / 2)), the even ones after.
// Each order is a sum of halves that are whole numbers ((h - 1) / 2 for odd h, h / 2 for even
// h, (T + 1) / 2 or T / 2 by the parity of T), so integer arithmetic gives it exactly.
int64_t chessboardOrder(int64_t h, int64_t T) {
  if (h % 2 != 0) return (h - 1) / 2 + 1;
  return (T % 2 != 0 ? (T + 1) / 2 : T / 2) + h / 2;
}

struct Cut {
  int32_t x0, x1;  // columns, both included
  bool incoming;
};

// Writes rows y0 .. y0 + height - 1 from the cuts of their tile row. Neighbouring tiles of
// the same picture are one copy; where the copies would be short (many small tiles), one pass
// picks every byte from either picture by a mask instead.
void writeBand(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, int32_t y0,
               int32_t height, const std::vector<Cut>& cuts, std::vector<Cut>& runs,
               std::vector<uint8_t>& mask) {
  runs.clear();
  for (const Cut& cut : cuts) {
    if (!runs.empty() && runs.back().incoming == cut.incoming)
      runs.back().x1 = cut.x1;
    else
      runs.push_back(cut);
  }
  const size_t bytes = size_t(a.width()) * 3;
  constexpr size_t kShortRunBytes = 48;
  if (runs.size() * kShortRunBytes > bytes) {
    mask.resize(bytes);
    for (const Cut& run : runs)
      std::memset(mask.data() + size_t(run.x0) * 3, run.incoming ? 0xFF : 0,
                  size_t(run.x1 - run.x0 + 1) * 3);
    for (int32_t y = y0 + height - 1; y >= y0; --y)  // in memory order
      SelectRow(out.row(y), a.row(y), b.row(y), mask.data(), bytes);
    return;
  }
  for (int32_t y = y0 + height - 1; y >= y0; --y) {  // in memory order
    uint8_t* row = out.row(y);
    for (const Cut& run : runs) {
      const size_t start = size_t(run.x0) * 3;
      std::memcpy(row + start, (run.incoming ? b : a).row(y) + start,
                  size_t(run.x1 - run.x0 + 1) * 3);
    }
  }
}

int64_t tileExtent(int32_t pixels, int32_t tiles) {
  if (tiles == 0) return 0;
  return static_cast<int64_t>(static_cast<long double>(pixels) / tiles);
}

}  // namespace

bool TileGeometry::changes(int32_t width, int32_t height) const {
  return tileExtent(width, columns) > 0 && tileExtent(height, rows) > 0;
}

void TileGeometry::draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b,
                        double p) const {
  const int64_t W = a.width(), H = a.height();
  const int64_t tw = tileExtent(a.width(), columns), th = tileExtent(a.height(), rows);
  const int64_t N = columns, M = rows, T = N * M;
  const long double lp = p;
  int64_t h = 0;  // carried from tile to tile
  std::vector<Cut> cuts, runs;
  std::vector<uint8_t> mask;
  for (int64_t y = 0, r = 1; y <= H - th; y += th, ++r) {
    const int64_t height = (2 * th + y > H) ? H - y : th;
    cuts.clear();
    for (int64_t x = 0, c = 1; x <= W - tw; x += tw, ++c) {
      const int64_t width = (2 * tw + x > W) ? W - x : tw;
      h = serpentine(degree, r, c, N, M, h);
      if (order == Order::kChessboard) h = chessboardOrder(h, T);
      // Extra tiles of a row or column that N or M does not divide can be numbered beyond T;
      // they switch with the last tile, so the transition still ends on the incoming picture.
      const int64_t shownAt = std::min(h, T);
      const bool incoming = static_cast<long double>(shownAt) / T <= lp;
      cuts.push_back({int32_t(x), int32_t(x + width - 1), incoming});
    }
    writeBand(out, a, b, int32_t(y), int32_t(height), cuts, runs, mask);
  }
}

}  // namespace kpl::transvella
