#include "blue_screen.hpp"

#include <algorithm>
#include <cstring>

#include "kpl/support/frame24.hpp"
#include "kpl/support/settings_line.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
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

#if defined(__x86_64__) || defined(__i386__)
#define KPL_KEY_RUNS 1
// Five pixels (15 bytes) per 16-byte vector. A byte is within its channel's range when
// (byte - low) mod 256 <= high - low; a pixel is keyed when all three of its bytes are, which
// two in-pixel byte rotations bring together. The sixteenth byte belongs to the next run and
// is written again there, so a run needs a whole vector of row left.
struct KeyVectors {
  alignas(16) uint8_t low[16];
  alignas(16) uint8_t range[16];
  explicit KeyVectors(const KeyBounds& k) {
    for (size_t i = 0; i < 15; ++i) {
      low[i] = k.low[i % 3];
      range[i] = uint8_t(k.high[i % 3] - k.low[i % 3]);
    }
    low[15] = 0;
    range[15] = 255;  // the sixteenth byte always passes
  }
};

// Byte shuffles that give each byte of a pixel the pixel's next and its after-next byte.
alignas(16) constexpr uint8_t kNext[16] = {1, 2, 0, 4, 5, 3, 7, 8, 6, 10, 11, 9, 13, 14, 12, 15};
alignas(16) constexpr uint8_t kAfterNext[16] = {2, 0,  1, 5,  3,  4,  8,  6,
                                                7, 11, 9, 10, 14, 12, 13, 15};

__attribute__((target("sse4.1"))) size_t keyRuns(uint8_t* out, const uint8_t* background,
                                                 const uint8_t* foreground, size_t from,
                                                 size_t bytes, const KeyVectors& v) {
  const __m128i next = _mm_load_si128(reinterpret_cast<const __m128i*>(kNext));
  const __m128i afterNext = _mm_load_si128(reinterpret_cast<const __m128i*>(kAfterNext));
  const __m128i low = _mm_load_si128(reinterpret_cast<const __m128i*>(v.low));
  const __m128i range = _mm_load_si128(reinterpret_cast<const __m128i*>(v.range));
  const __m128i zero = _mm_setzero_si128();
  size_t i = from;
  for (; i + 16 <= bytes; i += 15) {
    const __m128i fg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(foreground + i));
    const __m128i bg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + i));
    // Zero where the byte lies within its channel's range.
    const __m128i outside = _mm_subs_epu8(_mm_sub_epi8(fg, low), range);
    const __m128i pixelOutside = _mm_or_si128(
        outside,
        _mm_or_si128(_mm_shuffle_epi8(outside, next), _mm_shuffle_epi8(outside, afterNext)));
    const __m128i keyed = _mm_cmpeq_epi8(pixelOutside, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_blendv_epi8(fg, bg, keyed));
  }
  return i;
}

// The same ten pixels at a time: the upper lane holds the five pixels from byte 15 on.
__attribute__((target("avx2"))) __m256i loadRunPair(const uint8_t* p) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 15)), 1);
}

__attribute__((target("avx2"))) size_t keyRunPairs(uint8_t* out, const uint8_t* background,
                                                   const uint8_t* foreground, size_t bytes,
                                                   const KeyVectors& v) {
  const __m256i next =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kNext)));
  const __m256i afterNext =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kAfterNext)));
  const __m256i low =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(v.low)));
  const __m256i range =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(v.range)));
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 31 <= bytes; i += 30) {
    const __m256i fg = loadRunPair(foreground + i), bg = loadRunPair(background + i);
    const __m256i outside = _mm256_subs_epu8(_mm256_sub_epi8(fg, low), range);
    const __m256i pixelOutside =
        _mm256_or_si256(outside, _mm256_or_si256(_mm256_shuffle_epi8(outside, next),
                                                 _mm256_shuffle_epi8(outside, afterNext)));
    const __m256i keyed = _mm256_blendv_epi8(fg, bg, _mm256_cmpeq_epi8(pixelOutside, zero));
    // The lower run first: the upper one's first byte is the pixel the lower one's last byte
    // only began.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(keyed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 15), _mm256_extracti128_si256(keyed, 1));
  }
  return i;
}

// Twenty-one pixels (63 bytes) per 64-byte vector. The byte tests land in a mask register,
// where a pixel's three bits are combined with shifts instead of byte shuffles. The 64th byte
// belongs to the next run and is written again there.
__attribute__((target("avx512bw"))) size_t keyMaskedRuns(uint8_t* out, const uint8_t* background,
                                                         const uint8_t* foreground, size_t bytes,
                                                         const KeyBounds& k) {
  alignas(64) uint8_t lowBytes[64], rangeBytes[64];
  for (size_t i = 0; i < 64; ++i) {
    lowBytes[i] = k.low[i % 3];
    rangeBytes[i] = uint8_t(k.high[i % 3] - k.low[i % 3]);
  }
  const __m512i low = _mm512_load_si512(lowBytes), range = _mm512_load_si512(rangeBytes);
  constexpr uint64_t kFirstOfPixel = 0x1249249249249249;  // bits 0, 3, ..., 60
  size_t i = 0;
  for (; i + 64 <= bytes; i += 63) {
    const __m512i fg = _mm512_loadu_si512(foreground + i);
    const __m512i bg = _mm512_loadu_si512(background + i);
    const uint64_t inside = _cvtmask64_u64(_mm512_cmple_epu8_mask(_mm512_sub_epi8(fg, low), range));
    const uint64_t pixels = inside & inside >> 1 & inside >> 2 & kFirstOfPixel;
    const __mmask64 keyed = _cvtu64_mask64(pixels | pixels << 1 | pixels << 2);
    _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(keyed, fg, bg));
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

KeyPath WidestKeyPath() {
#if defined(KPL_KEY_RUNS)
  static const KeyPath path = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors have
    if (__builtin_cpu_supports("avx512bw")) return KeyPath::kMaskedRuns;
    if (__builtin_cpu_supports("avx2")) return KeyPath::kRunPairs;
    if (__builtin_cpu_supports("sse4.1")) return KeyPath::kRuns;
    return KeyPath::kPlain;
  }();
  return path;
#else
  return KeyPath::kPlain;
#endif
}

void KeyRow(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t bytes,
            const KeyBounds& bounds, KeyPath path) {
  const size_t used = bytes - bytes % 3;
  for (int c = 0; c < 3; ++c)
    if (bounds.low[c] > bounds.high[c]) {  // an empty range keys nothing
      std::memcpy(out, foreground, used);
      return;
    }
  size_t done = 0;
#if defined(KPL_KEY_RUNS)
  if (path != KeyPath::kPlain) {
    const KeyVectors vectors(bounds);
    if (path == KeyPath::kMaskedRuns)
      done = keyMaskedRuns(out, background, foreground, used, bounds);
    if (path == KeyPath::kRunPairs) done = keyRunPairs(out, background, foreground, used, vectors);
    done = keyRuns(out, background, foreground, done, used, vectors);
  }
#endif
  keyPixels(out, background, foreground, done, used, bounds);
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
             [&, path = WidestKeyPath()](uint8_t* o, const uint8_t* a, const uint8_t* b, size_t n) {
               KeyRow(o, a, b, n, bounds, path);
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
