// Fade through the exports: kinds from the creation flags, settings lines, names, video and
// sound steps with their exact progress arithmetic.
#include <cstring>

#include "pannikel_fixture.hpp"

namespace pannikel_test {
namespace {

using Fade = Pannikel;

// Kind of an instance as the host sees it: its saved line.
std::string SavedLine(kplhost::Module& m, uint32_t local) {
  char text[256] = {};
  EXPECT_EQ(m.piLocalSaveData(kFade, local, 0, text), -1);
  return text;
}

TEST_F(Fade, CreationFlagsChooseTheKind) {
  struct Case {
    uint32_t flags;
    uint32_t instanceFlags;
    const char* line;
    const char* name;
  };
  const Case cases[] = {
      {0x1400, 0x10071600, "TYPE=FADE IN", "Fade in"},
      {0x2400, 0x10072600, "TYPE=FADE OUT", "Fade out"},
      {0x800, 0x10070A00, "TYPE=CROSS FADE", "Cross fade"},
      {0, 0x10070200, "TYPE=FADE OUT", "Fade out"},
      {0x1000, 0x10071200, "TYPE=FADE OUT", "Fade out"},  // at start alone is not a fade in
      {0xC00, 0x10070E00, "TYPE=FADE OUT", "Fade out"},   // one clip wins over two clips
      {0x1402, 0x10071602, "TYPE=FADE IN", "Fade in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const uint32_t local = instance(kFade, c.flags);
    EXPECT_EQ(m().piLocalFlags(kFade, local), c.instanceFlags);
    EXPECT_EQ(SavedLine(m(), local), c.line);
    EXPECT_STREQ(m().piLocalName(kFade, local), c.name);
  }
  EXPECT_STREQ(m().piLocalName(kFade, 0), "Fade");
}

TEST_F(Fade, SettingsLinesRoundTripAndLowerTheCallersText) {
  for (const char* line : {"TYPE=FADE IN", "TYPE=FADE OUT", "TYPE=CROSS FADE"}) {
    SCOPED_TRACE(line);
    const uint32_t source = instance(kFade, 0x800);
    const uint32_t target = instance(kFade, 0x800);
    char text[256];
    std::strcpy(text, line);
    ASSERT_EQ(m().piLocalLoadData(kFade, source, 0, text), -1);
    EXPECT_EQ(SavedLine(m(), source), line);
    std::string lower = line;
    for (char& ch : lower)
      ch = char(std::tolower(ch));
    EXPECT_EQ(std::string(text), lower);

    char saved[256] = {};
    ASSERT_EQ(m().piLocalSaveData(kFade, source, 0, saved), -1);
    ASSERT_EQ(m().piLocalLoadData(kFade, target, 0, saved), -1);
    EXPECT_EQ(SavedLine(m(), target), line);
  }
}

TEST_F(Fade, LoadingAnswersByIndexAndAddsPlacementBits) {
  const uint32_t local = instance(kFade, 0x2400);
  char cross[] = "TYPE=CROSS FADE";
  EXPECT_EQ(m().piLocalLoadData(kFade, local, 3, cross), 0) << "line 3 does not exist";
  EXPECT_EQ(SavedLine(m(), local), "TYPE=CROSS FADE") << "but the line is still read";

  const uint32_t out = instance(kFade, 0x2400);
  char in[] = "type=fade in";
  ASSERT_EQ(m().piLocalLoadData(kFade, out, 0, in), -1);
  EXPECT_EQ(m().piLocalFlags(kFade, out), 0x10073600u) << "placement bits are added, not replaced";

  const uint32_t kept = instance(kFade, 0x1400);
  char unknown[] = "COLOR=12";
  EXPECT_EQ(m().piLocalLoadData(kFade, kept, 0, unknown), -1);
  EXPECT_EQ(SavedLine(m(), kept), "TYPE=FADE IN");
  EXPECT_EQ(m().piLocalFlags(kFade, kept), 0x10071600u);

  char anything[] = "TYPE=FADE IN";
  EXPECT_EQ(m().piLocalSaveData(kFade, kept, 1, anything), 0) << "only line 0 exists";
  EXPECT_EQ(m().piLocalLoadData(kFade, kept, 0, nullptr), 0);
  EXPECT_EQ(m().piLocalSaveData(kFade, kept, 0, nullptr), 0);
}

TEST_F(Fade, SoundFormatOnlyForSoundInstances) {
  const kpl::WaveFormat format = Pcm(2, 16);
  EXPECT_EQ(m().piLocalSetFormat(kFade, instance(kFade, 0x1400), &format), 0);
  EXPECT_EQ(m().piLocalSetFormat(kFade, instance(kFade, 0x1402), &format), -1);
  EXPECT_EQ(m().piLocalSetFormat(kFade, instance(kFade, 0x1402), nullptr), 0);
}

// Runs `steps` video steps of a fade on one frame pair and returns each step's pixel (1, 1).
class FadeRun {
 public:
  FadeRun(kplhost::Module& m, uint32_t local) : m_(m), local_(local) {}
  std::vector<uint32_t> pixels(int steps, const void* first, const void* second) {
    std::vector<uint32_t> out;
    EXPECT_EQ(m_.piLocalProcessDataStart(kFade, local_), -1);
    for (int i = 0; i < steps; ++i) {
      EXPECT_EQ(m_.piLocalSetData(kFade, local_, const_cast<void*>(first), 0,
                                  const_cast<void*>(second), 0),
                -1);
      EXPECT_EQ(m_.piLocalProcessData(kFade, local_), -1);
      kpl::OwnedBlock result(m_.piLocalGetData(kFade, local_));
      kpl::BlockLock lock(result.get());
      EXPECT_TRUE(lock);
      if (lock) out.push_back(kpl::ReadPixel24(lock.get(), 1, 1));
    }
    return out;
  }

 private:
  kplhost::Module& m_;
  uint32_t local_;
};

TEST_F(Fade, VideoLevelsFollowTheProgressOfEachStep) {
  const auto frame = MakeFrame(3, 3, [](int, int) { return kpl::ColourValue(255, 255, 255); });
  kpl::BlockLock pixels(frame.get());
  struct Case {
    uint32_t flags;
    int32_t length;
    int steps;
    std::vector<uint8_t> levels;  // 255 - d of each step
  };
  const Case cases[] = {
      {0x1400, 5, 5, {0, 64, 128, 192, 255}},  // d = 255, 191, 127, 63, 0
      {0x2400, 5, 5, {255, 192, 128, 64, 0}},  // d = 0, 63, 127, 191, 255
      {0x1400, 0, 2, {128, 128}},              // length 0 or 1: p = 0.5, d = 127
      {0x1400, 1, 2, {128, 128}},
      {0x1400, -3, 1, {128}},
      {0x1400, 3, 5, {0, 128, 255, 255, 255}},  // beyond the length p stays 1
      {0x1400, 4, 4, {0, 85, 170, 255}},        // d = Trunc(2/3 x 255) = 170
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << " length " << c.length);
    const uint32_t local = instance(kFade, c.flags);
    ASSERT_EQ(m().piLocalLength(kFade, local, c.length), -1);
    const auto got = FadeRun(m(), local).pixels(c.steps, pixels.get(), nullptr);
    ASSERT_EQ(got.size(), c.levels.size());
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], kpl::ColourValue(c.levels[i], c.levels[i], c.levels[i])) << "step " << i;
  }
}

