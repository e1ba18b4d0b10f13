// Finding a stream's chunks: idx1 with relative or absolute offsets, OpenDML super and standard
// indexes across RIFF AVIX extensions, and files with no index at all; hostile indexes and
// headers fail cleanly or are cut to what the file holds.
#include <gtest/gtest.h>

#include <functional>

#include "avi_fixture.hpp"
#include "avi_handles.hpp"
#include "riff_bytes.hpp"

using namespace avitest;

namespace {

constexpr int kWidth = 8, kHeight = 2, kFrames = 3;
constexpr uint32_t kFrameBytes = 48;  // 8 x 2 pixels of 24 bits

enum class Index { Relative, Absolute, None, OpenDml };

struct Built {
  std::vector<uint8_t> bytes;
  std::vector<size_t> frameData;  // where each frame's data lies
};

std::vector<uint8_t> frameBytes(int n) {
  return std::vector<uint8_t>(kFrameBytes, uint8_t(n * 40 + 1));
}

void put32At(std::vector<uint8_t>& bytes, size_t at, uint64_t v) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = uint8_t(v >> (8 * i));
}

// One video stream of three frames; frame 1 is not a key frame. With OpenDML, frame 2 lies in
// a RIFF AVIX extension and each part of the file has its own ix00 standard index.
Built buildAvi(Index index, uint32_t streamCount = 1) {
  Built built;
  Riff riff;
  size_t indxAt = 0;
  riff.id("RIFF").u32(0).id("AVI ");
  riff.chunk(
      "LIST",
      [&](Riff& hdrl) {
        hdrl.data("avih", std::vector<uint8_t>(56, 0));
        put32At(hdrl.bytes, hdrl.bytes.size() - 56 + 16, kFrames);
        put32At(hdrl.bytes, hdrl.bytes.size() - 56 + 24, streamCount);
        put32At(hdrl.bytes, hdrl.bytes.size() - 56 + 32, kWidth);
        put32At(hdrl.bytes, hdrl.bytes.size() - 56 + 36, kHeight);
        hdrl.chunk(
            "LIST",
            [&](Riff& strl) {
              strl.chunk("strh", [](Riff& h) {
                h.id("vids").u32(0).u32(0).u32(0).u32(0).u32(1).u32(25).u32(0).u32(kFrames);
                h.u32(kFrameBytes).u32(10000).u32(0).u16(0).u16(0).u16(kWidth).u16(kHeight);
              });
              strl.data("strf", bitmapFormat(kWidth, kHeight, 24));
              if (index == Index::OpenDml) {
                // Super index: two entries, filled in once the standard indexes have their places.
                strl.chunk("indx", [&](Riff& i) {
                  i.u16(4).u16(0).u32(2).id("00db").u32(0).u32(0).u32(0);
                  indxAt = i.bytes.size();
                  for (int e = 0; e < 2; ++e)
                    i.u32(0).u32(0).u32(0).u32(0);
                });
              }
            },
            "strl");
      },
      "hdrl");
  size_t moviType = 0;
  std::vector<size_t> ixAt;
  auto addFrames = [&](Riff& movi, int first, int last) {
    for (int n = first; n < last; ++n) {
      built.frameData.push_back(movi.bytes.size() + 8);
      movi.data("00db", frameBytes(n));
    }
    if (index == Index::OpenDml) {
      ixAt.push_back(movi.bytes.size());
      movi.chunk("ix00", [&](Riff& ix) {
        ix.u16(2)
            .u16(0x0100)
            .u32(uint32_t(last - first))  // AVI_INDEX_OF_CHUNKS
            .id("00db");
        ix.u32(0).u32(0).u32(0);  // base offset 0: entries hold file offsets
        for (int n = first; n < last; ++n)
          ix.u32(uint32_t(built.frameData[size_t(n)]))
              .u32(kFrameBytes | (n == 1 ? 0x80000000u : 0));
      });
    }
  };
  riff.chunk(
      "LIST",
      [&](Riff& movi) {
        moviType = movi.bytes.size() - 4;
        addFrames(movi, 0, index == Index::OpenDml ? 2 : kFrames);
      },
      "movi");
  if (index == Index::Relative || index == Index::Absolute) {
    riff.chunk("idx1", [&](Riff& idx) {
      for (int n = 0; n < kFrames; ++n) {
        const size_t chunk = built.frameData[size_t(n)] - 8;
        idx.id("00db").u32(n == 1 ? 0 : AVIIF_KEYFRAME);
        idx.u32(uint32_t(index == Index::Relative ? chunk - moviType : chunk)).u32(kFrameBytes);
      }
    });
  }
  put32At(riff.bytes, 4, riff.bytes.size() - 8);
  if (index == Index::OpenDml) {
    riff.chunk(
        "RIFF",
        [&](Riff& avix) {
          avix.chunk(
              "LIST", [&](Riff& movi) { addFrames(movi, 2, 3); }, "movi");
        },
        "AVIX");
    for (int e = 0; e < 2; ++e) {
      put32At(riff.bytes, indxAt + 16 * e, ixAt[size_t(e)]);
      put32At(riff.bytes, indxAt + 16 * e + 8, 64);
      put32At(riff.bytes, indxAt + 16 * e + 12, e == 0 ? 2 : 1);
    }
  }
  built.bytes = std::move(riff.bytes);
  return built;
}

