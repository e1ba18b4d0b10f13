// The default beep has no speaker; each beep is counted so callers can be observed.
#include <gtest/gtest.h>

#include "kpl/platform/sound.h"

namespace {

TEST(MessageBeep, EveryBeepIsCounted) {
  const uint32_t before = MessageBeepCount();
  EXPECT_NE(MessageBeep(MB_OK), 0);
  EXPECT_NE(MessageBeep(0xFFFFFFFF), 0);  // any beep type counts the same
  EXPECT_EQ(MessageBeepCount(), before + 2);
}

}  // namespace
