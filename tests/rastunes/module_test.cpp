// The module as a host sees it: the type table, the instance blocks, the pattern blocks, the
// format checks of the savers and what each type answers to the calls it has no case for.
#include <set>

#include "kpl/platform/sound.h"
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

struct TypeRow {
  const char* name;
  const char* pattern;
  uint32_t flags;
};
const TypeRow kTypes[] = {
    {"PCX files (*.PCX)", "*.PCX", 0x40040301},       {"TGA files (*.TGA)", "*.TGA", 0x40040301},
    {"Alias files (*.ALIAS)", "*.alias", 0x40040301}, {"Alias files (*.ALI)", "*.ALI", 0x40040301},
    {"SGI files (*.SGI)", "*.SGI", 0x40040301},       {"SGI files (*.BW)", "*.BW", 0x40040301},
    {"SGI files (*.RGB)", "*.RGB", 0x40040301},       {"SGI files (*.RGBA)", "*.RGBA", 0x40040301},
    {"AIFF files (*.AIFF)", "*.AIFF", 0x43060302},    {"AIFF files (*.AIF)", "*.AIF", 0x43060302},
};

std::string TextOf(uint32_t block) {
  kpl::BlockLock lock(block);
  if (!lock) return "<no block>";
  const size_t size = GlobalSize(block);
  const char* text = lock.as<char>();
  return std::string(text, strnlen(text, size));
}

using TypeTable = Rastunes;

TEST_F(TypeTable, TenTypesWithTheirNamesFlagsAndPatterns) {
  ASSERT_EQ(m().piCount(), 10u);
  for (uint32_t type = 0; type < 10; ++type) {
    SCOPED_TRACE(kTypes[type].name);
    EXPECT_EQ(m().piInit(type) & 0xFF, 1u);
    ASSERT_NE(m().piName(type), nullptr);
    EXPECT_STREQ(m().piName(type), kTypes[type].name);
    EXPECT_EQ(m().piFlags(type), kTypes[type].flags);
    EXPECT_EQ(m().piIcon(type, 0), 0u);
    const uint32_t local = instance(type, 0x100);
    ASSERT_NE(local, 0u);
    EXPECT_STREQ(m().piLocalName(type, local), kTypes[type].name);
    // The first piLocalGetData makes the pattern block; the second answers the same handle.
    const uint32_t pattern = owned(m().piLocalGetData(type, local));
    EXPECT_EQ(TextOf(pattern), kTypes[type].pattern);
    EXPECT_EQ(GlobalSize(pattern), std::strlen(kTypes[type].pattern) + 1);
    EXPECT_EQ(m().piLocalGetData(type, local), pattern);
    // Calls no file type answers.
    EXPECT_EQ(m().piLocalDlg(type, local, 0), 0);
    EXPECT_EQ(m().piLocalProcessData(type, local), 0);
    EXPECT_EQ(m().piDone(type) & 0xFF, 1u);
  }
  EXPECT_EQ(m().piName(10), nullptr);
  EXPECT_EQ(m().piFlags(10), 0u);
  EXPECT_EQ(m().piInit(10), 0u);
  EXPECT_EQ(m().piLocalInit(10, 0), 0u);
}

TEST_F(TypeTable, InstanceFlagWordsOfPictureAndSoundTypes) {
  for (uint32_t mode : {0x0u, 0x100u, 0x200u}) {
    SCOPED_TRACE(mode);
    for (uint32_t type = 0; type < 8; ++type)
      EXPECT_EQ(m().piLocalFlags(type, instance(type, mode)), 0x40040301u) << type;
    for (uint32_t type : {8u, 9u})
      EXPECT_EQ(m().piLocalFlags(type, instance(type, mode)), mode | 0x43060002u) << type;
  }
  // Instance blocks are shared and zero-filled.
  const uint32_t local = instance(kPcx);
  EXPECT_EQ(GlobalFlags(local) & 0x2040u, 0x2040u);
}

TEST_F(TypeTable, PictureTypesKeepNoLength) {
  for (uint32_t type = 0; type < 8; ++type)
    EXPECT_EQ(m().piLocalLength(type, instance(type), 25), 0) << type;
}

TEST_F(TypeTable, SaversAcceptOnlyTheFramesTheyWrite) {
  struct Case {
    uint32_t flags;
    uint32_t headerSize;
    int32_t width, height;
    uint16_t bits;
    bool pcx, targa;
  };
  const Case cases[] = {
      {1, 40, 4, 3, 24, true, true},   {1, 40, 4, 3, 8, true, true},
      {1, 40, 4, 3, 1, true, false},   {1, 40, 4, 3, 4, true, false},
      {1, 40, 4, 3, 16, false, false}, {1, 40, 4, 3, 32, false, false},
      {3, 40, 4, 3, 24, false, false}, {2, 40, 4, 3, 24, false, false},
      {1, 0, 4, 3, 24, false, false},  {1, 40, 0, 3, 24, false, false},
      {1, 40, 4, 0, 24, false, false}, {0x1000001, 40, 4, 3, 24, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "flags " << c.flags << " size " << c.headerSize << " "
                                      << c.width << "x" << c.height << " bits " << c.bits);
    kpl::FormatRecord f = PictureFormat(c.width, c.height, c.bits, c.flags);
    f.video.size = c.headerSize;
    EXPECT_EQ(m().piLocalSetFormat(kPcx, instance(kPcx), &f), c.pcx ? -1 : 0);
    EXPECT_EQ(m().piLocalSetFormat(kTarga, instance(kTarga), &f), c.targa ? -1 : 0);
  }
  EXPECT_EQ(m().piLocalSetFormat(kPcx, instance(kPcx), nullptr), 0);
}

