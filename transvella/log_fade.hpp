#pragma once
// The four fades whose strength follows square curves of the progress: fade in, fade out,
// cross fade and fade in/fade out, on video frames or on sound.
#include <cstdint>

#include "kpl/support/effect_calls.hpp"
#include "kpl/support/frame24.hpp"
#include "kpl/support/plug_hdr.hpp"

namespace kpl::transvella {

enum LogFadeKind : uint8_t { kLogFadeIn = 0, kLogFadeOut = 1, kLogCrossFade = 2, kLogInOut = 3 };
inline constexpr uint8_t kLogFadeKinds = 4;

struct LogFadeBlock {
  uint32_t flags;
  int32_t length;
  uint8_t kind;  // the type index
  WaveFormat format;
  StepInputs inputs;
  int32_t counter;
  uint32_t result;
};

// Type flag words and fixed instance bits by kind.
uint32_t LogFadeTypeFlags(uint8_t kind);
uint32_t LogFadeInstanceBits(uint8_t kind);

// x of a step: 0.5 for a length below 2, otherwise counter / length (note: not length - 1),
// held to 0 .. 1.
double LogFadeProgress(int32_t length, int32_t counter);

// Draws the fade of `kind` at progress x into `out` (the size of a). `b` is read only by the
// kinds and progress that show the second picture, and must then cover a.
void DrawLogFade(OutputFrame24& out, const InputFrame24& a, const InputFrame24* b, uint8_t kind,
                 double x);
// True when the fade at progress x reads the second picture.
bool LogFadeReadsSecond(uint8_t kind, double x);

// One step on the block's stored inputs: a new result frame or sound block. False when the
// inputs cannot be read.
bool LogFadeStep(LogFadeBlock& block);

}  // namespace kpl::transvella
