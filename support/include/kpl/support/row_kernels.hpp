#pragma once
// Byte-wise row arithmetic of the fades, sixteen bytes at a time where SSE2 is there.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kpl {

// out = max(a - d, 0) for every byte.
inline void SubtractRow(uint8_t* __restrict out, const uint8_t* __restrict a, size_t bytes,
                        uint8_t d) {
  auto scalar = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      out[i] = uint8_t(a[i] - std::min(a[i], d));
  };
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i level = _mm_set1_epi8(char(d));
  for (; i + 16 <= bytes; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_subs_epu8(va, level));
  }
#endif
  scalar(i, bytes);
}

// out = min(max(a - dA, 0) + max(b - dB, 0), 255) for every byte.
inline void CrossRow(uint8_t* __restrict out, const uint8_t* __restrict a,
                     const uint8_t* __restrict b, size_t bytes, uint8_t dA, uint8_t dB) {
  auto scalar = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const unsigned sum =
          unsigned(a[i] - std::min(a[i], dA)) + unsigned(b[i] - std::min(b[i], dB));
      out[i] = uint8_t(std::min(sum, 255u));
    }
  };
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i levelA = _mm_set1_epi8(char(dA)), levelB = _mm_set1_epi8(char(dB));
  for (; i + 16 <= bytes; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_adds_epu8(_mm_subs_epu8(va, levelA), _mm_subs_epu8(vb, levelB)));
  }
#endif
  scalar(i, bytes);
}

// out = b where the mask byte is 0xFF, a where it is 0, for every byte.
inline void SelectRow(uint8_t* __restrict out, const uint8_t* __restrict a,
                      const uint8_t* __restrict b, const uint8_t* __restrict mask, size_t bytes) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= bytes; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i vm = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_or_si128(_mm_and_si128(vm, vb), _mm_andnot_si128(vm, va)));
  }
#endif
  for (; i < bytes; ++i)
    out[i] = uint8_t((b[i] & mask[i]) | (a[i] & ~mask[i]));
}

}  // namespace kpl