// Reads every frame; "" when the file does not open, else one letter per frame: K (key) or .
// (not), x when the data differ from what was written.
std::string readFrames(const std::string& path) {
  AviFile file = openAvi(path);
  if (!file) return "";
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  if (!video) return "no stream";
  std::string seen;
  for (int n = 0; n < AVIStreamLength(video.get()); ++n) {
    std::vector<uint8_t> data(kFrameBytes);
    int32_t bytes = 0;
    if (AVIStreamRead(video.get(), n, 1, data.data(), kFrameBytes, &bytes, nullptr) != AVIERR_OK ||
        data != frameBytes(n))
      seen += 'x';
    else
      seen += AVIStreamIsKeyFrame(video.get(), n) ? 'K' : '.';
  }
  return seen;
}

}  // namespace

TEST(AviIndex, FindsChunksThroughEveryKindOfIndex) {
  TempDir dir;
  const struct {
    const char* name;
    Index index;
    const char* frames;
  } cases[] = {
      {"idx1 relative to movi", Index::Relative, "K.K"},
      {"idx1 from the file's start", Index::Absolute, "K.K"},
      {"no index: the movi list scanned", Index::None, "KKK"},
      {"OpenDML across RIFF AVIX", Index::OpenDml, "K.K"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("index.avi");
    writeFile(path, buildAvi(c.index).bytes);
    EXPECT_EQ(readFrames(path), c.frames);
  }
}

TEST(AviIndex, DecodesOpenDmlFramesFromTheExtension) {
  TempDir dir;
  const std::string path = dir.file("odml.avi");
  writeFile(path, buildAvi(Index::OpenDml).bytes);
  AviFile file = openAvi(path);
  AviStream video = getStream(file, streamtypeVIDEO, 0);
  ASSERT_TRUE(video);
  FrameDecoder decoder(AVIStreamGetFrameOpen(video.get(), nullptr));
  ASSERT_TRUE(decoder);
  auto* bitmap = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder.get(), 2));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap[40], frameBytes(2)[0]);
  EXPECT_EQ(AVIStreamGetFrame(decoder.get(), 3), nullptr);
  EXPECT_EQ(AVIStreamGetFrame(decoder.get(), -1), nullptr);
}

TEST(AviIndex, HostileIndexesAndHeadersFailCleanly) {
  TempDir dir;
  const std::string path = dir.file("hostile.avi");
  struct Case {
    const char* name;
    std::function<void(Built&)> spoil;
    const char* frames;  // "" when the file must not open
  };
  const Case cases[] = {
      {"idx1 entry past the end: left out, the others read",
       [](Built& b) { put32At(b.bytes, b.bytes.size() - 16 + 8, 0x7FFFFFF0); }, "K."},
      {"idx1 size of 4 GiB",
       [](Built& b) { put32At(b.bytes, b.bytes.size() - 48 - 4, 0xFFFFFFF0); }, "K.K"},
      {"truncated in the last frame: scanned entries stop at the end",
       [](Built& b) { b.bytes.resize(b.frameData[2] + 10); }, "KK"},
      {"truncated in the headers", [](Built& b) { b.bytes.resize(100); }, ""},
      {"RIFF size of 4 GiB", [](Built& b) { put32At(b.bytes, 4, 0xFFFFFFFF); }, "K.K"},
      {"not an AVI form", [](Built& b) { b.bytes[8] = 'W'; }, ""},
      {"format chunk of 4 GiB: cut at its list's end",
       [](Built& b) {
         for (size_t i = 0; i + 4 < b.bytes.size(); ++i)
           if (!std::memcmp(&b.bytes[i], "strf", 4)) put32At(b.bytes, i + 4, 0xFFFFFFF0);
       },
       "K.K"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Built built = buildAvi(
        std::string(c.name).find("scanned") != std::string::npos ? Index::None : Index::Relative);
    c.spoil(built);
    writeFile(path, built.bytes);
    EXPECT_EQ(readFrames(path), c.frames);
  }

  // OpenDML indexes that lie: counts of four billion, entries pointing anywhere.
  const Case odml[] = {
      {"super index count of 4 billion",
       [](Built& b) {
         for (size_t i = 0; i + 4 < b.bytes.size(); ++i)
           if (!std::memcmp(&b.bytes[i], "indx", 4)) put32At(b.bytes, i + 12, 0xFFFFFFFF);
       },
       "K.K"},
      {"standard index count of 4 billion",
       [](Built& b) {
         for (size_t i = 0; i + 4 < b.bytes.size(); ++i)
           if (!std::memcmp(&b.bytes[i], "ix00", 4)) put32At(b.bytes, i + 12, 0xFFFFFFFF);
       },
       "K.K"},
      {"super index entry pointing past the end: the movi lists are scanned instead",
       [](Built& b) {
         for (size_t i = 0; i + 4 < b.bytes.size(); ++i)
           if (!std::memcmp(&b.bytes[i], "indx", 4)) put32At(b.bytes, i + 8 + 24, 0xFFFFFF00);
       },
       "KKK"},
  };
  for (const auto& c : odml) {
    SCOPED_TRACE(c.name);
    Built built = buildAvi(Index::OpenDml);
    c.spoil(built);
    writeFile(path, built.bytes);
    EXPECT_EQ(readFrames(path), c.frames);
  }
}
