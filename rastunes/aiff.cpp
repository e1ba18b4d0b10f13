#include "aiff.hpp"

#include <bit>
#include <cstring>

#include "picture_io.hpp"

namespace kpl::rastunes::aiff {

void EncodeRate(uint32_t rate, uint8_t out[10]) {
  std::memset(out, 0, 10);
  if (rate == 0) return;
  const int top = 31 - std::countl_zero(rate);  // the leading 1 bit
  const uint32_t exponent = uint32_t(16383 + top);
  const uint64_t significand = uint64_t(rate) << (63 - top);
  PutBe16(out, exponent);
  PutBe32(out + 2, uint32_t(significand >> 32));
  PutBe32(out + 6, uint32_t(significand));
}

std::optional<uint32_t> DecodeRate(const uint8_t in[10]) {
  const bool negative = in[0] & 0x80;
  const int exponent = int(Be16(in) & 0x7FFF) - 16383;
  const uint64_t significand = uint64_t(Be32(in + 2)) << 32 | Be32(in + 6);
  if (negative || significand == 0 || exponent < 0) return 0;  // below 1 truncates to 0
  if (exponent > 63) return std::nullopt;
  const uint64_t whole = significand >> (63 - exponent);
  if (whole >= (uint64_t(1) << 30)) return std::nullopt;
  return uint32_t(whole);
}

namespace {

bool readAt(int fd, uint64_t offset, uint8_t* out, size_t bytes) {
  return ReadUpTo(fd, offset, out, bytes) == bytes;
}

bool is(const uint8_t* id, const char (&name)[5]) {
  return std::memcmp(id, name, 4) == 0;
}

}  // namespace

std::optional<Layout> Parse(int fd) {
  uint8_t form[12];
  if (!readAt(fd, 0, form, sizeof form) || !is(form, "FORM") || !is(form + 8, "AIFF"))
    return std::nullopt;
  Layout layout{};
  bool haveCommon = false, haveSound = false;
  uint64_t at = sizeof form;
  while (!(haveCommon && haveSound)) {
    uint8_t chunk[8];
    if (!readAt(fd, at, chunk, sizeof chunk)) return std::nullopt;
    const uint32_t size = Be32(chunk + 4);
    const uint64_t body = at + 8;
    if (is(chunk, "FVER")) return std::nullopt;
    if (is(chunk, "COMM") && size >= 18) {
      uint8_t c[18];
      if (!readAt(fd, body, c, sizeof c)) return std::nullopt;
      const uint16_t channels = Be16(c), bits = Be16(c + 6);
      const auto rate = DecodeRate(c + 8);
      const uint32_t frames = Be32(c + 2);
      if ((channels == 1 || channels == 2) && (bits == 8 || bits == 16) && rate &&
          frames <= uint32_t(INT32_MAX)) {
        layout.channels = channels;
        layout.sampleFrames = frames;
        layout.bitsPerSample = bits;
        layout.sampleRate = *rate;
        haveCommon = true;
      }
    } else if (is(chunk, "SSND") && size >= 8) {
      uint8_t s[8];
      if (!readAt(fd, body, s, sizeof s)) return std::nullopt;
      const uint64_t start = body + 8 + Be32(s);
      if (start > UINT32_MAX) return std::nullopt;
      layout.dataStart = uint32_t(start);
      layout.dataEnd = body + size;
      haveSound = true;
    }
    // Chunks of an odd size are followed by a pad byte.
    at = body + size + (size & 1);
  }
  return layout;
}

void BuildHeader(uint16_t channels, uint32_t sampleFrames, uint16_t bitsPerSample,
                 uint32_t sampleRate, uint32_t dataBytes, uint8_t out[kHeaderBytes]) {
  std::memset(out, 0, kHeaderBytes);
  std::memcpy(out, "FORM", 4);
  PutBe32(out + 4, dataBytes + (dataBytes & 1) + 46);
  std::memcpy(out + 8, "AIFFCOMM", 8);
  PutBe32(out + 16, 18);
  PutBe16(out + 20, channels);
  PutBe32(out + 22, sampleFrames);
  PutBe16(out + 26, bitsPerSample);
  EncodeRate(sampleRate, out + 28);
  std::memcpy(out + 38, "SSND", 4);
  PutBe32(out + 42, dataBytes + 8);
}

void ConvertSamples(const uint8_t* in, uint8_t* out, size_t bytes, uint16_t bitsPerSample) {
  if (bitsPerSample == 8) {
    for (size_t i = 0; i < bytes; ++i)
      out[i] = uint8_t(in[i] ^ 0x80);
    return;
  }
  const size_t pairs = bytes / 2;
  for (size_t i = 0; i < pairs; ++i) {
    const uint8_t low = in[2 * i];
    out[2 * i] = in[2 * i + 1];
    out[2 * i + 1] = low;
  }
  if (bytes & 1) out[bytes - 1] = in[bytes - 1];
}

}  // namespace kpl::rastunes::aiff
