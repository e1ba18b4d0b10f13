#pragma once
// The default beep. There is no speaker here: beeps are counted so a caller can be observed.
#include <cstdint>

#include "kpl/platform/api.h"

inline constexpr uint32_t MB_OK = 0x00000000;

extern "C" {
KPL_PLATFORM_API int32_t MessageBeep(uint32_t type);
KPL_PLATFORM_API uint32_t MessageBeepCount(void);
}
