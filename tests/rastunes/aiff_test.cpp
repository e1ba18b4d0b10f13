// AIFF sound through the module's exports as a host streams it: the headers written from the
// announced length, the pad byte, the cut of oversized blocks, the 80-bit rate, the header
// parse with chunks in any order, and block reads from a position the host sets.
#include "aiff.hpp"

#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

kpl::FormatRecord SoundFormat(uint16_t channels, uint16_t bits, uint32_t rate, int32_t frames) {
  kpl::FormatRecord f{};
  f.flags = 0x2;
  f.sampleFrames = frames;
  f.formatTag = 1;
  f.channels = channels;
  f.sampleRate = rate;
  f.blockAlign = uint16_t(channels * bits / 8);
  f.averageBytesPerSecond = rate * f.blockAlign;
  f.bitsPerSample = bits;
  f.blockSize = int32_t(f.averageBytesPerSecond);
  return f;
}

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes b(id, id + 4);
  b.resize(8);
  PutBe32(b, 4, uint32_t(body.size()));
  b = Joined(b, body);
  if (body.size() & 1) b.push_back(0);
  return b;
}

Bytes Comm(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t rate) {
  Bytes b(18, 0);
  PutBe16(b, 0, channels);
  PutBe32(b, 2, frames);
  PutBe16(b, 6, bits);
  kpl::rastunes::aiff::EncodeRate(rate, b.data() + 8);
  return b;
}

Bytes Ssnd(const Bytes& samples, uint32_t offset = 0) {
  Bytes b(8 + offset, 0xEE);
  PutBe32(b, 0, offset);
  PutBe32(b, 4, 0);
  return Joined(b, samples);
}

Bytes Form(const std::vector<Bytes>& chunks, const char* type = "AIFF") {
  Bytes body(type, type + 4);
  for (const Bytes& c : chunks)
    body = Joined(body, c);
  Bytes b = {'F', 'O', 'R', 'M', 0, 0, 0, 0};
  PutBe32(b, 4, uint32_t(body.size()));
  return Joined(b, body);
}

class AiffFiles : public Rastunes {
 protected:
  // Writes the blocks through a writing instance; the answer of each block write.
  std::vector<bool> write(const std::string& file, const kpl::FormatRecord& format,
                          std::vector<Bytes> blocks, uint32_t type = kAiff) {
    const uint32_t local = instance(type, 0x200);
    EXPECT_EQ(m().piLocalSetFormat(type, local, &format), -1);
    EXPECT_EQ(m().piLocalProcessDataStart(type, local), -1);
    std::vector<char> name = NameOf(file);
    std::vector<bool> answers;
    for (Bytes& block : blocks) {
      m().piLocalSetData(type, local, block.data(), int32_t(block.size()), nullptr, 0);
      answers.push_back(m().piLocalSaveData(type, local, 2, name.data()) == -1);
    }
    EXPECT_EQ(m().piLocalProcessDataEnd(type, local), -1);
    return answers;
  }

  // The format record of mode 0, or none.
  std::optional<kpl::FormatRecord> format(const std::string& file, uint32_t type = kAiff) {
    const uint32_t local = instance(type, 0x100);
    std::vector<char> name = NameOf(file);
    const bool read = m().piLocalLoadData(type, local, 0, name.data()) == -1;
    const uint32_t record = owned(m().piLocalGetData(type, local));
    kpl::BlockLock lock(record);
    EXPECT_TRUE(lock);
    EXPECT_EQ(GlobalSize(record), 128u);
    if (!read || !lock) return std::nullopt;
    kpl::FormatRecord f;
    std::memcpy(&f, lock.get(), sizeof f);
    return f;
  }

  // An instance reading `file` with blocks of `blockSize` bytes, started.
  uint32_t reader(const std::string& file, int32_t blockSize, uint32_t type = kAiff) {
    auto f = format(file, type);
    EXPECT_TRUE(f);
    const uint32_t local = instance(type, 0x100);
    kpl::FormatRecord use = f.value_or(SoundFormat(1, 8, 8000, 1));
    use.blockSize = blockSize;
    m().piLocalSetFormat(type, local, &use);
    EXPECT_EQ(m().piLocalProcessDataStart(type, local), -1);
    return local;
  }

