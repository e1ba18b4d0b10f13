#include <atomic>

#include "kpl/platform/sound.h"

namespace {
std::atomic<uint32_t> beeps{0};
}

extern "C" {
int32_t MessageBeep(uint32_t) {
  ++beeps;
  return 1;
}
uint32_t MessageBeepCount(void) {
  return beeps.load();
}
}
