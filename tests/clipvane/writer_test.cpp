// Writing through the exports: the formats the type accepts, the file it prepares, the frames
// and sound blocks it appends, the settings it reads from the store and the comment chunk.
#include <cstring>

#include "clipvane_fixture.hpp"
#include "kpl/platform/registry.h"

namespace clipvane_test {
namespace {

constexpr const char* kSettingsKey = "Software\\Tessalbrook\\FilePlugIns\\AviPlugIn\\Parameters";

kpl::FormatRecord ClipFormat(int32_t frames, int32_t frameRate, uint16_t bits, int32_t width = 6,
                             int32_t height = 3) {
  kpl::FormatRecord f{};
  f.flags = kpl::pifVideo | kpl::pifStream;
  f.frameCount = frames;
  f.frameRate = frameRate;
  f.video.size = 40;
  f.video.width = width;
  f.video.height = height;
  f.video.planes = 1;
  f.video.bitCount = bits;
  if (bits == 8) f.video.clrUsed = 256;
  return f;
}

void AddSound(kpl::FormatRecord& f, uint16_t channels, uint32_t rate, uint16_t bits) {
  f.flags |= kpl::pifAudio;
  f.sampleFrames = 1000;
  f.formatTag = 1;
  f.channels = channels;
  f.sampleRate = rate;
  f.blockAlign = uint16_t(channels * bits / 8);
  f.averageBytesPerSecond = rate * f.blockAlign;
  f.bitsPerSample = bits;
}

// A packed bitmap of the format: header, palette (8 bits) and pixels that tell the frame.
Bytes FrameOf(const kpl::FormatRecord& f, uint32_t number) {
  const uint32_t rowBytes = (uint32_t(f.video.width) * f.video.bitCount + 31) / 32 * 4;
  kpl::BitmapInfoHeader h = f.video;
  h.sizeImage = rowBytes * uint32_t(f.video.height);
  Bytes b(40);
  std::memcpy(b.data(), &h, 40);
  if (f.video.bitCount == 8)
    for (uint32_t i = 0; i < 256; ++i)
      Put32(b, i * 0x010101u ^ 0x00FF00u);
  for (uint32_t i = 0; i < h.sizeImage; ++i)
    b.push_back(uint8_t(number * 13 + i * 3));
  return b;
}

// The 16-byte index entries of a written file, by chunk identifier.
struct IndexEntry {
  std::string id;
  uint32_t flags, size;
};
std::vector<IndexEntry> IndexOf(const Bytes& file) {
  std::vector<IndexEntry> entries;
  const auto at = FindTag(file, "idx1");
  if (!at) return entries;
  const uint32_t bytes = Get32(file, *at + 4);
  for (size_t e = *at + 8; e + 16 <= *at + 8 + bytes && e + 16 <= file.size(); e += 16)
    entries.push_back({std::string(file.begin() + long(e), file.begin() + long(e) + 4),
                       Get32(file, e + 4), Get32(file, e + 12)});
  return entries;
}

using Acceptance = Clipvane;

TEST_F(Acceptance, FormatsTheWriterTakesAndRefuses) {
  struct Case {
    const char* what;
    kpl::FormatRecord format;
    bool accepted;
  };
  kpl::FormatRecord withSound = ClipFormat(10, 25000, 24);
  AddSound(withSound, 2, 22050, 16);
  auto changed = [](kpl::FormatRecord f, auto change) {
    change(f);
    return f;
  };
  const Case cases[] = {
      {"24 bits, no sound", ClipFormat(10, 25000, 24), true},
      {"8 bits", ClipFormat(10, 25000, 8), true},
      {"24 bits with sound", withSound, true},
      {"16 bits per pixel", ClipFormat(10, 25000, 16), false},
      {"compressed", changed(ClipFormat(10, 25000, 24), [](auto& f) { f.video.compression = 1; }),
       false},
      {"48000 Hz", changed(withSound, [](auto& f) { f.sampleRate = 48000; }), false},
      {"8-bit sound", changed(withSound, [](auto& f) { AddSound(f, 1, 11025, 8); }), true},
      {"no frames", ClipFormat(0, 25000, 24), false},
      {"no frame rate", ClipFormat(10, 0, 24), false},
      {"a negative frame rate", ClipFormat(10, -25000, 24), false},
      {"no stream bit", changed(ClipFormat(10, 25000, 24), [](auto& f) { f.flags = 1; }), false},
      {"two planes", changed(ClipFormat(10, 25000, 24), [](auto& f) { f.video.planes = 2; }),
       false},
      {"a block align that is not a sample frame",
       changed(withSound, [](auto& f) { f.blockAlign = 1; }), false},
      // The reader's record of a clip with sound: long, but of version 0.
      {"a reader's record", changed(withSound, [](auto& f) { f.flags = 0x05000003; }), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t local = instance(kpl::pifWrite);
    EXPECT_EQ(m().piLocalSetFormat(0, local, &c.format), c.accepted ? kpl::kTrue : 0);
  }
}

TEST_F(Acceptance, ShortRecordsBecomeVersionOneAndLongOnesGetTheirAudioLead) {
  const uint32_t local = instance(kpl::pifWrite);
  kpl::FormatRecord f = ClipFormat(10, 29970, 24);
  std::memset(f.longPart, 0xEE, sizeof f.longPart);  // not part of a short record
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_EQ(m().piLocalLoadData(0, local, 0, nullptr), kpl::kTrue);
  const kpl::FormatRecord shortCopy = RecordOf(owned(m().piLocalGetData(0, local)));
  EXPECT_EQ(LongField(shortCopy, 76), 1);
  EXPECT_EQ(LongField(shortCopy, 80), 0);
  EXPECT_EQ(std::memcmp(&shortCopy, &f, 76), 0);

  kpl::FormatRecord longRecord = ClipFormat(10, 29970, 24);
  longRecord.flags |= kpl::pifLongFormat;
  std::memset(longRecord.longPart, 0, sizeof longRecord.longPart);
  longRecord.longPart[0] = 2;  // version 2
  ASSERT_EQ(m().piLocalSetFormat(0, local, &longRecord), kpl::kTrue);
  ASSERT_EQ(m().piLocalLoadData(0, local, 0, nullptr), kpl::kTrue);
  const kpl::FormatRecord longCopy = RecordOf(owned(m().piLocalGetData(0, local)));
  EXPECT_EQ(LongField(longCopy, 76), 2);
  EXPECT_EQ(LongField(longCopy, 80), 22) << "29970 x 0.75 = 22477.5, truncated, / 1000";
  EXPECT_EQ(LongField(longCopy, 84), 1);
}

using Writing = Clipvane;

// Writes `frames` frames of the format, with a sound block after each when it has sound.
struct WrittenClip {
  std::vector<Bytes> frames;
  Bytes sound;
};

TEST_F(Writing, FramesAndSoundWithExactRatesKeyFramesAndTheComment) {
  kpl::FormatRecord f = ClipFormat(30, 29970, 24);
  AddSound(f, 2, 22050, 16);
  const std::string file = path("out.avi");
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_TRUE(save(local, 0, file));
  ASSERT_TRUE(m().piLocalProcessDataStart(0, local));
  WrittenClip clip;
  for (uint32_t n = 0; n < 30; ++n) {
    Bytes frame = FrameOf(f, n);
    ASSERT_TRUE(m().piLocalSetData(0, local, frame.data(), int32_t(frame.size()), nullptr, 0));
    ASSERT_TRUE(save(local, 1, file)) << n;
    clip.frames.push_back(Bytes(frame.begin() + 40, frame.end()));
    // 735.75 sample frames per picture; blocks of 735 and a stray odd byte the writer leaves.
    Bytes sound;
    for (uint32_t i = 0; i < 735 * 4; ++i)
      sound.push_back(uint8_t(n + i * 5));
    sound.push_back(0xAB);
    ASSERT_TRUE(m().piLocalSetData(0, local, sound.data(), int32_t(sound.size()), nullptr, 0));
    ASSERT_TRUE(save(local, 2, file)) << n;
    clip.sound.insert(clip.sound.end(), sound.begin(), sound.end() - 1);
  }
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));

