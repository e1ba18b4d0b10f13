#include "fade.hpp"

#include <algorithm>
#include <cstring>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/frame24.hpp"
#include "kpl/support/row_kernels.hpp"
#include "kpl/support/sample_buffer.hpp"

namespace kpl::pannikel {
namespace {

constexpr uint32_t kFadeInBits = pifOneClip | pifAtStart;  // 0x1400
constexpr uint32_t kFadeOutBits = pifOneClip | pifAtEnd;   // 0x2400
constexpr uint32_t kCrossFadeBits = pifTwoClips;           // 0x800

// Trunc(v x 255) with the product formed in extended precision.
uint8_t levelOf(long double fraction) {
  return uint8_t(static_cast<int32_t>(fraction * 255.0L));
}

bool videoStep(FadeBlock& block, const FadeProgress& progress) {
  block.counter = Advance(block.counter, 1);
  const long double p = progress.p;
  if (block.kind > kCrossFade) return true;  // no kind: the result stays as it was

  // Bad input is refused as sound input is: an input that is not a 24-bit frame is read
  // through a converted copy, and a second frame smaller than the first answers false.
  const InputFrame24 first(block.inputs.first);
  if (!first) return false;
  OutputFrame24 out(first.width(), first.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;
  if (block.kind == kCrossFade) {
    const InputFrame24 second(block.inputs.second);
    if (!Covers(second, first)) return false;
    const uint8_t dA = levelOf(p), dB = levelOf(1.0L - p);
    ForEachRow(out, first, second, [&](uint8_t* o, const uint8_t* a, const uint8_t* b, size_t n) {
      CrossRow(o, a, b, n, dA, dB);
    });
  } else {
    const uint8_t d = block.kind == kFadeIn ? levelOf(1.0L - p) : levelOf(p);
    ForEachRow(out, first,
               [&](uint8_t* o, const uint8_t* a, size_t n) { SubtractRow(o, a, n, d); });
  }
  block.result = out.release();
  return true;
}

bool soundStep(FadeBlock& block, const FadeProgress& progress) {
  const WaveFormat& format = block.format;
  const int64_t bytes = SoundBlockBytes(format, block.inputs.firstSize);
  if (bytes < 0) return false;
  const bool eightBit = format.bitsPerSample == 8;
  const bool passes = ScalePassFits(format) && block.kind <= kCrossFade && bytes > 0;
  // A pass must have its inputs: a null buffer with samples to read is refused.
  const int32_t secondFrames = std::min(block.inputs.firstSize, block.inputs.secondSize);
  if (passes && (!block.inputs.first ||
                 (block.kind == kCrossFade && secondFrames > 0 && !block.inputs.second)))
    return false;

  OwnedBlock result(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(bytes));
  if (!result) return false;
  BlockLock out(result.get());
  block.result = result.release();

  if (passes) {
    const double p = progress.p, q = progress.q;
    auto pass = [&](const void* source, double before, double from, PassMode mode) {
      const int64_t samples = int64_t(block.inputs.firstSize) * format.channels;
      ScalePass(source, out.get(), samples, (samples - 1) / 2, before, from, eightBit, mode);
    };
    switch (block.kind) {
      case kFadeIn:
        pass(block.inputs.first, p, q, PassMode::kWrite);
        break;
      case kFadeOut:
        pass(block.inputs.first, 1.0 - p, 1.0 - q, PassMode::kWrite);
        break;
      case kCrossFade:
        pass(block.inputs.first, 1.0 - p, 1.0 - q, PassMode::kWrite);
        block.inputs.firstSize = std::min(block.inputs.firstSize, block.inputs.secondSize);
        pass(block.inputs.second, 1.0 - (1.0 - p), 1.0 - (1.0 - q), PassMode::kAdd);
        break;
    }
  } else if (block.kind == kCrossFade) {
    block.inputs.firstSize = std::min(block.inputs.firstSize, block.inputs.secondSize);
  }
  block.counter = Advance(block.counter, block.inputs.firstSize);
  return true;
}

}  // namespace

uint8_t FadeKindFromFlags(uint32_t flags) {
  if (flags & pifOneClip) return (flags & pifAtStart) ? kFadeIn : kFadeOut;
  return (flags & pifTwoClips) ? kCrossFade : kFadeOut;
}

uint32_t PlacementBitsOf(uint8_t kind) {
  switch (kind) {
    case kFadeIn:
      return kFadeInBits;
    case kFadeOut:
      return kFadeOutBits;
    case kCrossFade:
      return kCrossFadeBits;
    default:
      return 0;
  }
}

FadeProgress FadeProgressOf(int32_t length, int32_t counter, int32_t firstSize, bool sound) {
  long double p = 0.5L, q = 0.5L;
  if (length >= 2) {
    const long double span = static_cast<long double>(int64_t(length) - 1);
    p = static_cast<long double>(counter) / span;
    q = sound ? static_cast<long double>(int64_t(counter) + firstSize / 2) / span : 0.0L;
  }
  // Stored as 64-bit values, then held to 0..1.
  auto clamp = [](double v) {
    if (v > 1.0) v = 1.0;
    if (!(v >= 0.0)) v = 0.0;
    return v;
  };
  return {clamp(static_cast<double>(p)), clamp(static_cast<double>(q))};
}

bool FadeStep(FadeBlock& block) {
  const bool sound = block.flags & pifAudio;
  const FadeProgress progress =
      FadeProgressOf(block.length, block.counter, block.inputs.firstSize, sound);
  return sound ? soundStep(block, progress) : videoStep(block, progress);
}

bool ApplyFadeLine(FadeBlock& block, const char* line) {
  static constexpr struct {
    const char* phrase;
    uint8_t kind;
  } kPhrases[] = {{"fade in", kFadeIn}, {"fade out", kFadeOut}, {"cross fade", kCrossFade}};
  for (const auto& entry : kPhrases) {
    if (std::strstr(line, entry.phrase)) {
      block.kind = entry.kind;
      block.flags |= PlacementBitsOf(entry.kind);
      return true;
    }
  }
  return false;
}

const char* FadeLineOf(uint8_t kind) {
  static constexpr const char* kLines[] = {"TYPE=FADE IN", "TYPE=FADE OUT", "TYPE=CROSS FADE"};
  return kind <= kCrossFade ? kLines[kind] : nullptr;
}

}  // namespace kpl::pannikel