TEST_F(Fade, SubtractPassClampsEachChannelAtZero) {
  // Channels on both sides of d = 127 (length 1).
  const auto frame = MakeFrame(5, 2, [](int x, int y) {
    return kpl::ColourValue(uint8_t(100 + 20 * x), uint8_t(127 + y), uint8_t(255 - 60 * x));
  });
  const uint32_t local = instance(kFade, 0x1400);
  m().piLocalLength(kFade, local, 1);
  kpl::BlockLock in(frame.get());
  m().piLocalSetData(kFade, local, in.get(), 0, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  kpl::OwnedBlock result(m().piLocalGetData(kFade, local));
  kpl::BlockLock out(result.get());
  ASSERT_TRUE(out);
  const auto header = kpl::ReadHeader(out.get());
  EXPECT_EQ(header.width, 5);
  EXPECT_EQ(header.height, 2);
  EXPECT_EQ(header.bitCount, 24);
  auto sub = [](int v) { return uint8_t(v >= 127 ? v - 127 : 0); };
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(kpl::ReadPixel24(out.get(), x, y),
                kpl::ColourValue(sub(100 + 20 * x), sub(127 + y), sub(255 - 60 * x)))
          << x << "," << y;
}

TEST_F(Fade, CrossFadeSumsBothFadedPicturesUpTo255) {
  const auto a = MakeFrame(2, 2, [](int, int) { return kpl::ColourValue(200, 10, 128); });
  const auto b = MakeFrame(2, 2, [](int, int) { return kpl::ColourValue(250, 60, 128); });
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = instance(kFade, 0x800);
  m().piLocalLength(kFade, local, 5);
  const auto got = FadeRun(m(), local).pixels(5, first.get(), second.get());
  // p = 0, .25, .5, .75, 1: dA = 0, 63, 127, 191, 255 and dB = 255, 191, 127, 63, 0.
  const int dA[] = {0, 63, 127, 191, 255}, dB[] = {255, 191, 127, 63, 0};
  ASSERT_EQ(got.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    auto mix = [&](int va, int vb) {
      return uint8_t(std::min(255, std::max(va - dA[i], 0) + std::max(vb - dB[i], 0)));
    };
    EXPECT_EQ(got[i], kpl::ColourValue(mix(200, 250), mix(10, 60), mix(128, 128))) << "step " << i;
  }
  EXPECT_EQ(got[0], kpl::ColourValue(200, 10, 128));
  EXPECT_EQ(got[4], kpl::ColourValue(250, 60, 128));
}

TEST_F(Fade, ResultsBelongToTheHost) {
  const auto frame =
      MakeFrame(4, 4, [](int x, int) { return kpl::ColourValue(uint8_t(x * 60), 0, 0); });
  kpl::BlockLock in(frame.get());
  const uint32_t local = instance(kFade, 0x2400);
  m().piLocalLength(kFade, local, 2);
  m().piLocalSetData(kFade, local, in.get(), 0, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  const uint32_t firstResult = m().piLocalGetData(kFade, local);
  EXPECT_EQ(m().piLocalGetData(kFade, local), firstResult) << "no step, same handle";
  EXPECT_EQ(GlobalFree(firstResult), 0u) << "the host frees what it took";
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  const uint32_t secondResult = m().piLocalGetData(kFade, local);
  EXPECT_NE(secondResult, firstResult);
  kpl::BlockLock out(secondResult);
  ASSERT_TRUE(out);
  EXPECT_EQ(kpl::ReadPixel24(out.get(), 3, 0), 0u) << "fade out of length 2 ends black";
  EXPECT_EQ(GlobalFlags(secondResult) & GMEM_MOVEABLE, GMEM_MOVEABLE);
  GlobalFree(secondResult);
}

TEST_F(Fade, FramesOfOtherDepthsAreReadThroughA24BitCopy) {
  // A 4 x 2 frame of 8 bits per pixel with a two-colour table.
  struct {
    kpl::BitmapInfoHeader header;
    uint32_t table[2];
    uint8_t rows[2][4];
  } frame{};
  frame.header = {40, 4, 2, 1, 8, 0, 8, 0, 0, 2, 0};
  frame.table[0] = 0x00102030;  // blue 0x30, green 0x20, red 0x10
  frame.table[1] = 0x00F0E0D0;
  frame.rows[0][2] = 1;  // bottom row, x = 2
  const uint32_t local = instance(kFade, 0x2400);
  m().piLocalLength(kFade, local, 0);  // d = 127
  m().piLocalSetData(kFade, local, &frame, 0, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  kpl::OwnedBlock result(m().piLocalGetData(kFade, local));
  kpl::BlockLock out(result.get());
  ASSERT_TRUE(out);
  EXPECT_EQ(kpl::ReadHeader(out.get()).bitCount, 24);
  EXPECT_EQ(kpl::ReadPixel24(out.get(), 2, 1),
            kpl::ColourValue(0xF0 - 127, 0xE0 - 127, 0xD0 - 127));
  EXPECT_EQ(kpl::ReadPixel24(out.get(), 0, 0), 0u);
}

TEST_F(Fade, UnreadableInputsAnswerFalseWithoutAResult) {
  const auto big = MakeFrame(4, 4, [](int, int) { return 0xFFFFFFu; });
  const auto narrow = MakeFrame(3, 4, [](int, int) { return 0u; });
  const auto low = MakeFrame(4, 3, [](int, int) { return 0u; });
  kpl::BlockLock bigPixels(big.get()), narrowPixels(narrow.get()), lowPixels(low.get());
  struct Case {
    uint32_t flags;
    void* first;
    void* second;
  };
  const Case cases[] = {
      {0x800, bigPixels.get(), narrowPixels.get()},
      {0x800, bigPixels.get(), lowPixels.get()},
      {0x800, bigPixels.get(), nullptr},
      {0x1400, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const uint32_t local = instance(kFade, c.flags);
    m().piLocalLength(kFade, local, 3);
    EXPECT_EQ(m().piLocalSetData(kFade, local, c.first, 0, c.second, 0), -1);
    EXPECT_EQ(m().piLocalProcessData(kFade, local), 0);
    EXPECT_EQ(m().piLocalGetData(kFade, local), 0u);
  }
  // A second frame larger than the first is fine: the first's size decides.
  const uint32_t local = instance(kFade, 0x800);
  m().piLocalSetData(kFade, local, narrowPixels.get(), 0, bigPixels.get(), 0);
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  kpl::OwnedBlock result(m().piLocalGetData(kFade, local));
  kpl::BlockLock out(result.get());
  EXPECT_EQ(kpl::ReadHeader(out.get()).width, 3);
}

// One sound step of a fade over `first` (and `second`), 16-bit samples.
std::vector<int16_t> SoundStep16(kplhost::Module& m, uint32_t local, std::vector<int16_t>& first,
                                 std::vector<int16_t>* second, uint16_t channels) {
  const int32_t frames = int32_t(first.size() / channels);
  const int32_t secondFrames = second ? int32_t(second->size() / channels) : 0;
  EXPECT_EQ(m.piLocalSetData(kFade, local, first.data(), frames, second ? second->data() : nullptr,
                             secondFrames),
            -1);
  EXPECT_EQ(m.piLocalProcessData(kFade, local), -1);
  const uint32_t result = m.piLocalGetData(kFade, local);
  auto samples = Samples16(result);
  GlobalFree(result);
  return samples;
}

TEST_F(Fade, SoundGainSwitchesAtTheMiddleSample) {
  // 16-bit stereo fade in, n = 4, c = 0, L = 9: N = 8, M = 3; samples 0 to 2 use the gain at
  // the start (0), samples 3 to 7 the gain at the middle ((0 + 2) / 8 = 0.25).
  const uint32_t local = instance(kFade, 0x1402);
  const kpl::WaveFormat format = Pcm(2, 16);
  ASSERT_EQ(m().piLocalSetFormat(kFade, local, &format), -1);
  m().piLocalLength(kFade, local, 9);
  m().piLocalProcessDataStart(kFade, local);
  std::vector<int16_t> first = {1000, -1000, 1000, -1000, 1001, -1001, 32767, -32768};
  EXPECT_EQ(SoundStep16(m(), local, first, nullptr, 2),
            (std::vector<int16_t>{0, 0, 0, -250, 250, -250, 8191, -8192}));
  // The counter moved by 4 sample frames: p = 4/8, q = 6/8.
  EXPECT_EQ(SoundStep16(m(), local, first, nullptr, 2),
            (std::vector<int16_t>{500, -500, 500, -750, 750, -750, 24575, -24576}));
}

TEST_F(Fade, SoundFadeOutOfEightBitMono) {
  const uint32_t local = instance(kFade, 0x2402);
  const kpl::WaveFormat format = Pcm(1, 8);
  ASSERT_EQ(m().piLocalSetFormat(kFade, local, &format), -1);
  m().piLocalLength(kFade, local, 3);
  std::vector<uint8_t> first = {228, 28, 128, 255, 0};  // signed 100, -100, 0, 127, -128
  // N = 5, M = 2; p = 0, q = (0 + 2) / 2 = 1: gains 1 then 0.
  m().piLocalSetData(kFade, local, first.data(), 5, nullptr, 0);
  ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
  const uint32_t result = m().piLocalGetData(kFade, local);
  EXPECT_EQ(Samples8(result), (std::vector<uint8_t>{228, 28, 128, 128, 128}));
  GlobalFree(result);
}

TEST_F(Fade, SoundCrossFadeStopsAddingAtTheShorterBuffer) {
  const uint32_t local = instance(kFade, 0x802);
  const kpl::WaveFormat format = Pcm(1, 16);
  ASSERT_EQ(m().piLocalSetFormat(kFade, local, &format), -1);
  m().piLocalLength(kFade, local, 5);
  std::vector<int16_t> first(6, 4000), second(2, 8000);
  // p = 0, q = (0 + 3) / 4 = 0.75. First pass: N = 6, M = 2, gains 1 then 0.25. Second pass
  // over the two shared samples only: N = 2, M = 0, so both use 1 - (1 - q) = 0.75.
  EXPECT_EQ(SoundStep16(m(), local, first, &second, 1),
            (std::vector<int16_t>{10000, 10000, 1000, 1000, 1000, 1000}));
  // The counter grew by the shorter size (2): p = 2 / 4, q = (2 + 3) / 4 held at 1.
  // First pass: gains 0.5 then 0; second pass: gain 1.
  EXPECT_EQ(SoundStep16(m(), local, first, &second, 1),
            (std::vector<int16_t>{10000, 10000, 0, 0, 0, 0}));
}

TEST_F(Fade, SoundSumsAreClampedToTheSampleRange) {
  const uint32_t local = instance(kFade, 0x802);
  const kpl::WaveFormat format = Pcm(1, 16);
  m().piLocalSetFormat(kFade, local, &format);
  m().piLocalLength(kFade, local, 0);  // p = q = 0.5
  std::vector<int16_t> first = {32767, -32768, 30000}, second = {32767, -32768, -30000};
  EXPECT_EQ(SoundStep16(m(), local, first, &second, 1), (std::vector<int16_t>{32766, -32768, 0}));
  // At p = 0.5 both halves give 16383 + 16383 = 32766; a loaded full-scale pair stays in range:
  const uint32_t eight = instance(kFade, 0x802);
  const kpl::WaveFormat format8 = Pcm(1, 8);
  m().piLocalSetFormat(kFade, eight, &format8);
  m().piLocalLength(kFade, eight, 0);
  std::vector<uint8_t> a = {255, 0}, b = {255, 0};
  m().piLocalSetData(kFade, eight, a.data(), 2, b.data(), 2);
  ASSERT_EQ(m().piLocalProcessData(kFade, eight), -1);
  const uint32_t result = m().piLocalGetData(kFade, eight);
  EXPECT_EQ(Samples8(result), (std::vector<uint8_t>{254, 0}));  // 63 + 63 = 126; -64 - 64 = -128
  GlobalFree(result);
}

TEST_F(Fade, SoundFormatsThePassCannotHoldGiveSilence) {
  for (uint16_t bits : {uint16_t(0), uint16_t(4), uint16_t(12)}) {
    SCOPED_TRACE(bits);
    const uint32_t local = instance(kFade, 0x1402);
    const kpl::WaveFormat format = Pcm(2, bits);
    m().piLocalSetFormat(kFade, local, &format);
    std::vector<int16_t> first(8, 1000);
    m().piLocalSetData(kFade, local, first.data(), 4, nullptr, 0);
    ASSERT_EQ(m().piLocalProcessData(kFade, local), -1);
    const uint32_t result = m().piLocalGetData(kFade, local);
    EXPECT_EQ(GlobalSize(result), size_t(4 * (bits / 8) * 2));
    for (uint8_t byte : Samples8(result))
      EXPECT_EQ(byte, 0);
    GlobalFree(result);
  }
  const uint32_t local = instance(kFade, 0x1402);
  const kpl::WaveFormat format = Pcm(2, 16);
  m().piLocalSetFormat(kFade, local, &format);
  m().piLocalSetData(kFade, local, nullptr, 4, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kFade, local), 0) << "no buffer to read";
  m().piLocalSetData(kFade, local, nullptr, -4, nullptr, 0);
  EXPECT_EQ(m().piLocalProcessData(kFade, local), 0) << "a negative count is not a block";
}

}  // namespace
}  // namespace pannikel_test
