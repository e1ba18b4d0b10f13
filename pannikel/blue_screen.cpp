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

#endif

#if defined(__x86_64__)
#define KPL_KEY_LINES 1
// Whole cache lines: the row is cut at the output's 64-byte boundaries, so every full vector
// written is one line, which can be streamed out without first being read. A line starts at any
// byte of a pixel, so its channel bounds and the bits that mark a pixel's first byte come in
// three phases; the lines of a row run through them in turn. Byte tests land in a mask register
// and a pixel is keyed when its three bits are set; those bits may straddle two lines, so each
// line looks ahead at the next one's tests and back at the pixels the last one began.
// Bits of a line's first pixel bytes, by the line's phase.
constexpr uint64_t kFirstOfPixel[3] = {0x9249249249249249, 0x4924924924924924, 0x2492492492492492};

// The bytes of the line at row offset `at` that lie inside the row [0, bytes).
uint64_t bytesWithin(ptrdiff_t at, ptrdiff_t bytes) {
  uint64_t mask = ~uint64_t(0);
  if (at < 0) mask <<= -at;
  const ptrdiff_t left = bytes - at;
  if (left < 64) mask &= left <= 0 ? 0 : (uint64_t(1) << left) - 1;
  return mask;
}

template <class T>
T* offsetBy(T* p, ptrdiff_t at) {  // lines may begin before the row: masked bytes only
  return reinterpret_cast<T*>(reinterpret_cast<uintptr_t>(p) + uintptr_t(at));
}

constexpr ptrdiff_t kPrefetchAhead = 1024;

struct KeyLine {
  __m512i foreground, background;
  uint64_t inside;  // bytes within their channel's bounds
};

__attribute__((target("avx512bw"))) inline uint64_t insideOf(__m512i foreground, const KeyPlan& p,
                                                             int phase) {
  const __m512i low = _mm512_load_si512(p.lineLow[phase]);
  const __m512i range = _mm512_load_si512(p.lineRange[phase]);
  return _cvtmask64_u64(_mm512_cmple_epu8_mask(_mm512_sub_epi8(foreground, low), range));
}

__attribute__((target("avx512bw"))) inline KeyLine loadWholeLine(const uint8_t* background,
                                                                 const uint8_t* foreground,
                                                                 ptrdiff_t at, const KeyPlan& p,
                                                                 int phase) {
  // The hardware's prefetch stops at page ends; asking ahead keeps both inputs flowing
  // (a prefetch past the frame is harmless).
  _mm_prefetch(offsetBy(reinterpret_cast<const char*>(foreground), at + kPrefetchAhead),
               _MM_HINT_T0);
  _mm_prefetch(offsetBy(reinterpret_cast<const char*>(background), at + kPrefetchAhead),
               _MM_HINT_T0);
  KeyLine line{_mm512_loadu_si512(foreground + at), _mm512_loadu_si512(background + at), 0};
  line.inside = insideOf(line.foreground, p, phase);
  return line;
}

// A line only partly inside the row (or not at all): its other bytes are neither read nor tested.
__attribute__((target("avx512bw"))) inline KeyLine loadPartLine(const uint8_t* background,
                                                                const uint8_t* foreground,
                                                                ptrdiff_t at, ptrdiff_t bytes,
                                                                const KeyPlan& p, int phase) {
  const uint64_t within = bytesWithin(at, bytes);
  KeyLine line{_mm512_maskz_loadu_epi8(within, offsetBy(foreground, at)),
               _mm512_maskz_loadu_epi8(within, offsetBy(background, at)), 0};
  line.inside = insideOf(line.foreground, p, phase) & within;
  return line;
}

// The line's output. A pixel is keyed when its three bytes are inside: the tests of the next
// line finish the pixels this one begins, and `begunBefore` carries the pixels begun here on.
__attribute__((target("avx512bw"))) inline __m512i keyLine(const KeyLine& line, uint64_t nextInside,
                                                           int phase, uint64_t& begunBefore) {
  const uint64_t m = line.inside;
  const uint64_t begun =
      m & (m >> 1 | nextInside << 63) & (m >> 2 | nextInside << 62) & kFirstOfPixel[phase];
  const uint64_t keyedBytes =
      begun | begun << 1 | begun << 2 | begunBefore >> 62 | begunBefore >> 63;
  begunBefore = begun;
  return _mm512_mask_blend_epi8(_cvtu64_mask64(keyedBytes), line.foreground, line.background);
}

__attribute__((target("avx512bw"))) inline void storeLine(uint8_t* out, ptrdiff_t at,
                                                          uint64_t within, __m512i result,
                                                          RowStores stores) {
  if (within != ~uint64_t(0))
    _mm512_mask_storeu_epi8(offsetBy(out, at), within, result);
  else if (stores == RowStores::kStreamed)
    _mm512_stream_si512(reinterpret_cast<__m512i*>(out + at), result);
  else
    _mm512_store_si512(out + at, result);
}

constexpr int kFollowingPhase[3] = {1, 2, 0};  // a line's 64 bytes move the phase on by one

