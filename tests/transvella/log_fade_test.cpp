// The logarithmic fades through the exports: square-curve strengths on video and gains on
// sound, the progress that divides by the length, and the switch of fade in/fade out.
#include "transvella_fixture.hpp"

namespace transvella_test {
namespace {

using LogFade = Transvella;

// Runs `steps` video steps on two flat frames and returns the first pixel of each result.
std::vector<uint32_t> VideoRun(kplhost::Module& m, uint32_t type, uint32_t local, int32_t length,
                               int steps, uint32_t colourA, uint32_t colourB) {
  const auto a = MakeFrame(3, 2, [&](int, int) { return colourA; });
  const auto b = MakeFrame(3, 2, [&](int, int) { return colourB; });
  kpl::BlockLock first(a.get()), second(b.get());
  EXPECT_EQ(m.piLocalLength(type, local, length), -1);
  EXPECT_EQ(m.piLocalProcessDataStart(type, local), -1);
  std::vector<uint32_t> out;
  for (int i = 0; i < steps; ++i) {
    EXPECT_EQ(m.piLocalSetData(type, local, first.get(), 0, second.get(), 0), -1);
    EXPECT_EQ(m.piLocalProcessData(type, local), -1);
    const kpl::OwnedBlock result(m.piLocalGetData(type, local));
    kpl::BlockLock lock(result.get());
    EXPECT_TRUE(lock);
    if (!lock) continue;
    const uint32_t pixel = kpl::ReadPixel24(lock.get(), 0, 0);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(kpl::ReadPixel24(lock.get(), x, y), pixel) << "a flat frame stays flat";
    out.push_back(pixel);
  }
  return out;
}

uint32_t Grey(int v) {
  return kpl::ColourValue(uint8_t(v), uint8_t(v), uint8_t(v));
}

TEST_F(LogFade, VideoStrengthsFollowSquareCurves) {
  struct Case {
    uint32_t type;
    int32_t length;
    uint32_t a, b;
    std::vector<uint32_t> pixels;
  };
  const uint32_t white = Grey(255), mixed = kpl::ColourValue(200, 100, 0);
  const Case cases[] = {
      // x = k / 4: s = Trunc((1 - x)^2 x 255) = 255, 143, 63, 15; the fade never quite ends.
      {kFadeIn, 4, white, 0, {Grey(0), Grey(112), Grey(192), Grey(240), Grey(255)}},
      // Length 10, last frame x = 0.9: s = Trunc(0.01 x 255) = 2 still darkens.
      {kFadeIn,
       10,
       Grey(100),
       0,
       {Grey(0), Grey(0), Grey(0), Grey(0), Grey(9), Grey(37), Grey(60), Grey(78), Grey(90),
        Grey(98)}},
      // s = Trunc(x^2 x 255): 0, 15, 63, 143.
      {kFadeOut, 4, white, 0, {Grey(255), Grey(240), Grey(192), Grey(112), Grey(0)}},
      // x = 0.5: sA = sB = 63, 200 and 100 give clamp(137 + 37) = 174.
      {kCrossFade,
       2,
       mixed,
       kpl::ColourValue(100, 200, 255),
       {mixed, kpl::ColourValue(174, 174, 192)}},
      // y = 2x: s = Trunc(y^2 x 256) on A up to y = 1 (black there), then on B.
      {kInOut, 4, white, mixed, {white, Grey(191), Grey(0), kpl::ColourValue(136, 36, 0), mixed}},
      // Length 0 or 1: x = 0.5 at every step.
      {kFadeIn, 0, white, 0, {Grey(192), Grey(192)}},
      {kFadeOut, 1, white, 0, {Grey(192), Grey(192)}},
      {kInOut, 1, white, white, {Grey(0), Grey(0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " length " << c.length);
    const uint32_t local = instance(c.type);
    EXPECT_EQ(VideoRun(m(), c.type, local, c.length, int(c.pixels.size()), c.a, c.b), c.pixels);
  }
}

TEST_F(LogFade, VideoInputs) {
  const auto big = MakeFrame(4, 4, [](int, int) { return Grey(200); });
  const auto small = MakeFrame(3, 4, [](int, int) { return Grey(50); });
  kpl::BlockLock a(big.get()), b(small.get());
  struct Case {
    uint32_t type;
    int32_t length;
    int steps;     // steps run before the one checked
    bool answers;  // with a second frame smaller than the first
  };
  const Case cases[] = {
      {kFadeIn, 2, 0, true},     {kFadeOut, 2, 0, true},
      {kCrossFade, 2, 0, false}, {kInOut, 4, 2, true},  // x = 0.5, y = 1: only A is read
      {kInOut, 4, 3, false},                            // x = 0.75: B is read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.steps);
    const uint32_t local = instance(c.type);
    m().piLocalLength(c.type, local, c.length);
    for (int i = 0; i < c.steps; ++i) {
      m().piLocalSetData(c.type, local, a.get(), 0, a.get(), 0);
      ASSERT_EQ(m().piLocalProcessData(c.type, local), -1);
      GlobalFree(m().piLocalGetData(c.type, local));
    }
    EXPECT_EQ(m().piLocalSetData(c.type, local, a.get(), 0, b.get(), 0), -1);
    EXPECT_EQ(m().piLocalProcessData(c.type, local), c.answers ? -1 : 0);
    if (c.answers) GlobalFree(m().piLocalGetData(c.type, local));
    m().piLocalSetData(c.type, local, nullptr, 0, a.get(), 0);
    EXPECT_EQ(m().piLocalProcessData(c.type, local), 0) << "no first frame";
  }
}

std::vector<int16_t> Samples16(uint32_t handle) {
  kpl::BlockLock lock(handle);
  std::vector<int16_t> out(GlobalSize(handle) / 2);
  if (lock && !out.empty()) std::memcpy(out.data(), lock.get(), out.size() * 2);
  return out;
}

std::vector<uint8_t> Samples8(uint32_t handle) {
  kpl::BlockLock lock(handle);
  std::vector<uint8_t> out(GlobalSize(handle));
  if (lock && !out.empty()) std::memcpy(out.data(), lock.get(), out.size());
  return out;
}

// One sound step; the result's samples.
template <class Sample>
std::vector<Sample> SoundStep(kplhost::Module& m, uint32_t type, uint32_t local,
                              std::vector<Sample>& first, std::vector<Sample>* second,
                              uint16_t channels) {
  const int32_t frames = int32_t(first.size() / channels);
  const int32_t secondFrames = second ? int32_t(second->size() / channels) : 0;
  EXPECT_EQ(m.piLocalSetData(type, local, first.data(), frames, second ? second->data() : nullptr,
                             secondFrames),
            -1);
  EXPECT_EQ(m.piLocalProcessData(type, local), -1);
  const kpl::OwnedBlock result(m.piLocalGetData(type, local));
  if constexpr (sizeof(Sample) == 1)
    return Samples8(result.get());
  else
    return Samples16(result.get());
}

uint32_t SoundInstance(Transvella& t, uint32_t type, uint16_t channels, uint16_t bits,
                       int32_t length) {
  const uint32_t local = t.instance(type, 0x2);
  const kpl::WaveFormat format = Pcm(channels, bits);
  EXPECT_EQ(t.m().piLocalSetFormat(type, local, &format), -1);
  EXPECT_EQ(t.m().piLocalLength(type, local, length), -1);
  EXPECT_EQ(t.m().piLocalProcessDataStart(type, local), -1);
  return local;
}

TEST_F(LogFade, SoundGainsFollowSquareCurves) {
  std::vector<int16_t> samples = {-1000, 3, 32767, -32768};
  struct Case {
    uint32_t type;
    std::vector<int16_t> out;
  };
  // Length 0: x = 0.5 at every step.
  const Case cases[] = {
      {kFadeIn, {-250, 0, 8191, -8192}},   // g = 0.25
      {kFadeOut, {-250, 0, 8191, -8192}},  // g = (1 - 0.5)^2
      {kInOut, {0, 0, 0, 0}},              // y = 1: the second buffer at gain 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const uint32_t local = SoundInstance(*this, c.type, 2, 16, 0);
    std::vector<int16_t> second = {1, 2, 3, 4};
    EXPECT_EQ(SoundStep(m(), c.type, local, samples, &second, 2), c.out);
  }
  // Length 8: x = counter / 8 with the counter in sample frames. Fade in, mono buffers of 2:
  // x = 0, 0.25, 0.5, 0.75, 1, 1 (held).
  const uint32_t local = SoundInstance(*this, kFadeIn, 1, 16, 8);
  std::vector<int16_t> pair = {16000, -16000};
  std::vector<int16_t> got;
  for (int step = 0; step < 6; ++step)
    got.push_back(SoundStep<int16_t>(m(), kFadeIn, local, pair, nullptr, 1)[0]);
  EXPECT_EQ(got, (std::vector<int16_t>{0, 1000, 4000, 9000, 16000, 16000}));
}

TEST_F(LogFade, EightBitSamples) {
  // x = 0.5, g = 0.25: 128 stays 128, 0 (-128) gives Trunc(-32) + 128 = 96, 255 (127) gives
  // Trunc(31.75) + 128 = 159.
  const uint32_t local = SoundInstance(*this, kFadeIn, 1, 8, 1);
  std::vector<uint8_t> samples = {128, 0, 255, 129};
  EXPECT_EQ(SoundStep(m(), kFadeIn, local, samples, static_cast<std::vector<uint8_t>*>(nullptr), 1),
            (std::vector<uint8_t>{128, 96, 159, 128}));
}

TEST_F(LogFade, CrossFadeWithAShorterSecondBuffer) {
  // Length 8, mono: x = 0 first. Passes: first at (1 - x)^2, then second added at x^2 over the
  // shared samples only.
  const uint32_t local = SoundInstance(*this, kCrossFade, 1, 16, 8);
  std::vector<int16_t> first(4, 8000), second(2, 4000);
  EXPECT_EQ(SoundStep(m(), kCrossFade, local, first, &second, 1),
            (std::vector<int16_t>{8000, 8000, 8000, 8000}));
  // The counter grew by the shorter size: x = 2 / 8, gains 0.5625 and 0.0625.
  EXPECT_EQ(SoundStep(m(), kCrossFade, local, first, &second, 1),
            (std::vector<int16_t>{4750, 4750, 4500, 4500}));
  // x = 4 / 8: 2000 + 1000 over the shared part, the tail only the faded first buffer.
  EXPECT_EQ(SoundStep(m(), kCrossFade, local, first, &second, 1),
            (std::vector<int16_t>{3000, 3000, 2000, 2000}));
}

TEST_F(LogFade, FadeInFadeOutOnSoundSwitchesAtTheMiddle) {
  // Length 8, mono buffers of 2: x = 0, .25, .5, .75. Below y = 1 the first buffer at
  // 1 - y^2; from y = 1 on (x = 0.5 exactly, unlike video) the second at (y - 1)^2.
  const uint32_t local = SoundInstance(*this, kInOut, 1, 16, 8);
  std::vector<int16_t> first = {8000, -8000}, second = {4000, -4000};
  const std::vector<std::vector<int16_t>> want = {
      {8000, -8000}, {6000, -6000}, {0, 0}, {1000, -1000}};
  for (size_t step = 0; step < want.size(); ++step)
    EXPECT_EQ(SoundStep(m(), kInOut, local, first, &second, 1), want[step]) << step;
}

TEST_F(LogFade, FadeInFadeOutBeyondAShorterSecondBufferIsSilence) {
  // Length 4, steps of 3 mono sample frames: the first step at x = 0, the second at x = 0.75
  // (y = 1.5), which plays the one-frame second buffer at gain 0.25 and leaves the rest silent.
  struct Case {
    uint16_t bits;
    std::vector<uint8_t> second;  // -128 or -32768
    std::vector<uint8_t> out;     // -32 or -8192, then silence
  };
  const Case cases[] = {
      {8, {0}, {96, 128, 128}},
      {16, {0x00, 0x80}, {0x00, 0xE0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    const uint32_t local = SoundInstance(*this, kInOut, 1, c.bits, 4);
    std::vector<uint8_t> first(size_t(3 * c.bits / 8), 200), second = c.second;
    std::vector<uint8_t> out;
    for (int step = 0; step < 2; ++step) {
      m().piLocalSetData(kInOut, local, first.data(), 3, second.data(), 1);
      ASSERT_EQ(m().piLocalProcessData(kInOut, local), -1);
      const kpl::OwnedBlock result(m().piLocalGetData(kInOut, local));
      out = Samples8(result.get());
    }
    EXPECT_EQ(out, c.out);
  }
}

TEST_F(LogFade, SoundWithoutUsableInput) {
  const uint32_t local = SoundInstance(*this, kFadeOut, 2, 16, 10);
  m().piLocalSetData(kFadeOut, local, nullptr, 4, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kFadeOut, local), 0) << "no buffer to read";
  m().piLocalSetData(kFadeOut, local, nullptr, -4, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kFadeOut, local), 0) << "a negative count is not a block";
  const uint32_t cross = SoundInstance(*this, kCrossFade, 1, 16, 10);
  std::vector<int16_t> first(4, 100);
  m().piLocalSetData(kCrossFade, cross, first.data(), 4, nullptr, 4);
  EXPECT_EQ(m().piLocalProcessData(kCrossFade, cross), 0) << "no second buffer to add";
  m().piLocalSetData(kCrossFade, cross, first.data(), 4, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kCrossFade, cross), -1)
      << "an empty second buffer is read nowhere";
  GlobalFree(m().piLocalGetData(kCrossFade, cross));
  // Before a format is given the step makes an empty block.
  const uint32_t bare = instance(kFadeIn, 0x2);
  m().piLocalSetData(kFadeIn, bare, first.data(), 4, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kFadeIn, bare), -1);
  const kpl::OwnedBlock empty(m().piLocalGetData(kFadeIn, bare));
  EXPECT_EQ(GlobalSize(empty.get()), 0u);
}

}  // namespace
}  // namespace transvella_test