  const Bytes bytes = ReadBytes(file);
  const auto strh = FindTag(bytes, "strh");
  ASSERT_TRUE(strh);
  EXPECT_EQ(std::string(bytes.begin() + long(*strh) + 8, bytes.begin() + long(*strh) + 16),
            "vidscvid")
      << "the handler names cvid although the frames are stored uncompressed";
  EXPECT_EQ(Get32(bytes, *strh + 8 + 20), 1000u) << "scale";
  EXPECT_EQ(Get32(bytes, *strh + 8 + 24), 29970u) << "rate: 29.97 frames per second exactly";
  const auto audioHeader = FindTag(bytes, "strh", *strh + 4);
  ASSERT_TRUE(audioHeader);
  EXPECT_EQ(
      std::string(bytes.begin() + long(*audioHeader) + 8, bytes.begin() + long(*audioHeader) + 12),
      "auds");
  EXPECT_EQ(Get32(bytes, *audioHeader + 8 + 24), 22050u);
  EXPECT_EQ(Get32(bytes, *audioHeader + 8 + 44), 4u) << "sample size: the block align";

  int videoEntries = 0;
  for (const IndexEntry& e : IndexOf(bytes))
    if (e.id.ends_with("db") || e.id.ends_with("dc")) {
      ++videoEntries;
      EXPECT_EQ(e.flags & 0x10u, 0x10u) << "every frame a key frame with the default settings";
      EXPECT_EQ(e.size, 6u * 3 * 3 + 2 * 3);
    }
  EXPECT_EQ(videoEntries, 30);