template <RowStores Stores>
__attribute__((target("avx512bw"))) void keyLines(uint8_t* out, const uint8_t* background,
                                                  const uint8_t* foreground, size_t rowBytes,
                                                  const KeyPlan& phases) {
  const auto bytes = ptrdiff_t(rowBytes);
  ptrdiff_t at = -ptrdiff_t(reinterpret_cast<uintptr_t>(out) & 63);
  int phase = int((at % 3 + 3) % 3);
  KeyLine line = loadPartLine(background, foreground, at, bytes, phases, phase);
  uint64_t begunBefore = 0;
  // A line that begins before the row is written under a mask.
  if (at < 0 && at + 128 <= bytes) {
    const KeyLine next =
        loadWholeLine(background, foreground, at + 64, phases, kFollowingPhase[phase]);
    storeLine(out, at, bytesWithin(at, bytes), keyLine(line, next.inside, phase, begunBefore),
              Stores);
    line = next;
    phase = kFollowingPhase[phase];
    at += 64;
  }
  // Whole lines while the next line is whole too.
  for (; at + 128 <= bytes; at += 64) {
    const KeyLine next =
        loadWholeLine(background, foreground, at + 64, phases, kFollowingPhase[phase]);
    storeLine(out, at, ~uint64_t(0), keyLine(line, next.inside, phase, begunBefore), Stores);
    line = next;
    phase = kFollowingPhase[phase];
  }
  // The last line or two, which may end inside the row.
  for (; at < bytes; at += 64) {
    const KeyLine next =
        loadPartLine(background, foreground, at + 64, bytes, phases, kFollowingPhase[phase]);
    storeLine(out, at, bytesWithin(at, bytes), keyLine(line, next.inside, phase, begunBefore),
              Stores);
    line = next;
    phase = kFollowingPhase[phase];
  }
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

void EndStreamedStores() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_sfence();  // streamed lines reach memory before the frame is handed on
#endif
}

KeyPath WidestKeyPath() {
#if defined(KPL_KEY_RUNS)
  static const KeyPath path = [] {
    __builtin_cpu_init();  // may run before the runtime's own constructors have
#if defined(KPL_KEY_LINES)
    if (__builtin_cpu_supports("avx512bw")) return KeyPath::kLines;
#endif
    if (__builtin_cpu_supports("avx2")) return KeyPath::kRunPairs;
    if (__builtin_cpu_supports("sse4.1")) return KeyPath::kRuns;
    return KeyPath::kPlain;
  }();
  return path;
#else
  return KeyPath::kPlain;
#endif
}

KeyPlan::KeyPlan(const KeyBounds& k) : bounds(k) {
  uint8_t lowPattern[66], rangePattern[66];  // the bounds repeated; phase q reads from q on
  for (size_t i = 0; i < sizeof lowPattern; ++i) {
    lowPattern[i] = k.low[i % 3];
    rangePattern[i] = uint8_t(k.high[i % 3] - k.low[i % 3]);
  }
  for (size_t q = 0; q < 3; ++q) {
    std::memcpy(lineLow[q], lowPattern + q, 64);
    std::memcpy(lineRange[q], rangePattern + q, 64);
  }
}

void KeyRow(uint8_t* out, const uint8_t* background, const uint8_t* foreground, size_t bytes,
            const KeyPlan& plan, KeyPath path, RowStores stores) {
  const KeyBounds& bounds = plan.bounds;
  const size_t used = bytes - bytes % 3;
  for (int c = 0; c < 3; ++c)
    if (bounds.low[c] > bounds.high[c]) {  // an empty range keys nothing
      std::memcpy(out, foreground, used);
      return;
    }
#if defined(KPL_KEY_LINES)
  if (path == KeyPath::kLines)
    return stores == RowStores::kStreamed
               ? keyLines<RowStores::kStreamed>(out, background, foreground, used, plan)
               : keyLines<RowStores::kCached>(out, background, foreground, used, plan);
#endif
  size_t done = 0;
#if defined(KPL_KEY_RUNS)
  if (path != KeyPath::kPlain) {
    const KeyVectors vectors(bounds);
    if (path == KeyPath::kRunPairs) done = keyRunPairs(out, background, foreground, used, vectors);
    done = keyRuns(out, background, foreground, done, used, vectors);
  }
#endif
  keyPixels(out, background, foreground, done, used, bounds);
}

bool BlueScreenStep(BlueScreenBlock& block) {
  const KeyPlan plan(KeyBoundsOf(block.key, block.tolerance));
  // Inputs are read as Fade reads them: a frame of another depth through a 24-bit copy, and a
  // second frame smaller than the first is refused.
  const InputFrame24 background(block.inputs.first);
  if (!background) return false;
  const InputFrame24 foreground(block.inputs.second);
  if (!Covers(foreground, background)) return false;
  OutputFrame24 out(background.width(), background.height(), FrameContents::kWrittenByCaller);
  if (!out) return false;
  // A large result is written past the caches: it is read once, later, and skipping the read
  // before each write saves a quarter of the traffic.
  const RowStores stores =
      out.pixelBytes() >= kStreamedResultBytes ? RowStores::kStreamed : RowStores::kCached;
  ForEachRow(out, background, foreground,
             [&, path = WidestKeyPath()](uint8_t* o, const uint8_t* a, const uint8_t* b, size_t n) {
               KeyRow(o, a, b, n, plan, path, stores);
             });
  if (stores == RowStores::kStreamed) EndStreamedStores();
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
