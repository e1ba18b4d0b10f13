// Push: both pictures move together by one offset n; the column or row n shows the incoming
// picture. Columns are listed left to right, each once.
#include "geometry.hpp"
#include "kpl/support/row_spans.hpp"

namespace kpl::transvella {

bool PushGeometry::changes(int32_t, int32_t) const {
  return degree == 0 || degree == 90 || degree == 180 || degree == 270;
}

void PushGeometry::draw(OutputFrame24& out, const InputFrame24& a, const InputFrame24& b,
                        double p) const {
  const int32_t X = a.width() - 1, Y = a.height() - 1;
  const long double lp = p;
  switch (degree) {
    case 0: {  // right: A(x - n) from column n on, B(X - n + x) up to column n
      const int32_t n = Trunc(X * lp);
      ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
        plan.add(b, y, X - n, 0, n);
        plan.add(a, y, 1, n + 1, X);
      });
      break;
    }
    case 180: {  // left: A(X - n + x) up to column n, B(x - n) from column n on
      const int32_t n = Trunc((1.0L - lp) * X);
      ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
        plan.add(a, y, X - n, 0, n - 1);
        plan.add(b, y, 0, n, X);
      });
      break;
    }
    case 90: {  // up: A(Y - n + y) up to row n, B(y - n) from row n on
      const int32_t n = Trunc((1.0L - lp) * Y);
      ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
        if (y <= n) plan.addRow(a, Y - n + y);
        if (y >= n) plan.addRow(b, y - n);
      });
      break;
    }
    case 270: {  // down: A(y - n) from row n on, B(Y - n + y) up to row n
      const int32_t n = Trunc(Y * lp);
      ComposeRows(out, a, [&](int32_t y, RowPlan& plan) {
        if (y >= n) plan.addRow(a, y - n);
        if (y <= n) plan.addRow(b, Y - n + y);
      });
      break;
    }
    default:
      CopyRows(out, a);
  }
}

}  // namespace kpl::transvella
