#pragma once
// The wipe's rule written out plainly, for the tests to check against: the distance of pixel
// (x, y) of a w x h picture from the start edge or corner of each direction (y counted from
// the top).
#include <gtest/gtest.h>

#include <cstdint>

namespace pannikel_test {

inline int64_t DistanceFromStart(int32_t degree, int64_t x, int64_t y, int64_t w, int64_t h) {
  switch (degree) {
    case 0:
      return x;
    case 90:
      return (h - 1) - y;
    case 180:
      return (w - 1) - x;
    case 270:
      return y;
    case 45:
      return x + ((h - 1) - y);
    case 135:
      return ((w - 1) - x) + ((h - 1) - y);
    case 225:
      return ((w - 1) - x) + y;
    case 315:
      return x + y;
  }
  ADD_FAILURE() << "no direction " << degree;
  return 0;
}

}  // namespace pannikel_test