TEST_F(TypeTable, EveryTypeAnswersTheCallsOfItsModel) {
  char name[] = "/nonexistent/file";
  for (uint32_t type = 0; type < 8; ++type) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type);
    EXPECT_EQ(m().piLocalProcessDataStart(type, local), -1);
    EXPECT_EQ(m().piLocalProcessDataEnd(type, local), -1);
    EXPECT_EQ(m().piLocalSetData(type, local, name, 1, nullptr, 0), -1);
    EXPECT_EQ(m().piLocalLoadData(type, local, 0, name), 0);
    EXPECT_EQ(m().piLocalLoadData(type, local, 1, name), 0);
  }
  for (uint32_t type : {kAiff, kAif}) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type, 0x100);
    const kpl::FormatRecord sound = [] {
      kpl::FormatRecord f{};
      f.sampleFrames = 10;
      f.formatTag = 1;
      f.channels = 1;
      f.sampleRate = 8000;
      f.averageBytesPerSecond = 8000;
      f.blockAlign = 1;
      f.bitsPerSample = 8;
      f.blockSize = 8000;
      return f;
    }();
    EXPECT_EQ(m().piLocalSetFormat(type, local, &sound), -1);
    EXPECT_EQ(m().piLocalLength(type, local, 5), -1);
    EXPECT_EQ(m().piLocalSetData(type, local, name, 1, nullptr, 0), -1);
    EXPECT_EQ(m().piLocalProcessDataStart(type, local), -1);
    EXPECT_EQ(m().piLocalLoadData(type, local, 1, name), 0);
    EXPECT_EQ(m().piLocalLoadData(type, local, 2, name), 0) << "no such file";
    EXPECT_EQ(m().piLocalSaveData(type, local, 1, name), 0);
    EXPECT_EQ(m().piLocalSaveData(type, local, 0, name), -1) << "starts the stream again";
    EXPECT_EQ(m().piLocalProcessDataEnd(type, local), -1);
  }
}

TEST_F(TypeTable, ALoadHandsOutTheRecordThenTheFrameAndNeitherIsFreedByTheType) {
  const std::string file = path("p.tga");
  ASSERT_TRUE(save(kTarga, MakePicture(5, 2, Varied), file));
  const uint32_t local = instance(kTarga);
  std::vector<char> name(file.begin(), file.end());
  name.push_back('\0');
  ASSERT_EQ(m().piLocalLoadData(kTarga, local, 0, name.data()), -1);
  const uint32_t record = owned(m().piLocalGetData(kTarga, local));
  kpl::FormatRecord f{};
  {
    kpl::BlockLock lock(record);
    ASSERT_TRUE(lock);
    ASSERT_EQ(GlobalSize(record), 128u);
    std::memcpy(&f, lock.get(), 128);
  }
  EXPECT_EQ(f.flags, 1u);
  EXPECT_EQ(f.frameCount, 1);
  EXPECT_EQ(f.video.size, 40u);
  EXPECT_EQ(f.video.width, 5);
  EXPECT_EQ(f.video.height, 2);
  EXPECT_EQ(f.video.planes, 1);
  EXPECT_EQ(f.video.bitCount, 24);
  EXPECT_EQ(f.sampleFrames, 0);
  const kpl::FormatRecord zero{};
  EXPECT_EQ(std::memcmp(f.longPart, zero.longPart, sizeof f.longPart), 0);

  ASSERT_EQ(m().piLocalLoadData(kTarga, local, 1, name.data()), -1);
  const uint32_t frame = owned(m().piLocalGetData(kTarga, local));
  EXPECT_NE(frame, record);
  EXPECT_EQ(GlobalSize(record), 128u) << "the record stays alive for the host";
  const Picture p = PictureOfFrame(frame);
  EXPECT_EQ(p.pixels, MakePicture(5, 2, Varied).pixels);
  EXPECT_EQ(m().piLocalDone(kTarga, local), -1);
  instances_.clear();
  EXPECT_EQ(GlobalSize(frame), kpl::RowBytes24(5) * 2 + 44) << "the frame outlives the instance";
}

