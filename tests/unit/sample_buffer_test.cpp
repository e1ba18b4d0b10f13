// The scaling pass of the sound effects: Trunc(g x s) or Trunc(g x s + r), formed in extended
// precision and truncated toward zero, clamped to the sample range; plus the block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <vector>

#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/sample_buffer.hpp"

namespace {

using kpl::PassMode;

std::vector<uint8_t> Samples16(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int v : values) {
    bytes.push_back(uint8_t(v & 0xFF));
    bytes.push_back(uint8_t((v >> 8) & 0xFF));
  }
  return bytes;
}

int Sample16(const std::vector<uint8_t>& bytes, size_t i) {
  return int16_t(uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
}

// One sample through the pass: 16-bit unless eightBit, where values are signed (s - 128).
int Scale(double gain, int sample, bool eightBit, PassMode mode = PassMode::kWrite, int prior = 0) {
  if (eightBit) {
    uint8_t s = uint8_t(sample + 128), r = uint8_t(prior + 128);
    kpl::ScalePass(&s, &r, 1, 0, gain, gain, true, mode);
    return int(r) - 128;
  }
  std::vector<uint8_t> s = Samples16({sample}), r = Samples16({prior});
  kpl::ScalePass(s.data(), r.data(), 1, 0, gain, gain, false, mode);
  return Sample16(r, 0);
}

// Cases where a product or sum formed in 64-bit doubles rounds up to the next integer
// while the same value in extended precision stays just below it. The gain 1/3 is stored as
// the double (1 - 2^-54) / 3, so 3 x gain = 1 - 2^-54 exactly:
//  - as a double that is a tie between 1 - 2^-53 and 1, which rounds (to even) to 1;
//  - in extended precision (64-bit mantissa) it is exact, and truncates to 0.
// 30000 x gain = 10000 - 625 x 2^-50: below half of the double spacing near 10000 (2^-39)
// but a whole number of extended spacings (2^-50), so double gives 10000, extended 9999.
// 126 x gain = 42 - 42 x 2^-54: double spacing near 42 is 2^-47, so double gives 42;
// extended keeps it below 42. Adding 5 to 1 - 2^-54 gives 6 - 2^-54, exact in extended.
// 0.999 is stored about 8.9e-19 below 0.999, so 1000 x gain is about 8.9e-16 below 999:
// far less than the double spacing near 999 (2^-43) but 16 extended spacings (2^-54).
struct PrecisionCase {
  const char* what;
  double gain;
  int sample;
  bool eightBit;
  PassMode mode;
  int prior;
  int extended;   // the required result
  int viaDouble;  // what double arithmetic would give
};

const double kThird = 1.0 / 3.0;

const PrecisionCase kPrecisionCases[] = {
    {"3 x 1/3", kThird, 3, false, PassMode::kWrite, 0, 0, 1},
    {"-3 x 1/3", kThird, -3, false, PassMode::kWrite, 0, 0, -1},
    {"30000 x 1/3", kThird, 30000, false, PassMode::kWrite, 0, 9999, 10000},
    {"-30000 x 1/3", kThird, -30000, false, PassMode::kWrite, 0, -9999, -10000},
    {"8-bit 3 x 1/3", kThird, 3, true, PassMode::kWrite, 0, 0, 1},
    {"8-bit 126 x 1/3", kThird, 126, true, PassMode::kWrite, 0, 41, 42},
    {"3 x 1/3 + 5", kThird, 3, false, PassMode::kAdd, 5, 5, 6},
    {"8-bit 3 x 1/3 + 5", kThird, 3, true, PassMode::kAdd, 5, 5, 6},
    {"1000 x 0.999", 0.999, 1000, false, PassMode::kWrite, 0, 998, 999},
    {"-1000 x 0.999", 0.999, -1000, false, PassMode::kWrite, 0, -998, -999},
};

TEST(ScalePass, ProductsAndSumsAreFormedInExtendedPrecision) {
  for (const PrecisionCase& c : kPrecisionCases) {
    SCOPED_TRACE(c.what);
    // The case only has teeth if double arithmetic really gives the other answer.
    volatile double product = c.gain * double(c.sample);
    volatile double sum = product + double(c.mode == PassMode::kAdd ? c.prior : 0);
    ASSERT_EQ(int(std::trunc(sum)), c.viaDouble);
    EXPECT_EQ(Scale(c.gain, c.sample, c.eightBit, c.mode, c.prior), c.extended);
  }
}

TEST(ScalePass, GainJustBelowOneTruncatesFullScaleDown) {
  // (1 - 2^-53) x 32767 = 32767 - 32767 x 2^-53 is below 32767 in any precision.
  const double belowOne = std::nextafter(1.0, 0.0);
  EXPECT_EQ(Scale(belowOne, 32767, false), 32766);
  EXPECT_EQ(Scale(belowOne, -32768, false), -32767);
  EXPECT_EQ(Scale(belowOne, 127, true), 126);
  EXPECT_EQ(Scale(belowOne, -128, true), -127);
  EXPECT_EQ(Scale(1.0, 32767, false), 32767);
  EXPECT_EQ(Scale(1.0, -32768, false), -32768);
}

TEST(ScalePass, TruncatesTowardZero) {
  struct Case {
    double gain;
    int sample;
    int expected;
  };
  const Case cases[] = {{0.5, 3, 1},    {0.5, -3, -1},   {0.5, -1, 0},
                        {0.25, -7, -1}, {0.75, 101, 75}, {0.0, -32768, 0}};
  for (bool eightBit : {false, true}) {
    for (const Case& c : cases) {
      if (eightBit && (c.sample < -128 || c.sample > 127)) continue;
      SCOPED_TRACE(testing::Message() << c.gain << " x " << c.sample << (eightBit ? " 8-bit" : ""));
      EXPECT_EQ(Scale(c.gain, c.sample, eightBit), c.expected);
    }
  }
  // 8-bit bytes: byte 1 is -127, half is -63.5, truncated to -63, stored as 65.
  uint8_t s[3] = {1, 255, 128}, r[3] = {0, 0, 0};
  kpl::ScalePass(s, r, 3, 0, 0.5, 0.5, true, PassMode::kWrite);
  EXPECT_EQ(r[0], 65);
  EXPECT_EQ(r[1], 128 + 63);  // 127 x 0.5 = 63.5
  EXPECT_EQ(r[2], 128);       // silence stays silence
}

TEST(ScalePass, AddingTruncatesTheSumNotTheProduct) {
  // -3 x 0.5 + 10 = 8.5 -> 8; truncating the product first would give -1 + 10 = 9.
  EXPECT_EQ(Scale(0.5, -3, false, PassMode::kAdd, 10), 8);
  EXPECT_EQ(Scale(0.5, -3, true, PassMode::kAdd, 10), 8);
  // 3 x 0.5 - 10 = -8.5 -> -8 (toward zero, not down to -9).
  EXPECT_EQ(Scale(0.5, 3, false, PassMode::kAdd, -10), -8);
  EXPECT_EQ(Scale(0.5, 3, true, PassMode::kAdd, -10), -8);
}

TEST(ScalePass, SixteenBitSamplesAreSignedLittleEndian) {
  // 0x1234 = 4660, 0xFFFE = -2, 0x8000 = -32768.
  std::vector<uint8_t> s = {0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80};
  std::vector<uint8_t> r(6, 0xAA);
  kpl::ScalePass(s.data(), r.data(), 3, 0, 0.5, 0.5, false, PassMode::kWrite);
  EXPECT_EQ(r, (std::vector<uint8_t>{0x1A, 0x09, 0xFF, 0xFF, 0x00, 0xC0}));  // 2330, -1, -16384
}

TEST(ScalePass, MixingFullScaleClampsInsteadOfWrapping) {
  // Two full-scale inputs at 0.51 each: 16711.17 -> 16711, then 16711.17 + 16711 = 33422
  // is beyond 32767; wrapping would give -32114.
  {
    std::vector<uint8_t> a = Samples16({32767, -32768, 1000}), b = a;
    std::vector<uint8_t> r(a.size(), 0);
    kpl::ScalePass(a.data(), r.data(), 3, 0, 0.51, 0.51, false, PassMode::kWrite);
    EXPECT_EQ(Sample16(r, 0), 16711);
    EXPECT_EQ(Sample16(r, 1), -16711);  // -16711.68 toward zero
    kpl::ScalePass(b.data(), r.data(), 3, 0, 0.51, 0.51, false, PassMode::kAdd);
    EXPECT_EQ(Sample16(r, 0), 32767);
    EXPECT_EQ(Sample16(r, 1), -32768);  // -33422.68 clamped at the bottom
    EXPECT_EQ(Sample16(r, 2), 1020);    // 510 + 510.0 within range: unchanged by the clamp
  }
  {
    // 8-bit: 127 x 0.51 = 64.77 -> 64, then 128.77 -> 127; -128 x 0.51 = -65.28 -> -65,
    // then -130.28 -> -128.
    uint8_t a[2] = {255, 0}, r[2] = {0, 0};
    kpl::ScalePass(a, r, 2, 0, 0.51, 0.51, true, PassMode::kWrite);
    EXPECT_EQ(r[0], 128 + 64);
    EXPECT_EQ(r[1], 128 - 65);
    kpl::ScalePass(a, r, 2, 0, 0.51, 0.51, true, PassMode::kAdd);
    EXPECT_EQ(r[0], 255);
    EXPECT_EQ(r[1], 0);
  }
  // Gains above 1 clamp a single pass too.
  EXPECT_EQ(Scale(2.0, 20000, false), 32767);
  EXPECT_EQ(Scale(2.0, -20000, false), -32768);
  EXPECT_EQ(Scale(1.5, 100, true), 127);
  EXPECT_EQ(Scale(1.5, -100, true), -128);
}

TEST(ScalePass, GainSwitchesAtTheGivenSample) {
  struct Case {
    int64_t samples;
    int64_t gainSwitch;
    std::vector<int> expected;
  };
  // Every source sample is 1000; gain 0 before the switch, 0.25 from it on.
  const Case cases[] = {
      // A stereo buffer of 4 sample frames: N = 8, middle (8 - 1) / 2 = 3.
      {8, 3, {0, 0, 0, 250, 250, 250, 250, 250}},
      {1, 0, {250}},  // a single sample takes the second gain
      {4, 0, {250, 250, 250, 250}},
      {4, 4, {0, 0, 0, 0}},  // switch past the end: the first gain throughout
      {4, 9, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.samples << " samples, switch at " << c.gainSwitch);
    std::vector<uint8_t> s, r;
    for (int64_t i = 0; i < c.samples; ++i) {
      const std::vector<uint8_t> one = Samples16({1000});
      s.insert(s.end(), one.begin(), one.end());
    }
    r.assign(s.size() + 2, 0x77);  // two bytes after the end must stay as they are
    kpl::ScalePass(s.data(), r.data(), c.samples, c.gainSwitch, 0.0, 0.25, false, PassMode::kWrite);
    for (size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ(Sample16(r, i), c.expected[i]) << i;
    EXPECT_EQ(r[r.size() - 2], 0x77);
    EXPECT_EQ(r[r.size() - 1], 0x77);
  }
  // 8-bit: the same split on bytes.
  uint8_t s8[4] = {228, 228, 228, 228}, r8[4] = {};  // +100 each
  kpl::ScalePass(s8, r8, 4, 1, 0.5, 1.0, true, PassMode::kWrite);
  EXPECT_EQ(r8[0], 178);
  EXPECT_EQ(r8[1], 228);
  EXPECT_EQ(r8[3], 228);
}

TEST(ScalePass, NoSamplesWritesNothing) {
  uint8_t s[2] = {10, 20}, r[2] = {0x55, 0x55};
  for (int64_t n : {int64_t{0}, int64_t{-1}, int64_t{-1000}}) {
    kpl::ScalePass(s, r, n, 0, 1.0, 1.0, false, PassMode::kWrite);
    kpl::ScalePass(s, r, n, 0, 1.0, 1.0, true, PassMode::kAdd);
  }
  EXPECT_EQ(r[0], 0x55);
  EXPECT_EQ(r[1], 0x55);
}

kpl::WaveFormat Format(uint16_t channels, uint16_t bits) {
  kpl::WaveFormat f{};
  f.formatTag = 1;
  f.channels = channels;
  f.bitsPerSample = bits;
  return f;
}

TEST(SoundBlockBytes, IsFramesTimesWholeBytesPerSampleTimesChannels) {
  struct Case {
    uint16_t channels;
    uint16_t bits;
    int32_t frames;
    int64_t bytes;
  };
  const Case cases[] = {
      {2, 16, 100, 400},
      {1, 8, 7, 7},
      {2, 12, 10, 20},  // 12 / 8 = 1 whole byte
      {2, 4, 10, 0},    // 4 / 8 = 0
      {0, 16, 10, 0},
      {2, 16, -3, -12},
      {6, 32, INT32_MAX, int64_t{INT32_MAX} * 4 * 6},  // beyond 32 bits
  };
  for (const Case& c : cases)
    EXPECT_EQ(kpl::SoundBlockBytes(Format(c.channels, c.bits), c.frames), c.bytes)
        << c.channels << " channels, " << c.bits << " bits, " << c.frames << " frames";
}

TEST(ScalePassFits, OnlyWhenTheBlockHasRoomForThePassSamples) {
  // The pass reads one byte per sample for 8-bit sound and two for anything else.
  for (uint16_t bits = 0; bits <= 40; ++bits) {
    const bool fits = bits == 8 || bits >= 16;
    EXPECT_EQ(kpl::ScalePassFits(Format(2, bits)), fits) << bits << " bits";
  }
}

}  // namespace
