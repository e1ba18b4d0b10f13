#include "transition.hpp"

namespace kpl::transvella {

double TransitionProgress(int32_t length, int32_t counter) {
  if (length == 1) return 1.0;
  // Formed in extended precision and kept as a 64-bit value.
  const double p = static_cast<double>(static_cast<long double>(counter) /
                                       static_cast<long double>(int64_t(length) - 1));
  return p > 1.0 ? 1.0 : p;
}

}  // namespace kpl::transvella