  const auto comment = FindTag(bytes, "ICMT");
  ASSERT_TRUE(comment);
  ASSERT_TRUE(FindTag(bytes, "INFOICMT"));
  const uint32_t textBytes = Get32(bytes, *comment + 4);
  const std::string text(bytes.begin() + long(*comment) + 8,
                         bytes.begin() + long(*comment) + 8 + textBytes);
  EXPECT_TRUE(text.starts_with("Created with CLIPVANE.KPL plug-in, ")) << text;
  EXPECT_EQ(text.back(), '\0');

  // Read back through the type itself.
  const auto record = formatOf(file);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->frameCount, 30);
  EXPECT_EQ(record->frameRate, 29970);
  EXPECT_EQ(record->sampleRate, 22050u);
  const uint32_t reader = instance();
  for (uint32_t n = 0; n < 30; ++n) {
    ASSERT_TRUE(load(reader, 1, file));
    const Bytes block = BlockBytes(m().piLocalGetData(0, reader));
    ASSERT_EQ(Bytes(block.begin() + 40, block.end()), clip.frames[n]) << n;
  }
  const uint32_t whole = instance();
  kpl::FormatRecord soundFormat = *record;
  soundFormat.blockSize = int32_t(clip.sound.size());
  m().piLocalSetFormat(0, whole, &soundFormat);  // a reader takes the block size
  ASSERT_TRUE(load(whole, 2, file));
  EXPECT_EQ(BlockBytes(m().piLocalGetData(0, whole)), clip.sound);
}

TEST_F(Writing, EightBitFramesKeepTheirPalette) {
  const kpl::FormatRecord f = ClipFormat(3, 25000, 8, 5, 2);
  const std::string file = path("pal.avi");
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_TRUE(save(local, 0, file));
  std::vector<Bytes> frames;
  for (uint32_t n = 0; n < 3; ++n) {
    frames.push_back(FrameOf(f, n));
    ASSERT_TRUE(m().piLocalSetData(0, local, frames.back().data(), int32_t(frames.back().size()),
                                   nullptr, 0));
    ASSERT_TRUE(save(local, 1, file));
  }
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));
  const Bytes bytes = ReadBytes(file);
  const auto strf = FindTag(bytes, "strf");
  ASSERT_TRUE(strf);
  EXPECT_EQ(Get32(bytes, *strf + 4), 40u + 1024u) << "header and 256 palette entries";
  EXPECT_EQ(Bytes(bytes.begin() + long(*strf) + 8 + 40, bytes.begin() + long(*strf) + 8 + 1064),
            Bytes(frames[0].begin() + 40, frames[0].begin() + 1064));
  const uint32_t reader = instance();
  ASSERT_TRUE(load(reader, 1, file));
  ASSERT_TRUE(load(reader, 1, file));
  const Bytes block = BlockBytes(m().piLocalGetData(0, reader));
  ASSERT_GE(block.size(), 1064u);
  EXPECT_EQ(Bytes(block.begin() + 1064, block.end()),
            Bytes(frames[1].begin() + 1064, frames[1].end()));
}

