// RIFF navigation through the multimedia file calls, on small hand-built files.
#include <gtest/gtest.h>

#include "avi_fixture.hpp"
#include "riff_bytes.hpp"

using namespace avitest;

namespace {

// RIFF 'WAVE' { 'odd ' (3 bytes, padded), LIST 'INFO' { 'ICMT' }, 'fmt ' (16), 'data' (6) }
std::vector<uint8_t> waveFixture() {
  Riff riff;
  riff.chunk(
      "RIFF",
      [](Riff& r) {
        r.data("odd ", {1, 2, 3});
        r.chunk(
            "LIST",
            [](Riff& l) {
              l.data("ICMT", {'h', 'i', 0, 0});
            },
            "INFO");
        r.data("fmt ", waveFormat(2, 22050, 16));
        r.data("data", {10, 20, 30, 40, 50, 60});
      },
      "WAVE");
  return riff.bytes;
}

struct MmioCloser {
  void operator()(MmioFile* file) const { mmioClose(file, 0); }
};
using Mmio = std::unique_ptr<MmioFile, MmioCloser>;

}  // namespace

TEST(Mmio, DescendsIntoFormsListsAndChunksAndAscendsPastPadding) {
  TempDir dir;
  writeFile(dir.file("a.wav"), waveFixture());
  Mmio file(mmioOpenA(dir.file("a.wav").c_str(), nullptr, MMIO_READ | MMIO_DENYWRITE));
  ASSERT_TRUE(file);

  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.ckid, FOURCC_RIFF);
  EXPECT_EQ(riff.fccType, mmioFOURCC('W', 'A', 'V', 'E'));
  EXPECT_EQ(riff.dwDataOffset, 8u);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_CUR), 12);

  // A list is found past a padded chunk of another kind, and entered.
  MMCKINFO list{};
  list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
  ASSERT_EQ(mmioDescend(file.get(), &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
  MMCKINFO comment{};
  ASSERT_EQ(mmioDescend(file.get(), &comment, &list, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(comment.ckid, mmioFOURCC('I', 'C', 'M', 'T'));
  char text[4];
  EXPECT_EQ(mmioRead(file.get(), text, 4), 4);
  EXPECT_STREQ(text, "hi");
  // Nothing else in the list: the search stops at the list's end, not the file's.
  MMCKINFO none{};
  none.ckid = mmioFOURCC('d', 'a', 't', 'a');
  EXPECT_EQ(mmioDescend(file.get(), &none, &list, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  ASSERT_EQ(mmioAscend(file.get(), &list, 0), MMSYSERR_NOERROR);

  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(data.cksize, 6u);
  char samples[16];
  EXPECT_EQ(mmioRead(file.get(), samples, 16), 6);  // up to the file's end
  EXPECT_EQ(samples[5], 60);
  EXPECT_EQ(mmioRead(file.get(), samples, 16), 0);
  EXPECT_EQ(mmioAscend(file.get(), &data, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioAscend(file.get(), &riff, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_CUR), int32_t(waveFixture().size()));

  // The first chunk's pad byte is skipped: the chunk after "odd " is found at an even offset.
  ASSERT_EQ(mmioSeek(file.get(), 12, SEEK_SET), 12);
  MMCKINFO odd{};
  ASSERT_EQ(mmioDescend(file.get(), &odd, &riff, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioAscend(file.get(), &odd, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_CUR), 24);
}

TEST(Mmio, FindsRiffFormsByTypeAndRefusesOthers) {
  TempDir dir;
  writeFile(dir.file("a.wav"), waveFixture());
  Mmio file(mmioOpenA(dir.file("a.wav").c_str(), nullptr, 0));
  ASSERT_TRUE(file);
  MMCKINFO form{};
  form.fccType = mmioFOURCC('A', 'V', 'I', ' ');
  EXPECT_EQ(mmioDescend(file.get(), &form, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
  mmioSeek(file.get(), 0, SEEK_SET);
  form.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  EXPECT_EQ(mmioDescend(file.get(), &form, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
}

TEST(Mmio, HostileSizesAndHandlesFailCleanly) {
  TempDir dir;
  // A chunk claiming 4 GiB, a truncated header, and a list whose type is cut off.
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"huge", Riff().id("RIFF").u32(0xFFFFFFFF).id("AVI ").id("LIST").u32(0xFFFFFFF0).bytes},
      {"short", Riff().id("RIFF").u16(7).bytes},
      {"cut", Riff().id("RIFF").u32(8).id("AVI ").id("LIST").bytes},
      {"empty", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir.file(c.name), c.bytes);
    Mmio file(mmioOpenA(dir.file(c.name).c_str(), nullptr, 0));
    ASSERT_TRUE(file);
    MMCKINFO riff{};
    if (mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) continue;
    MMCKINFO inner{};
    inner.ckid = mmioFOURCC('a', 'v', 'i', 'h');
    EXPECT_NE(mmioDescend(file.get(), &inner, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    char buffer[64];
    EXPECT_GE(mmioRead(file.get(), buffer, sizeof buffer), 0);
    mmioAscend(file.get(), &riff, 0);
    EXPECT_EQ(mmioRead(file.get(), buffer, sizeof buffer), 0);
  }
  EXPECT_EQ(mmioOpenA(dir.file("missing").c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(mmioOpenA(nullptr, nullptr, 0), nullptr);
  MMCKINFO chunk{};
  EXPECT_EQ(mmioDescend(nullptr, &chunk, nullptr, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mmioAscend(nullptr, &chunk, 0), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mmioRead(nullptr, nullptr, 4), -1);
  EXPECT_EQ(mmioSeek(nullptr, 0, SEEK_SET), -1);
  EXPECT_EQ(mmioClose(nullptr, 0), MMSYSERR_INVALHANDLE);
}
