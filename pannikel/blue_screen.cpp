#include "blue_screen.hpp"

#include <algorithm>
#include <cstring>

#include "kpl/support/frame24.hpp"
#include "kpl/support/settings_line.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kpl::pannikel {
namespace {

bool keyed(const uint8_t* pixel, const KeyBounds& k) {
  return pixel[0] >= k.low[0] && pixel[0] <= k.high[0] && pixel[1] >= k.low[1] &&
         pixel[1] <= k.high[1] && pixel[2] >= k.low[2] && pixel[2] <= k.high[2];
}

void keyPixels(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t from,
               size_t to, const KeyBounds& k) {
  for (size_t i = from; i < to; i += 3) {
    const uint8_t* source = keyed(foreground + i, k) ? background + i : foreground + i;
    out[i] = source[0];
    out[i + 1] = source[1];
    out[i + 2] = source[2];
  }
}

#if defined(__SSE2__)
// Sixteen pixels (48 bytes, three vectors) at a time: the channel tests give one bit per byte;
// a pixel is keyed when its three bits are set, and its three bytes then come from the
// background.
constexpr uint64_t kPixelStarts = 0x249249249249;  // bits 0, 3, ..., 45

// The 16-byte run of a repeating three-byte pattern that starts at byte `offset`.
__m128i patternAt(const uint8_t (&bytes)[3], size_t offset) {
  alignas(16) uint8_t run[16];
  for (size_t i = 0; i < 16; ++i)
    run[i] = bytes[(offset + i) % 3];
  return _mm_load_si128(reinterpret_cast<const __m128i*>(run));
}

// Bit i of `bits` spread to all of byte i.
__m128i byteMask(uint32_t bits) {
  __m128i v = _mm_cvtsi32_si128(int(bits & 0xFFFF));
  v = _mm_unpacklo_epi8(v, v);
  v = _mm_unpacklo_epi16(v, v);
  v = _mm_unpacklo_epi32(v, v);  // the low byte in bytes 0-7, the high byte in bytes 8-15
  const __m128i bit = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
  return _mm_cmpeq_epi8(_mm_and_si128(v, bit), bit);
}

uint64_t withinBits(__m128i v, __m128i low, __m128i high) {
  const __m128i aboveLow = _mm_cmpeq_epi8(_mm_max_epu8(v, low), v);
  const __m128i belowHigh = _mm_cmpeq_epi8(_mm_min_epu8(v, high), v);
  return uint64_t(uint32_t(_mm_movemask_epi8(_mm_and_si128(aboveLow, belowHigh))));
}

size_t keyBlocks(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t bytes,
                 const KeyBounds& k) {
  const __m128i low[3] = {patternAt(k.low, 0), patternAt(k.low, 16), patternAt(k.low, 32)};
  const __m128i high[3] = {patternAt(k.high, 0), patternAt(k.high, 16), patternAt(k.high, 32)};
  size_t i = 0;
  for (; i + 48 <= bytes; i += 48) {
    __m128i fg[3];
    uint64_t within = 0;
    for (int v = 0; v < 3; ++v) {
      fg[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(foreground + i + 16 * v));
      within |= withinBits(fg[v], low[v], high[v]) << (16 * v);
    }
    const uint64_t keyedPixels = within & (within >> 1) & (within >> 2) & kPixelStarts;
    const uint64_t fromBackground = keyedPixels * 7;  // each keyed pixel's three bytes
    for (int v = 0; v < 3; ++v) {
      const __m128i take = byteMask(uint32_t(fromBackground >> (16 * v)));
      const __m128i bg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + i + 16 * v));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16 * v),
                       _mm_or_si128(_mm_and_si128(take, bg), _mm_andnot_si128(take, fg[v])));
    }
  }
  return i;
}
#endif

}  // namespace

KeyBounds KeyBoundsOf(uint32_t key, int32_t tolerance) {
  const int64_t t = int64_t(tolerance) * 128 / 100;
  const uint8_t channels[3] = {uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)};  // b, g, r
  KeyBounds bounds{};
  for (int c = 0; c < 3; ++c) {
    const int64_t low = std::max<int64_t>(channels[c] - t, 0);
    const int64_t high = std::min<int64_t>(channels[c] + t, 255);
    const bool empty = low > high;  // a negative tolerance keys nothing
    bounds.low[c] = empty ? 255 : uint8_t(low);
    bounds.high[c] = empty ? 0 : uint8_t(high);
  }
  return bounds;
}

void KeyRow(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t bytes,
            const KeyBounds& bounds) {
  size_t done = 0;
#if defined(__SSE2__)
  done = keyBlocks(out, background, foreground, bytes, bounds);
#endif
  keyPixels(out, background, foreground, done, bytes - bytes % 3, bounds);
}

bool BlueScreenStep(BlueScreenBlock& block) {
  const KeyBounds bounds = KeyBoundsOf(block.key, block.tolerance);
  // Inputs are read as Fade reads them: a frame of another depth through a 24-bit copy, and a
  // second frame smaller than the first is refused.
  const InputFrame24 background(block.inputs.first);
  if (!background) return false;
  const InputFrame24 foreground(block.inputs.second);
  if (!Covers(foreground, background)) return false;
  OutputFrame24 out(background.width(), background.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;
  ForEachRow(out, background, foreground,
             [&](uint8_t* o, const uint8_t* a, const uint8_t* b, size_t n) {
               KeyRow(o, a, b, n, bounds);
             });
  block.result = out.release();
  block.counter = Advance(block.counter, 1);
  return true;
}

bool ApplyBlueScreenLine(BlueScreenBlock& block, const char* line) {
  // Each key reads from the text left after the first "=", in the order given.
  const char* rest = line;
  if (LineContains(rest, "color=")) {
    rest = ValueOf(rest);
    block.key = uint32_t(ReadNumber(rest));
  }
  if (LineContains(rest, "tolerance=")) {
    rest = ValueOf(rest);
    block.tolerance = ReadNumber(rest);
  }
  return std::strcmp(line, "end") != 0;
}

}  // namespace kpl::pannikel
