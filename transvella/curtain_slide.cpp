// Curtain Slide: the picture splits at t = Trunc(E / 2) into two halves that move apart or
// together, over columns (DEGREE 0, E = X) or rows (DEGREE 90, E = Y). Source column or row t
// sits at the inner edge of each half, so with an odd E the second half is one off.
#include <algorithm>

#include "geometry.hpp"
#include "kpl/support/row_spans.hpp"

namespace kpl::transvella {
namespace {

// One curtain position i (a column or a row) taken from position `from` of a picture.
struct Piece {
  const InputFrame24* picture;
  int32_t from;
  int32_t first, last;  // the positions i it covers, in painting order
};

// The pieces in painting order: a later piece wins where pieces meet.
int32_t piecesOf(Piece (&pieces)[3], const InputFrame24& a, const InputFrame24& b, int32_t E,
                 bool reverse, double p) {
  const long double lp = p;
  const long double half = E / 2.0L;
  const int32_t t = Trunc(half);
  if (reverse) {  // in: the incoming halves close over the outgoing picture
    const int32_t c = Trunc(half * lp);
    pieces[0] = {&b, t - c, 0, c};  // out[i] = B[t + i - c]
    pieces[1] = {&b, t, E - c, E};  // out[i] = B[t + i - E + c]
    return 2;
  }
  // out: the outgoing halves open over the incoming picture
  const int32_t c = Trunc((1.0L - lp) * half);
  pieces[0] = {&a, t - c, 0, c};  // out[i] = A[t + i - c]
  pieces[1] = {&a, t, E - c, E};  // out[i] = A[i + t + c - E]
  if (E - 2 * c < 0) return 2;
  pieces[2] = {&b, c, c, E - c};  // out[i] = B[i]
  return 3;
}

}  // namespace

bool CurtainGeometry::changes(int32_t, int32_t) const {
  return degree == 0 || degree == 90;
}

void CurtainGeometry::draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b,
                           double p) const {
  const bool columns = degree == 0;
  const int32_t E = columns ? a.width() - 1 : a.height() - 1;
  Piece pieces[3];
  const int32_t count = piecesOf(pieces, a, b, E, reverse, p);
  ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
    for (int32_t k = 0; k < count; ++k) {
      const Piece& piece = pieces[k];
      if (columns)
        plan.add(*piece.picture, y, piece.from, piece.first, piece.last);
      else if (y >= piece.first && y <= piece.last)
        plan.addRow(*piece.picture, piece.from + (y - piece.first));
    }
  });
}

}  // namespace kpl::transvella
