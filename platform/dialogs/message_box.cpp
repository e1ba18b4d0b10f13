// Message boxes in a run without a person: the box goes to stderr, the default button answers.
#include "kpl/platform/message_box.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

struct ButtonSet {
  const char* names[3];
  int32_t answers[3];
  int count;
};

// Indexed by the style's low four bits.
constexpr ButtonSet kButtonSets[] = {
    {{"OK"}, {IDOK}, 1},
    {{"OK", "Cancel"}, {IDOK, IDCANCEL}, 2},
    {{"Abort", "Retry", "Ignore"}, {IDABORT, IDRETRY, IDIGNORE}, 3},
    {{"Yes", "No", "Cancel"}, {IDYES, IDNO, IDCANCEL}, 3},
    {{"Yes", "No"}, {IDYES, IDNO}, 2},
    {{"Retry", "Cancel"}, {IDRETRY, IDCANCEL}, 2},
    {{"Cancel", "Try Again", "Continue"}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3},
};

std::atomic<uint32_t> boxesShown{0};

}  // namespace

extern "C" {

int32_t MessageBoxA(uint32_t, const char* text, const char* caption, uint32_t style) {
  try {
    const uint32_t setIndex = style & 0xF;
    if (setIndex >= std::size(kButtonSets)) return 0;
    const ButtonSet& set = kButtonSets[setIndex];
    int chosen = int((style >> 8) & 0xF);  // MB_DEFBUTTON1..3 as 0..2
    if (chosen >= set.count) chosen = 0;
    std::string buttons;
    for (int i = 0; i < set.count; ++i)
      buttons += std::string(i ? " " : "") + (i == chosen ? "[" : "") + set.names[i] +
                 (i == chosen ? "]" : "");
    ++boxesShown;
    std::fprintf(stderr, "message box \"%s\": %s  %s -> %s\n", caption ? caption : "Error",
                 text ? text : "", buttons.c_str(), set.names[chosen]);
    std::fflush(stderr);
    return set.answers[chosen];
  } catch (...) {
    return 0;
  }
}

uint32_t MessageBoxCount(void) {
  return boxesShown.load();
}
}
