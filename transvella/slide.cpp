// Slide: one picture moves over the other, which stands still. Six offsets, each truncated
// from a product formed in extended precision exactly as written: (1 - p) x X and X - X x p
// are equal in exact arithmetic but can truncate to neighbouring integers.
#include "geometry.hpp"
#include "kpl/support/row_spans.hpp"

namespace kpl::transvella {
namespace {

struct Offsets {
  int32_t bx, by, ax, ay, dx, dy;
};

Offsets offsetsOf(int32_t X, int32_t Y, double p) {
  const long double lp = p;
  return {Trunc(X * lp),          Trunc(Y * lp),     Trunc((1.0L - lp) * X),
          Trunc((1.0L - lp) * Y), Trunc(X - X * lp), Trunc(Y - Y * lp)};
}

bool inRange(int32_t v, int32_t low, int32_t high) {
  return v >= low && v <= high;
}

// The incoming picture slides in over the outgoing one.
void slideIn(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, int32_t degree,
             const Offsets& o) {
  const int32_t X = a.width() - 1, Y = a.height() - 1;
  ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
    switch (degree) {
      case 0:
        plan.add(b, y, X - o.bx, 0, o.bx);
        break;
      case 180:
        plan.add(b, y, 0, o.ax, X);
        break;
      case 90:
        if (y >= o.ay) plan.addRow(b, y - o.ay);
        break;
      case 270:
        if (y <= o.by) plan.addRow(b, Y - o.by + y);
        break;
      case 45:
        if (inRange(y, Y - o.by, Y)) plan.add(b, y - o.dy, X - o.bx, 0, o.bx);
        break;
      case 135:
        if (inRange(y, Y - o.by, Y)) plan.add(b, y - o.dy, X - o.bx - o.dx, X - o.bx, X);
        break;
      case 225:
        if (inRange(y, 0, o.by)) plan.add(b, y + o.dy, X - o.bx - o.dx, X - o.bx, X);
        break;
      case 315:
        if (inRange(y, 0, o.by)) plan.add(b, y + o.dy, X - o.bx, 0, o.bx);
        break;
    }
  });
}

// The outgoing picture slides away and uncovers the incoming one.
void slideOut(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b, int32_t degree,
              const Offsets& o) {
  const int32_t X = a.width() - 1, Y = a.height() - 1;
  ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
    switch (degree) {
      case 0:  // B up to column bx, A(x - bx) after it
        plan.add(b, y, 0, 0, o.bx);
        plan.add(a, y, 1, o.bx + 1, X);
        break;
      case 180:  // A(X - ax + x) before column ax, B from column ax on
        plan.add(a, y, X - o.ax, 0, o.ax - 1);
        plan.add(b, y, o.ax, o.ax, X);
        break;
      case 90:  // A(Y - ay + y) up to row ay, then B from row Y - by on
        if (y <= o.ay) plan.addRow(a, Y - o.ay + y);
        if (y >= Y - o.by) plan.addRow(b, y);
        break;
      case 270:  // A(y - by) from row by on, then B up to row by
        if (y >= o.by) plan.addRow(a, y - o.by);
        if (y <= o.by) plan.addRow(b, y);
        break;
      // Diagonals: every pixel once, from A where the condition holds, else from B.
      case 45:  // x > bx and y < ay: A(x - bx, y + by)
        if (y < o.ay) {
          plan.add(b, y, 0, 0, o.bx);
          plan.add(a, y + o.by, 1, o.bx + 1, X);
        } else {
          plan.addRow(b, y);
        }
        break;
      case 135:  // x < ax and y < ay: A(x + bx, y + by)
        if (y < o.ay) {
          plan.add(a, y + o.by, o.bx, 0, o.ax - 1);
          plan.add(b, y, o.ax, o.ax, X);
        } else {
          plan.addRow(b, y);
        }
        break;
      case 225:  // x < ax and y > by: A(x + bx, y - by)
        if (y > o.by) {
          plan.add(a, y - o.by, o.bx, 0, o.ax - 1);
          plan.add(b, y, o.ax, o.ax, X);
        } else {
          plan.addRow(b, y);
        }
        break;
      case 315:  // x > bx and y > by: A(x - bx, y - by)
        if (y > o.by) {
          plan.add(b, y, 0, 0, o.bx);
          plan.add(a, y - o.by, 1, o.bx + 1, X);
        } else {
          plan.addRow(b, y);
        }
        break;
    }
  });
}

}  // namespace

bool SlideGeometry::changes(int32_t, int32_t) const {
  return degree >= 0 && degree <= 315 && degree % 45 == 0;
}

void SlideGeometry::draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b,
                         double p) const {
  const Offsets o = offsetsOf(a.width() - 1, a.height() - 1, p);
  if (reverse)
    slideOut(out, a, b, degree, o);
  else
    slideIn(out, a, b, degree, o);
}

}  // namespace kpl::transvella
