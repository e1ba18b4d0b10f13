#include "log_fade.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/row_kernels.hpp"
#include "kpl/support/sample_buffer.hpp"

namespace kpl::transvella {
namespace {

// Trunc(v) of a strength formed in extended precision; at most 255 is subtracted, which is
// all a channel holds (a strength of 256 gives black as 255 does).
uint8_t strengthOf(long double v) {
  return uint8_t(std::min<int32_t>(static_cast<int32_t>(v), 255));
}

// Trunc(v x v x scale), v formed in extended precision first.
uint8_t squareStrength(long double v, long double scale) {
  return strengthOf(v * v * scale);
}

bool videoStep(LogFadeBlock& block, double x) {
  block.counter = Advance(block.counter, 1);
  if (block.kind >= kLogFadeKinds) return true;  // no kind: the result stays as it was
  const InputFrame24 first(block.inputs.first);
  if (!first) return false;
  std::optional<InputFrame24> second;
  if (LogFadeReadsSecond(block.kind, x)) {
    second.emplace(block.inputs.second);
    if (!Covers(*second, first)) return false;
  }
  OutputFrame24 out(first.width(), first.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;
  DrawLogFade(out, first, second ? &*second : nullptr, block.kind, x);
  block.result = out.release();
  return true;
}

bool soundStep(LogFadeBlock& block, double x) {
  const WaveFormat& format = block.format;
  const int64_t bytes = SoundBlockBytes(format, block.inputs.firstSize);
  if (bytes < 0) return false;
  const bool eightBit = format.bitsPerSample == 8;
  const bool passes = ScalePassFits(format) && block.kind < kLogFadeKinds && bytes > 0;
  const long double lx = x;
  const double y = 2.0 * x;
  const bool fromSecond = block.kind == kLogCrossFade || (block.kind == kLogInOut && y >= 1.0);
  // A pass must have its input: a null buffer with samples to read is refused.
  const int32_t secondFrames = std::min(block.inputs.firstSize, block.inputs.secondSize);
  if (passes && ((block.kind != kLogInOut || y < 1.0) && !block.inputs.first)) return false;
  if (passes && fromSecond && secondFrames > 0 && !block.inputs.second) return false;

  OwnedBlock result(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(bytes));
  if (!result) return false;
  BlockLock out(result.get());
  block.result = result.release();

  auto pass = [&](const void* source, long double gain, PassMode mode) {
    if (!passes) return;
    const int64_t samples = int64_t(block.inputs.firstSize) * format.channels;
    const double g = static_cast<double>(gain);  // the gain is kept as a 64-bit value
    ScalePass(source, out.get(), samples, 0, g, g, eightBit, mode);
  };
  auto lowerToSecond = [&] { block.inputs.firstSize = secondFrames; };
  switch (block.kind) {
    case kLogFadeIn:
      pass(block.inputs.first, lx * lx, PassMode::kWrite);
      break;
    case kLogFadeOut:
      pass(block.inputs.first, (1.0L - lx) * (1.0L - lx), PassMode::kWrite);
      break;
    case kLogCrossFade:
      pass(block.inputs.first, (1.0L - lx) * (1.0L - lx), PassMode::kWrite);
      lowerToSecond();
      pass(block.inputs.second, lx * lx, PassMode::kAdd);
      break;
    case kLogInOut:
      if (y >= 1.0) {
        const long double rise = y - 1.0;
        // Beyond a shorter second buffer the output is silence, which 8-bit sound holds as 128.
        if (eightBit && passes) std::memset(out.get(), 128, size_t(bytes));
        lowerToSecond();
        pass(block.inputs.second, rise * rise, PassMode::kWrite);
      } else {
        pass(block.inputs.first, 1.0L - static_cast<long double>(y) * y, PassMode::kWrite);
      }
      break;
  }
  block.counter = Advance(block.counter, block.inputs.firstSize);
  return true;
}

}  // namespace

uint32_t LogFadeTypeFlags(uint8_t kind) {
  return LogFadeInstanceBits(kind) | pifVideo | pifAudio;
}

uint32_t LogFadeInstanceBits(uint8_t kind) {
  constexpr uint32_t kCommon = pifEffect | pifFormat | pifLength | pifWrite;  // 0x10060200
  switch (kind) {
    case kLogFadeIn:
      return kCommon | pifAtStart | pifOneClip;  // 0x10061600
    case kLogFadeOut:
      return kCommon | pifAtEnd | pifOneClip;  // 0x10062600
    default:
      return kCommon | pifAtEnd | pifTwoClips;  // 0x10062A00
  }
}

double LogFadeProgress(int32_t length, int32_t counter) {
  long double x = 0.5L;
  if (length >= 2) x = static_cast<long double>(counter) / static_cast<long double>(length);
  double stored = static_cast<double>(x);
  if (stored > 1.0) stored = 1.0;
  if (!(stored >= 0.0)) stored = 0.0;
  return stored;
}

bool LogFadeReadsSecond(uint8_t kind, double x) {
  return kind == kLogCrossFade || (kind == kLogInOut && 2.0 * x > 1.0);
}

void DrawLogFade(OutputFrame24& out, const InputFrame24& a, const InputFrame24* b, uint8_t kind,
                 double x) {
  const long double lx = x;
  auto subtract = [&](const InputFrame24& from, uint8_t s) {
    ForEachRow(out, from,
               [&](uint8_t* o, const uint8_t* row, size_t n) { SubtractRow(o, row, n, s); });
  };
  switch (kind) {
    case kLogFadeIn:
      subtract(a, squareStrength(1.0L - lx, 255.0L));
      break;
    case kLogFadeOut:
      subtract(a, squareStrength(lx, 255.0L));
      break;
    case kLogCrossFade: {
      const uint8_t sA = squareStrength(lx, 255.0L), sB = squareStrength(1.0L - lx, 255.0L);
      ForEachRow(out, a, *b, [&](uint8_t* o, const uint8_t* ra, const uint8_t* rb, size_t n) {
        CrossRow(o, ra, rb, n, sA, sB);
      });
      break;
    }
    case kLogInOut: {
      const double y = 2.0 * x;
      if (y > 1.0) {
        const double v = 1.0 - (y - 1.0);
        const uint8_t s = squareStrength(v, 256.0L);
        // The second picture is read at the first picture's size.
        ForEachRow(out, a, *b, [&](uint8_t* o, const uint8_t*, const uint8_t* rb, size_t n) {
          SubtractRow(o, rb, n, s);
        });
      } else {
        subtract(a, squareStrength(y, 256.0L));
      }
      break;
    }
  }
}

bool LogFadeStep(LogFadeBlock& block) {
  const double x = LogFadeProgress(block.length, block.counter);
  return (block.flags & pifAudio) ? soundStep(block, x) : videoStep(block, x);
}

}  // namespace kpl::transvella