TEST_F(TypeTable, FailedLoadsAndOtherModes) {
  const std::string file = path("p.pcx");
  ASSERT_TRUE(save(kPcx, MakePicture(3, 3, Varied), file));
  std::vector<char> name(file.begin(), file.end());
  name.push_back('\0');
  char missing[] = "/nonexistent/dir/p.pcx";
  for (uint32_t type : {kPcx, kTarga}) {
    SCOPED_TRACE(type);
    const uint32_t local = instance(type);
    const uint32_t pattern = owned(m().piLocalGetData(type, local));
    // A failed mode 0 leaves the result as it was; a failed mode 1 clears it.
    EXPECT_EQ(m().piLocalLoadData(type, local, 0, missing), 0);
    EXPECT_EQ(m().piLocalGetData(type, local), pattern);
    EXPECT_EQ(m().piLocalLoadData(type, local, 1, missing), 0);
    const uint32_t fresh = owned(m().piLocalGetData(type, local));
    EXPECT_NE(fresh, 0u);
    EXPECT_EQ(TextOf(fresh), kTypes[type].pattern);
    // Modes other than 0 and 1 answer false and change nothing.
    for (int32_t mode : {2, 3, -1})
      EXPECT_EQ(m().piLocalLoadData(type, local, mode, name.data()), 0) << mode;
    EXPECT_EQ(m().piLocalGetData(type, local), fresh);
    EXPECT_EQ(m().piLocalLoadData(type, local, 0, nullptr), 0);
  }
}

TEST_F(TypeTable, SavingWithModeOneOrWithoutAnAcceptedFormatWritesNothing) {
  const kpl::OwnedBlock frame = FrameOf(MakePicture(4, 4, Varied));
  kpl::BlockLock lock(frame.get());
  for (uint32_t type : {kPcx, kTarga}) {
    SCOPED_TRACE(type);
    const std::string file = path("out" + std::to_string(type));
    std::vector<char> name(file.begin(), file.end());
    name.push_back('\0');
    const uint32_t local = instance(type);
    ASSERT_EQ(m().piLocalSetData(type, local, lock.get(), 0, nullptr, 0), -1);
    EXPECT_EQ(m().piLocalSaveData(type, local, 0, name.data()), 0) << "no format given";
    const kpl::FormatRecord refused = PictureFormat(4, 4, 16);
    EXPECT_EQ(m().piLocalSetFormat(type, local, &refused), 0);
    EXPECT_EQ(m().piLocalSaveData(type, local, 0, name.data()), 0) << "format refused";
    const kpl::FormatRecord f = PictureFormat(4, 4, 24);
    ASSERT_EQ(m().piLocalSetFormat(type, local, &f), -1);
    EXPECT_EQ(m().piLocalSaveData(type, local, 1, name.data()), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(m().piLocalSaveData(type, local, 0, name.data()), -1);
    EXPECT_TRUE(std::filesystem::exists(file));
    char unwritable[] = "/nonexistent/dir/out";
    EXPECT_EQ(m().piLocalSaveData(type, local, 0, unwritable), 0);
  }
}

TEST_F(TypeTable, SaversConvertFramesOfOtherDepthsTo24Bits) {
  // An 8-bit frame of 2 x 2 with a four-colour table.
  std::vector<uint8_t> frame(40 + 16 + 8, 0);
  kpl::BitmapInfoHeader h{40, 2, 2, 1, 8, 0, 8, 0, 0, 4, 0};
  std::memcpy(frame.data(), &h, 40);
  const uint8_t table[16] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 10, 20, 30, 0};
  std::memcpy(frame.data() + 40, table, 16);
  const uint8_t rows[8] = {2, 3, 0, 0, 0, 1, 0, 0};  // bottom row first
  std::memcpy(frame.data() + 56, rows, 8);
  for (uint32_t type : {kPcx, kTarga, kSgi}) {
    SCOPED_TRACE(type);
    const std::string file = path("eight" + std::to_string(type));
    std::vector<char> name(file.begin(), file.end());
    name.push_back('\0');
    const uint32_t local = instance(type);
    const kpl::FormatRecord f = PictureFormat(2, 2, 8);
    ASSERT_EQ(m().piLocalSetFormat(type, local, &f), -1);
    ASSERT_EQ(m().piLocalSetData(type, local, frame.data(), int32_t(frame.size()), nullptr, 0), -1);
    ASSERT_EQ(m().piLocalSaveData(type, local, 0, name.data()), -1);
    const auto p = load(type, file);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at(0, 0), FromRgb(255, 0, 0));
    EXPECT_EQ(p->at(1, 0), FromRgb(0, 255, 0));
    EXPECT_EQ(p->at(0, 1), FromRgb(0, 0, 255));
    EXPECT_EQ(p->at(1, 1), FromRgb(30, 20, 10));
  }
}

TEST_F(TypeTable, AFailedAllocationBeepsAndAnswersNoInstance) {
  // The platform refuses a block larger than it addresses; AllocBlock then beeps.
  const uint32_t beeps = MessageBeepCount();
  EXPECT_EQ(kpl::AllocBlock(0x2040, size_t(1) << 40), 0u);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  const uint32_t block = kpl::AllocBlock(0x2040, 16);
  EXPECT_NE(block, 0u);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  GlobalFree(block);
}

TEST_F(TypeTable, ExportsTheTwentyCallsOnly) {
  EXPECT_EQ(module_test::DefinedExports("rastunes.kpl"), module_test::kPluginCalls);
}

}  // namespace
}  // namespace rastunes_test