  // One block read: the answer and the buffer's first `bytes` bytes.
  std::pair<bool, Bytes> readBlock(uint32_t local, const std::string& file, size_t bytes,
                                   uint32_t type = kAiff) {
    std::vector<char> name = NameOf(file);
    const bool read = m().piLocalLoadData(type, local, 2, name.data()) == -1;
    const uint32_t buffer = m().piLocalGetData(type, local);
    kpl::BlockLock lock(buffer);
    if (!lock || GlobalSize(buffer) < bytes) return {read, {}};
    return {read, Bytes(lock.as<uint8_t>(), lock.as<uint8_t>() + bytes)};
  }
};

TEST_F(AiffFiles, ThreeFramesOf8BitMonoMakeA58ByteFile) {
  const std::string file = path("three.aiff");
  const Bytes samples = {0x80, 0x00, 0xFF};
  Bytes block = samples;
  EXPECT_EQ(write(file, SoundFormat(1, 8, 8000, 3), {block}), std::vector<bool>{true});
  const Bytes b = ReadBytes(file);
  ASSERT_EQ(b.size(), 58u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "FORM");
  EXPECT_EQ(Be32At(b, 4), 50u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "AIFFCOMM");
  EXPECT_EQ(Be32At(b, 16), 18u);
  EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "SSND");
  EXPECT_EQ(Be32At(b, 42), 11u);
  EXPECT_EQ(Be32At(b, 46), 0u);
  EXPECT_EQ(Be32At(b, 50), 0u);
  EXPECT_EQ(Bytes(b.begin() + 54, b.end()), (Bytes{0x00, 0x80, 0x7F, 0x00}));
  EXPECT_EQ(block, samples) << "the host's samples are left as they were";
}

TEST_F(AiffFiles, CommOf16BitStereoAt44100) {
  const std::string file = path("stereo.aif");
  Bytes block = {0x01, 0x02, 0x03, 0x04, 0xFF, 0x7F, 0x00, 0x80};
  const Bytes original = block;
  EXPECT_EQ(write(file, SoundFormat(2, 16, 44100, 2), {block}, kAif), std::vector<bool>{true});
  const Bytes b = ReadBytes(file);
  ASSERT_EQ(b.size(), 54u + 8);
  const Bytes comm = {0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x10, 0x40,
                      0x0E, 0xAC, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(b.begin() + 20, b.begin() + 38), comm);
  EXPECT_EQ(Bytes(b.begin() + 54, b.end()),
            (Bytes{0x02, 0x01, 0x04, 0x03, 0x7F, 0xFF, 0x80, 0x00}));
  EXPECT_EQ(block, original);
}

TEST_F(AiffFiles, BlocksBeyondTheAnnouncedLengthAreCut) {
  const std::string file = path("cut.aiff");
  // 5 frames of 16-bit mono are announced: 10 bytes. The first block brings 6, the second 8
  // (cut to 4), the third writes nothing and still answers true.
  const auto answers =
      write(file, SoundFormat(1, 16, 8000, 5), {Bytes(6, 0x11), Bytes(8, 0x22), Bytes(4, 0x33)});
  EXPECT_EQ(answers, (std::vector<bool>{true, true, true}));
  const Bytes b = ReadBytes(file);
  ASSERT_EQ(b.size(), 64u);
  EXPECT_EQ(Be32At(b, 42), 18u);
  EXPECT_EQ(Bytes(b.begin() + 54, b.end()), Joined(Bytes(6, 0x11), Bytes(4, 0x22)));
}

