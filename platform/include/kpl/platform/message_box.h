#pragma once
// Message boxes. In a run without a person, the box is printed to stderr and answered with its
// default button.
#include <cstdint>

#include "kpl/platform/api.h"
#include "kpl/platform/sound.h"  // MB_OK

// Button sets (low four bits of the style).
inline constexpr uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x00000002;
inline constexpr uint32_t MB_YESNOCANCEL = 0x00000003;
inline constexpr uint32_t MB_YESNO = 0x00000004;
inline constexpr uint32_t MB_RETRYCANCEL = 0x00000005;
inline constexpr uint32_t MB_CANCELTRYCONTINUE = 0x00000006;
// Icons.
inline constexpr uint32_t MB_ICONHAND = 0x00000010;
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr uint32_t MB_ICONASTERISK = 0x00000040;
// Which button is the default (the first when none is given).
inline constexpr uint32_t MB_DEFBUTTON1 = 0x00000000;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x00000100;
inline constexpr uint32_t MB_DEFBUTTON3 = 0x00000200;

// Answers: the button chosen.
inline constexpr int32_t IDOK = 1;
inline constexpr int32_t IDCANCEL = 2;
inline constexpr int32_t IDABORT = 3;
inline constexpr int32_t IDRETRY = 4;
inline constexpr int32_t IDIGNORE = 5;
inline constexpr int32_t IDYES = 6;
inline constexpr int32_t IDNO = 7;
inline constexpr int32_t IDTRYAGAIN = 10;
inline constexpr int32_t IDCONTINUE = 11;

extern "C" {
// Shows `text` under `caption` (null: "Error") and answers the button chosen; 0 for a style
// with an unknown button set.
KPL_PLATFORM_API int32_t MessageBoxA(uint32_t ownerWindow, const char* text, const char* caption,
                                     uint32_t style);
// Number of message boxes shown in the process so far.
KPL_PLATFORM_API uint32_t MessageBoxCount(void);
}