TEST_F(Writing, FramesThatDoNotMatchTheFormatAreRefusedUnwritten) {
  const kpl::FormatRecord f = ClipFormat(5, 25000, 24);
  const std::string file = path("strict.avi");
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_TRUE(save(local, 0, file));
  Bytes good = FrameOf(f, 0);
  Bytes wider = FrameOf(ClipFormat(5, 25000, 24, 8, 3), 0);
  Bytes eightBit = FrameOf(ClipFormat(5, 25000, 8), 0);
  struct Case {
    const char* what;
    void* data;
    int32_t size;
  };
  const Case refused[] = {
      {"another width", wider.data(), int32_t(wider.size())},
      {"another depth", eightBit.data(), int32_t(eightBit.size())},
      {"data shorter than its header claims", good.data(), int32_t(good.size() - 1)},
      {"no data", nullptr, 0},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(m().piLocalSetData(0, local, c.data, c.size, nullptr, 0));
    EXPECT_FALSE(save(local, 1, file));
  }
  EXPECT_FALSE(save(local, 3, file)) << "no such mode";
  ASSERT_TRUE(m().piLocalSetData(0, local, good.data(), int32_t(good.size()), nullptr, 0));
  ASSERT_TRUE(save(local, 1, file));
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));
  int frames = 0;
  for (const IndexEntry& e : IndexOf(ReadBytes(file)))
    frames += e.id.ends_with("db") || e.id.ends_with("dc");
  EXPECT_EQ(frames, 1);
}

TEST_F(Writing, NoCommentWhenNothingWasWritten) {
  const kpl::FormatRecord f = ClipFormat(5, 25000, 24);
  const std::string file = path("empty.avi");
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_TRUE(save(local, 0, file));
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));
  const Bytes bytes = ReadBytes(file);
  ASSERT_TRUE(FindTag(bytes, "RIFF")) << "the prepared file exists";
  EXPECT_FALSE(FindTag(bytes, "ICMT"));
  EXPECT_FALSE(FindTag(bytes, "INFO"));
  // Without an open file and without chosen options, frames are refused and sound is ignored.
  Bytes frame = FrameOf(f, 0);
  ASSERT_TRUE(m().piLocalSetData(0, local, frame.data(), int32_t(frame.size()), nullptr, 0));
  EXPECT_FALSE(save(local, 1, file));
  EXPECT_TRUE(save(local, 2, file));
}

TEST_F(Writing, StoredKeyFrameIntervalMarksTheFrames) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  auto setInterval = [&](uint32_t every) {
    return RegSetValueExA(key, "KeyframeEvery", 0, REG_DWORD,
                          reinterpret_cast<const uint8_t*>(&every), 4);
  };
  ASSERT_EQ(setInterval(3), ERROR_SUCCESS);

  const kpl::FormatRecord f = ClipFormat(7, 25000, 24);
  const std::string file = path("keys.avi");
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  const bool prepared = save(local, 0, file);  // reads the settings
  setInterval(0xFFFFFFFF);
  RegCloseKey(key);
  ASSERT_TRUE(prepared);
  Bytes frame = FrameOf(f, 0);
  for (int n = 0; n < 7; ++n) {
    ASSERT_TRUE(m().piLocalSetData(0, local, frame.data(), int32_t(frame.size()), nullptr, 0));
    ASSERT_TRUE(save(local, 1, file));
  }
  ASSERT_TRUE(m().piLocalProcessDataEnd(0, local));
  std::string marks;
  for (const IndexEntry& e : IndexOf(ReadBytes(file)))
    if (e.id.ends_with("db") || e.id.ends_with("dc")) marks += e.flags & 0x10 ? 'K' : '.';
  EXPECT_EQ(marks, "K..K..K");
}

TEST_F(Writing, PreparingAgainFinishesTheFirstFile) {
  const kpl::FormatRecord f = ClipFormat(5, 25000, 24);
  const uint32_t local = instance(kpl::pifWrite);
  ASSERT_EQ(m().piLocalSetFormat(0, local, &f), kpl::kTrue);
  ASSERT_TRUE(save(local, 0, path("first.avi")));
  Bytes frame = FrameOf(f, 4);
  ASSERT_TRUE(m().piLocalSetData(0, local, frame.data(), int32_t(frame.size()), nullptr, 0));
  ASSERT_TRUE(save(local, 1, path("first.avi")));
  ASSERT_TRUE(save(local, 0, path("second.avi")));
  const uint32_t reader = instance();
  ASSERT_TRUE(load(reader, 1, path("first.avi")));
  const Bytes block = BlockBytes(m().piLocalGetData(0, reader));
  EXPECT_EQ(Bytes(block.begin() + 40, block.end()), Bytes(frame.begin() + 40, frame.end()));
  EXPECT_FALSE(save(local, 0, path("no/such/folder/x.avi")));
}

}  // namespace
}  // namespace clipvane_test