TEST_F(AiffFiles, SampleRatesAsExtendedNumbers) {
  struct Case {
    uint32_t rate;
    Bytes stored;
  };
  const Case cases[] = {
      {44100, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
      {8000, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
      {96000, {0x40, 0x0F, 0xBB, 0x80, 0, 0, 0, 0, 0, 0}},
      {1, {0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Bytes out(10);
    kpl::rastunes::aiff::EncodeRate(c.rate, out.data());
    EXPECT_EQ(out, c.stored) << c.rate;
    EXPECT_EQ(kpl::rastunes::aiff::DecodeRate(c.stored.data()), c.rate);
  }
  // Fractions truncate: 22050.5 and 0.5; a negative rate reads as 0; a rate beyond what a
  // block could hold is refused.
  const Bytes half = {0x40, 0x0D, 0xAC, 0x44, 0x00, 0, 0, 0, 0, 0};  // 22050.5
  EXPECT_EQ(kpl::rastunes::aiff::DecodeRate(half.data()), 22050u);
  const Bytes point5 = {0x3F, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(kpl::rastunes::aiff::DecodeRate(point5.data()), 0u);
  const Bytes negative = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(kpl::rastunes::aiff::DecodeRate(negative.data()), 0u);
  const Bytes huge = {0x40, 0x3E, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(kpl::rastunes::aiff::DecodeRate(huge.data()), std::nullopt);
}

TEST_F(AiffFiles, HeadersParseWithChunksInAnyOrder) {
  const Bytes samples = {1, 2, 3, 4, 5, 6};
  struct Case {
    const char* what;
    Bytes file;
    bool parses;
  };
  Bytes longComm = Comm(2, 3, 8, 22050);
  longComm.resize(22 + 1, 0xAB);  // compression type and a name: skipped to the chunk's end
  const Case cases[] = {
      {"COMM then SSND", Form({Chunk("COMM", Comm(2, 3, 8, 22050)), Chunk("SSND", Ssnd(samples))}),
       true},
      {"COMM after SSND", Form({Chunk("SSND", Ssnd(samples)), Chunk("COMM", Comm(2, 3, 8, 22050))}),
       true},
      {"odd chunks before them are padded",
       Form({Chunk("NAME", Bytes(5, 'x')), Chunk("COMM", Comm(2, 3, 8, 22050)),
             Chunk("ANNO", Bytes(1, 'y')), Chunk("SSND", Ssnd(samples))}),
       true},
      {"a COMM longer than 18 bytes", Form({Chunk("COMM", longComm), Chunk("SSND", Ssnd(samples))}),
       true},
      {"form type AIFC",
       Form({Chunk("COMM", Comm(2, 3, 8, 22050)), Chunk("SSND", Ssnd(samples))}, "AIFC"), false},
      {"FVER before the chunks",
       Form({Chunk("FVER", Bytes(4, 0)), Chunk("COMM", Comm(2, 3, 8, 22050)),
             Chunk("SSND", Ssnd(samples))}),
       false},
      {"3 channels", Form({Chunk("COMM", Comm(3, 2, 8, 22050)), Chunk("SSND", Ssnd(samples))}),
       false},
      {"24 bits", Form({Chunk("COMM", Comm(1, 2, 24, 22050)), Chunk("SSND", Ssnd(samples))}),
       false},
      {"no SSND", Form({Chunk("COMM", Comm(2, 3, 8, 22050))}), false},
      {"no COMM", Form({Chunk("SSND", Ssnd(samples))}), false},
      {"not a FORM", Bytes(40, 'A'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = path("h.aiff");
    WriteBytes(file, c.file);
    const auto f = format(file);
    ASSERT_EQ(f.has_value(), c.parses);
    if (!f) continue;
    EXPECT_EQ(f->flags, 0x1000002u);
    EXPECT_EQ(f->sampleFrames, 3);
    EXPECT_EQ(f->formatTag, 1);
    EXPECT_EQ(f->channels, 2);
    EXPECT_EQ(f->sampleRate, 22050u);
    EXPECT_EQ(f->averageBytesPerSecond, 44100u);
    EXPECT_EQ(f->blockAlign, 2);
    EXPECT_EQ(f->bitsPerSample, 8);
    EXPECT_EQ(f->blockSize, 44100);
    // The samples are found where the SSND chunk says.
    const uint32_t local = reader(file, 6);
    const auto [read, block] = readBlock(local, file, 6);
    EXPECT_TRUE(read);
    EXPECT_EQ(block, (Bytes{0x81, 0x82, 0x83, 0x84, 0x85, 0x86}));
  }
}

TEST_F(AiffFiles, BlocksAreReadFromThePositionAndTheEndIsSilence) {
  // 8-bit mono, 23050 frames; reading from frame 22050 with blocks of 22050 bytes leaves
  // 1000 sample bytes, then silence. A chunk after the sound data is not read as sound.
  Bytes samples(23050);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = uint8_t(i * 7);
  const std::string file = path("long.aiff");
  WriteBytes(file, Form({Chunk("COMM", Comm(1, 23050, 8, 22050)), Chunk("SSND", Ssnd(samples, 4)),
                         Chunk("APPL", Bytes(100, 0x55))}));
  const uint32_t local = reader(file, 22050);
  ASSERT_EQ(m().piLocalLength(kAiff, local, 22050), -1);
  const auto [read, block] = readBlock(local, file, 22050);
  EXPECT_TRUE(read);
  for (size_t i = 0; i < 22050; ++i)
    ASSERT_EQ(block[i], i < 1000 ? uint8_t(samples[22050 + i] + 0x80) : 0x80) << i;
  // The position advanced by 1000 frames: the next read starts past the end.
  EXPECT_FALSE(readBlock(local, file, 1).first);
  // The host can go back.
  ASSERT_EQ(m().piLocalLength(kAiff, local, 2), -1);
  const auto [again, start] = readBlock(local, file, 3);
  EXPECT_TRUE(again);
  EXPECT_EQ(start, (Bytes{uint8_t(14 + 0x80), uint8_t(21 + 0x80), uint8_t(28 + 0x80)}));

  // 16-bit samples are swapped to little-endian; the end of the data is filled with 0.
  const std::string wide = path("wide.aiff");
  WriteBytes(wide, Form({Chunk("COMM", Comm(2, 1, 16, 8000)),
                         Chunk("SSND", Ssnd({0x12, 0x34, 0xAB, 0xCD}))}));
  const uint32_t w = reader(wide, 8);
  const auto [wideRead, wideBlock] = readBlock(w, wide, 8);
  EXPECT_TRUE(wideRead);
  EXPECT_EQ(wideBlock, (Bytes{0x34, 0x12, 0xCD, 0xAB, 0, 0, 0, 0}));
}

TEST_F(AiffFiles, WhatWasWrittenReadsBackInBlocks) {
  for (uint16_t bits : {8, 16})
    for (uint16_t channels : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << channels << " channels");
      const kpl::FormatRecord f = SoundFormat(channels, bits, 11025, 1001);
      Bytes pcm(size_t(1001) * f.blockAlign);
      for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = uint8_t(i * 13 + i / 7);
      const std::string file = path("round.aiff");
      // Blocks of 300 bytes and a last one with what is left.
      std::vector<Bytes> blocks;
      for (size_t at = 0; at < pcm.size(); at += 300)
        blocks.emplace_back(pcm.begin() + ptrdiff_t(at),
                            pcm.begin() + ptrdiff_t(std::min(pcm.size(), at + 300)));
      write(file, f, blocks);
      EXPECT_EQ(ReadBytes(file).size(), 54 + pcm.size() + (pcm.size() & 1));
      const auto back = format(file);
      ASSERT_TRUE(back);
      EXPECT_EQ(back->sampleFrames, 1001);
      EXPECT_EQ(back->sampleRate, 11025u);
      const uint32_t local = reader(file, int32_t(f.blockAlign) * 400);
      Bytes read;
      for (;;) {
        const auto [ok, block] = readBlock(local, file, size_t(f.blockAlign) * 400);
        if (!ok) break;
        read = Joined(read, block);
      }
      read.resize(pcm.size());
      EXPECT_EQ(read, pcm);
    }
}

TEST_F(AiffFiles, InstancesThatCannotReadOrWrite) {
  const std::string file = path("x.aiff");
  std::vector<char> name = NameOf(file);
  Bytes block(4, 1);
  const kpl::FormatRecord f = SoundFormat(1, 8, 8000, 4);
  // Without pifWrite, nothing is created.
  const uint32_t noWrite = instance(kAiff, 0x100);
  ASSERT_EQ(m().piLocalSetFormat(kAiff, noWrite, &f), -1);
  m().piLocalSetData(kAiff, noWrite, block.data(), 4, nullptr, 0);
  EXPECT_EQ(m().piLocalSaveData(kAiff, noWrite, 2, name.data()), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
  // A file that cannot be created; mode 1 either way.
  const uint32_t writer = instance(kAiff, 0x200);
  ASSERT_EQ(m().piLocalSetFormat(kAiff, writer, &f), -1);
  m().piLocalSetData(kAiff, writer, block.data(), 4, nullptr, 0);
  char unwritable[] = "/nonexistent/dir/x.aiff";
  EXPECT_EQ(m().piLocalSaveData(kAiff, writer, 2, unwritable), 0);
  EXPECT_EQ(m().piLocalSaveData(kAiff, writer, 1, name.data()), 0);
  EXPECT_EQ(m().piLocalLoadData(kAiff, writer, 1, name.data()), 0);
  // A reader without its buffer (no piLocalProcessDataStart) reads nothing.
  ASSERT_TRUE(write(file, f, {block}).at(0));
  const uint32_t unstarted = instance(kAiff, 0x100);
  ASSERT_EQ(m().piLocalSetFormat(kAiff, unstarted, &f), -1);
  EXPECT_EQ(m().piLocalLoadData(kAiff, unstarted, 2, name.data()), 0);
  // Formats the writer refuses.
  struct Refused {
    const char* what;
    kpl::FormatRecord format;
  };
  kpl::FormatRecord noFrames = f, bits24 = SoundFormat(1, 24, 8000, 4), tag = f, noAlign = f;
  noFrames.sampleFrames = 0;
  tag.formatTag = 3;
  noAlign.blockAlign = 0;
  for (const auto& r : {Refused{"no frames", noFrames}, Refused{"24 bits", bits24},
                        Refused{"not PCM", tag}, Refused{"block align 0", noAlign}})
    EXPECT_EQ(m().piLocalSetFormat(kAiff, instance(kAiff, 0x200), &r.format), 0) << r.what;
}

TEST_F(AiffFiles, ModeZeroRecords) {
  // Without a file name: the instance's own PCM fields and a block of one second.
  const uint32_t local = instance(kAiff, 0x100);
  const kpl::FormatRecord own = SoundFormat(2, 16, 32000, 77);
  ASSERT_EQ(m().piLocalSetFormat(kAiff, local, &own), -1);
  EXPECT_EQ(m().piLocalLoadData(kAiff, local, 0, nullptr), -1);
  const uint32_t record = owned(m().piLocalGetData(kAiff, local));
  kpl::FormatRecord f;
  {
    kpl::BlockLock lock(record);
    ASSERT_TRUE(lock);
    std::memcpy(&f, lock.get(), sizeof f);
  }
  EXPECT_EQ(f.flags, 0x1000002u);
  EXPECT_EQ(f.sampleFrames, 0);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.sampleRate, 32000u);
  EXPECT_EQ(f.averageBytesPerSecond, 128000u);
  EXPECT_EQ(f.blockAlign, 4);
  EXPECT_EQ(f.bitsPerSample, 16);
  EXPECT_EQ(f.blockSize, 128000);
  // A file that does not parse still leaves a zeroed record as the result.
  const std::string junk = path("junk.aiff");
  WriteBytes(junk, Bytes(64, 'J'));
  std::vector<char> name = NameOf(junk);
  EXPECT_EQ(m().piLocalLoadData(kAiff, local, 0, name.data()), 0);
  const uint32_t zeroed = owned(m().piLocalGetData(kAiff, local));
  EXPECT_NE(zeroed, record);
  kpl::BlockLock lock(zeroed);
  ASSERT_TRUE(lock);
  EXPECT_EQ(GlobalSize(zeroed), 128u);
  EXPECT_EQ(Bytes(lock.as<uint8_t>(), lock.as<uint8_t>() + 128), Bytes(128, 0));
}

TEST_F(AiffFiles, TheReadBufferLivesFromStartToEnd) {
  const std::string file = path("b.aiff");
  ASSERT_TRUE(write(file, SoundFormat(1, 8, 8000, 10), {Bytes(10, 3)}).at(0));
  const uint32_t local = reader(file, 4);
  const auto [read, block] = readBlock(local, file, 4);
  ASSERT_TRUE(read);
  const uint32_t buffer = m().piLocalGetData(kAiff, local);
  EXPECT_GE(GlobalSize(buffer), 16u) << "four blocks";
  EXPECT_EQ(m().piLocalProcessDataEnd(kAiff, local), -1);
  EXPECT_EQ(GlobalSize(buffer), 0u) << "freed";
  // The result no longer names the freed buffer: a fresh pattern block instead.
  const uint32_t after = owned(m().piLocalGetData(kAiff, local));
  EXPECT_NE(after, 0u);
  kpl::BlockLock lock(after);
  ASSERT_TRUE(lock);
  EXPECT_STREQ(lock.as<char>(), "*.AIFF");
}

}  // namespace
}  // namespace rastunes_test
