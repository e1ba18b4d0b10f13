#pragma once
// ANSI (code page 1252) case conversion in place, accented letters included.
#include <cstdint>

#include "kpl/platform/api.h"

extern "C" {
KPL_PLATFORM_API uint32_t CharLowerBuffA(char* text, uint32_t length);
KPL_PLATFORM_API uint32_t CharUpperBuffA(char* text, uint32_t length);
// Zero-terminated forms; return the text.
KPL_PLATFORM_API char* CharLowerA(char* text);
KPL_PLATFORM_API char* CharUpperA(char* text);
}
