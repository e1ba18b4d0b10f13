// Mix through the exports.
#include "pannikel_fixture.hpp"

namespace pannikel_test {
namespace {

using Mix = Pannikel;

uint32_t MixStep(kplhost::Module& m, uint32_t local, void* a, int32_t an, void* b, int32_t bn) {
  EXPECT_EQ(m.piLocalSetData(kMix, local, a, an, b, bn), -1);
  EXPECT_EQ(m.piLocalProcessData(kMix, local), -1);
  return m.piLocalGetData(kMix, local);
}

TEST_F(Mix, EightBitSamplesAtLevel051) {
  const uint32_t local = instance(kMix, 0x802);
  EXPECT_EQ(m().piLocalFlags(kMix, local), 0x10060A02u);
  const kpl::WaveFormat format = Pcm(1, 8);
  ASSERT_EQ(m().piLocalSetFormat(kMix, local, &format), -1);
  // 228 + 228: Trunc(0.51 x 100) = 51, then Trunc(0.51 x 100 + 51) = 102 -> 230.
  // 28 + 28: -51, then Trunc(-51 - 51) = -102 -> 26.
  // 0 + 255: Trunc(0.51 x -128) = -65, then Trunc(0.51 x 127 - 65) = Trunc(-0.23) = 0 -> 128.
  std::vector<uint8_t> a = {228, 128, 28, 0}, b = {228, 128, 28, 255};
  const uint32_t result = MixStep(m(), local, a.data(), 4, b.data(), 4);
  EXPECT_EQ(Samples8(result), (std::vector<uint8_t>{230, 128, 26, 128}));
  GlobalFree(result);
}

TEST_F(Mix, SixteenBitFullScaleIsClampedAndShorterSecondBuffersAddLess) {
  const uint32_t local = instance(kMix, 0x802);
  const kpl::WaveFormat format = Pcm(2, 16);
  ASSERT_EQ(m().piLocalSetFormat(kMix, local, &format), -1);
  std::vector<int16_t> a = {32767, -32768, 1000, 1000}, b = {32767, -32768};
  const uint32_t result = MixStep(m(), local, a.data(), 2, b.data(), 1);
  // 16711 + 16711 = 33422 is held at 32767 instead of wrapping to -32114; the second frame
  // of the first buffer has no partner and keeps 0.51 x 1000 = 510.
  EXPECT_EQ(Samples16(result), (std::vector<int16_t>{32767, -32768, 510, 510}));
  GlobalFree(result);
}

TEST_F(Mix, WithoutSoundNothingIsProduced) {
  const uint32_t local = instance(kMix, 0x800);
  const kpl::WaveFormat format = Pcm(1, 8);
  EXPECT_EQ(m().piLocalSetFormat(kMix, local, &format), 0);
  std::vector<uint8_t> a = {200}, b = {200};
  EXPECT_EQ(MixStep(m(), local, a.data(), 1, b.data(), 1), 0u);
}

TEST_F(Mix, SettingsLinesAreAnsweredButNeverTouched) {
  const uint32_t local = instance(kMix, 0x802);
  char text[] = "KEEP=ME";
  EXPECT_EQ(m().piLocalSaveData(kMix, local, 0, text), -1);
  EXPECT_EQ(m().piLocalLoadData(kMix, local, 0, text), -1);
  EXPECT_EQ(m().piLocalSaveData(kMix, local, 1, text), 0);
  EXPECT_EQ(m().piLocalLoadData(kMix, local, 1, text), 0);
  EXPECT_STREQ(text, "KEEP=ME");
  EXPECT_STREQ(m().piLocalName(kMix, local), "Mix");
  EXPECT_STREQ(m().piLocalName(kMix, 0), "Mix");
  EXPECT_EQ(m().piLocalDlg(kMix, local, 0), 0);
  EXPECT_EQ(m().piLocalLength(kMix, local, 12), -1);
}

}  // namespace
}  // namespace pannikel_test
