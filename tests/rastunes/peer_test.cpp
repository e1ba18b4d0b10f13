// Files exchanged with ffmpeg, ImageMagick and sox. What they write in every variant they
// make, the module reads as they read it themselves (by the documented rules where a colour
// passes through a 6-bit palette, a 5-bit pixel, the grey ramp or the SGI scale); what the
// module writes, they read pixel for pixel and sample for sample.
#include <cmath>
#include <cstdlib>

#include "png_io.hpp"
#include "rastunes_fixture.hpp"

namespace rastunes_test {
namespace {

std::string Peer(const char* configured) {
  return configured && *configured && std::filesystem::exists(configured) ? configured : "";
}
const std::string kFfmpeg = Peer(PEER_FFMPEG);
const std::string kConvert = Peer(PEER_CONVERT);
const std::string kSox = Peer(PEER_SOX);

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// How a colour the peer decodes relates to the one the module gives.
enum class Rule {
  kExact,
  kSixBitPalette,  // ours = 4 x (theirs / 4) + 3
  kFiveBitPixel,   // ours = 8 x (theirs / 8)
  kGreyRamp,       // ours = 4 x (theirs x 63 / 255) + 3
};

uint8_t Expected(uint8_t theirs, Rule rule) {
  switch (rule) {
    case Rule::kSixBitPalette:
      return uint8_t((theirs & 0xFC) + 3);
    case Rule::kFiveBitPixel:
      return uint8_t(theirs & 0xF8);
    case Rule::kGreyRamp:
      return uint8_t(4 * (theirs * 63 / 255) + 3);
    default:
      return theirs;
  }
}

// ffmpeg knows Alias files by the name ".pix"; ours are named after the module's patterns.
std::string FfmpegInput(const std::string& file) {
  const bool alias = file.ends_with(".alias") || file.ends_with(".ali");
  return (alias ? "-f image2 -c:v alias_pix -i " : "-i ") + file;
}

Picture FromPng(const std::string& file) {
  const kplhost::RgbImage image = kplhost::ReadPng(file);
  return MakePicture(image.width(), image.height(), [&](int32_t x, int32_t y) {
    const kplhost::Rgb c = image.at(x, y);
    return FromRgb(c.red, c.green, c.blue);
  });
}

// Counts the pixels that break the rule, reporting the first.
int Mismatches(const Picture& ours, const Picture& theirs, Rule rule) {
  EXPECT_EQ(ours.width, theirs.width);
  EXPECT_EQ(ours.height, theirs.height);
  if (ours.width != theirs.width || ours.height != theirs.height) return -1;
  int bad = 0;
  for (int32_t y = 0; y < ours.height; ++y)
    for (int32_t x = 0; x < ours.width; ++x) {
      const Bgr t = theirs.at(x, y);
      const Bgr want{Expected(t.blue, rule), Expected(t.green, rule), Expected(t.red, rule)};
      if (ours.at(x, y) != want && bad++ == 0)
        ADD_FAILURE() << "first at " << x << "," << y << ": ours " << ours.at(x, y) << " want "
                      << want << " (theirs " << t << ")";
    }
  return bad;
}

struct PeerVariant {
  const char* what;
  const char* extension;
  uint32_t type;
  const char* makeArgs;  // between the input and the output
  Rule rule;
};

class Peers : public Rastunes {
 protected:
  // A picture with flat areas (long runs), gradients and odd sizes.
  std::string source(int32_t width, int32_t height) {
    const std::string png = path("source.png");
    if (!kFfmpeg.empty())
      Shell(kFfmpeg + " -v error -y -f lavfi -i testsrc=size=" + std::to_string(width) + "x" +
            std::to_string(height) + " -frames:v 1 " + png);
    return png;
  }
};

TEST_F(Peers, WeReadWhatFfmpegWrites) {
  if (kFfmpeg.empty()) GTEST_SKIP() << "ffmpeg not installed";
  const PeerVariant variants[] = {
      {"pcx 24-bit", "pcx", kPcx, "-pix_fmt rgb24", Rule::kExact},
      {"pcx 256 colours", "pcx", kPcx, "-pix_fmt pal8", Rule::kSixBitPalette},
      {"pcx 256 greys", "pcx", kPcx, "-pix_fmt gray", Rule::kSixBitPalette},
      {"pcx 8-bit rgb", "pcx", kPcx, "-pix_fmt rgb8", Rule::kSixBitPalette},
      {"pcx monochrome", "pcx", kPcx, "-pix_fmt monob", Rule::kSixBitPalette},
      {"tga 24-bit", "tga", kTarga, "-pix_fmt bgr24 -rle 0", Rule::kExact},
      {"tga 24-bit rle", "tga", kTarga, "-pix_fmt bgr24 -rle 1", Rule::kExact},
      {"tga 32-bit", "tga", kTarga, "-pix_fmt bgra -rle 0", Rule::kExact},
      {"tga 32-bit rle", "tga", kTarga, "-pix_fmt bgra -rle 1", Rule::kExact},
      {"tga 16-bit", "tga", kTarga, "-pix_fmt rgb555le -rle 0", Rule::kFiveBitPixel},
      {"tga 16-bit rle", "tga", kTarga, "-pix_fmt rgb555le -rle 1", Rule::kFiveBitPixel},
      {"tga colour-mapped", "tga", kTarga, "-pix_fmt pal8 -rle 0", Rule::kSixBitPalette},
      {"tga colour-mapped rle", "tga", kTarga, "-pix_fmt pal8 -rle 1", Rule::kSixBitPalette},
      {"tga grey rle", "tga", kTarga, "-pix_fmt gray -rle 1", Rule::kGreyRamp},
      {"sgi run-length", "sgi", kSgi, "-pix_fmt rgb24 -rle 1", Rule::kExact},
      // ffmpeg knows SGI files by the name ".sgi" only; any SGI type reads them.
      {"sgi verbatim", "sgi", kRgb, "-pix_fmt rgb24 -rle 0", Rule::kExact},
      {"sgi grey run-length", "sgi", kBw, "-pix_fmt gray -rle 1", Rule::kExact},
      {"sgi grey verbatim", "sgi", kBw, "-pix_fmt gray -rle 0", Rule::kExact},
      {"sgi rgba run-length", "sgi", kRgba, "-pix_fmt rgba -rle 1", Rule::kExact},
      {"sgi rgba verbatim", "sgi", kRgba, "-pix_fmt rgba -rle 0", Rule::kExact},
      {"alias", "alias", kAlias, "-c:v alias_pix -f image2 -update 1", Rule::kExact},
  };
  const std::string png = source(161, 91);
  for (const PeerVariant& v : variants) {
    SCOPED_TRACE(v.what);
    const std::string file = path(std::string("peer.") + v.extension);
    const std::string back = path("peer-back.png");
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + png + " " + v.makeArgs + " " + file));
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y " + FfmpegInput(file) + " -pix_fmt rgb24 " + back));
    const auto ours = load(v.type, file);
    ASSERT_TRUE(ours);
    EXPECT_EQ(Mismatches(*ours, FromPng(back), v.rule), 0);
  }
}

// ffmpeg's two-byte SGI files (maximum 65535) read as v / 65535 x 255, truncated, from the
// values ffmpeg itself decodes.
TEST_F(Peers, WeReadFfmpegsTwoByteSgi) {
  if (kFfmpeg.empty()) GTEST_SKIP() << "ffmpeg not installed";
  const std::string png = source(97, 41);
  for (const char* rle : {"0", "1"}) {
    SCOPED_TRACE(std::string("rle ") + rle);
    const std::string file = path("wide.sgi"), raw = path("wide.raw");
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + png + " -pix_fmt rgb48be -rle " + rle +
                      " -f image2 -update 1 " + file));
    ASSERT_TRUE(
        Shell(kFfmpeg + " -v error -y -i " + file + " -f rawvideo -pix_fmt rgb48be " + raw));
    const Bytes values = ReadBytes(raw);
    ASSERT_EQ(values.size(), size_t(97) * 41 * 6);
    const auto ours = load(kSgi, file);
    ASSERT_TRUE(ours);
    int bad = 0;
    for (int32_t y = 0; y < 41; ++y)
      for (int32_t x = 0; x < 97; ++x) {
        uint8_t want[3];
        for (int c = 0; c < 3; ++c) {
          const size_t at = (size_t(y) * 97 + size_t(x)) * 6 + size_t(c) * 2;
          const long double v = (long double)(values[at] << 8 | values[at + 1]);
          want[c] = uint8_t(std::trunc(v / 65535.0L * 255.0L));
        }
        if (ours->at(x, y) != FromRgb(want[0], want[1], want[2])) ++bad;
      }
    EXPECT_EQ(bad, 0);
  }
}

// ImageMagick's files are judged by ffmpeg's reading of them: ImageMagick reads two of its own
// files against their headers (Targa rows stored top first under a bottom-left descriptor, and
// one-bit PCX bits taken as black where the header's palette says white), and so agrees only
// with itself on those.
TEST_F(Peers, WeReadWhatImageMagickWrites) {
  if (kFfmpeg.empty() || kConvert.empty()) GTEST_SKIP() << "ImageMagick or ffmpeg missing";
  const PeerVariant variants[] = {
      {"pcx 24-bit", "pcx", kPcx, "", Rule::kExact},
      {"pcx 256 colours", "pcx", kPcx, "-type Palette", Rule::kSixBitPalette},
      {"tga 24-bit bottom-up", "tga", kTarga, "", Rule::kExact},
      {"tga 24-bit rle", "tga", kTarga, "-compress RLE", Rule::kExact},
      {"tga colour-mapped", "tga", kTarga, "-type Palette", Rule::kSixBitPalette},
      {"tga colour-mapped rle", "tga", kTarga, "-type Palette -compress RLE", Rule::kSixBitPalette},
      {"tga 32-bit", "tga", kTarga, "-type TrueColorAlpha", Rule::kExact},
      {"tga 32-bit rle", "tga", kTarga, "-type TrueColorAlpha -compress RLE", Rule::kExact},
      {"sgi run-length", "sgi", kSgi, "", Rule::kExact},
      {"sgi verbatim", "sgi", kSgi, "-compress None", Rule::kExact},
      {"sgi grey", "bw", kBw, "-colorspace Gray -compress None", Rule::kExact},
      {"sgi with alpha", "rgba", kRgba, "-alpha Set -compress RLE", Rule::kExact},
  };
  const std::string png = source(161, 91);
  for (const PeerVariant& v : variants) {
    SCOPED_TRACE(v.what);
    const std::string file = path(std::string("peer.") + v.extension);
    const std::string back = path("peer-back.png");
    const std::string format = v.type >= kSgi && v.type <= kRgba ? "SGI:" : "";
    ASSERT_TRUE(Shell(kConvert + " " + png + " " + v.makeArgs + " " + format + file));
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + file + " -pix_fmt rgb24 " + back));
    const auto ours = load(v.type, file);
    ASSERT_TRUE(ours);
    EXPECT_EQ(Mismatches(*ours, FromPng(back), v.rule), 0);
  }

  // ImageMagick writes a one-bit PCX from a two-colour palette picture.
  const std::string bmp = path("mono.bmp"), file = path("mono.pcx"), back = path("mono.png");
  ASSERT_TRUE(Shell(kConvert + " " + png + " -monochrome BMP3:" + bmp));
  ASSERT_TRUE(Shell(kConvert + " " + bmp + " " + file));
  const Bytes header = ReadBytes(file);
  ASSERT_GE(header.size(), 66u);
  EXPECT_EQ(header[3], 1);
  EXPECT_EQ(header[65], 1);
  ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + file + " -pix_fmt rgb24 " + back));
  const auto ours = load(kPcx, file);
  ASSERT_TRUE(ours);
  EXPECT_EQ(Mismatches(*ours, FromPng(back), Rule::kSixBitPalette), 0);
}

TEST_F(Peers, FfmpegAndImageMagickReadWhatWeWrite) {
  if (kFfmpeg.empty() || kConvert.empty()) GTEST_SKIP() << "ImageMagick or ffmpeg missing";
  const Picture picture = FromPng(source(161, 91));
  struct Written {
    uint32_t type;
    const char* name;
    bool imageMagickReads;
  };
  for (const Written& w : {Written{kPcx, "ours.pcx", true}, Written{kTarga, "ours.tga", true},
                           Written{kSgi, "ours.sgi", true}, Written{kRgba, "ours-rgba.sgi", true},
                           Written{kAlias, "ours.alias", false}}) {
    const std::string file = path(w.name);
    ASSERT_TRUE(save(w.type, picture, file));
    for (const std::string& reader : {kFfmpeg, kConvert}) {
      if (reader == kConvert && !w.imageMagickReads) continue;
      SCOPED_TRACE(file + " read by " + reader);
      const std::string back = path("ours-back.png");
      std::filesystem::remove(back);
      const std::string format = w.type >= kSgi && w.type <= kRgba ? "SGI:" : "";
      ASSERT_TRUE(Shell(reader == kFfmpeg ? kFfmpeg + " -v error -y " + FfmpegInput(file) +
                                                " -pix_fmt rgb24 " + back
                                          : kConvert + " " + format + file + " PNG24:" + back));
      EXPECT_EQ(Mismatches(FromPng(back), picture, Rule::kExact), 0);
    }
  }
}

// Sound exchanged with sox and ffmpeg: 8 and 16 bits, mono and stereo, 8000 to 96000 samples
// a second. The peers make AIFF files from raw PCM that the module must read back exactly,
// and decode the module's AIFF files to raw PCM that must equal what was written.
struct SoundCase {
  uint16_t bits, channels;
  uint32_t rate;
};

class SoundPeers : public Rastunes {
 protected:
  static Bytes Noise(const SoundCase& c, size_t frames) {
    Bytes pcm(frames * c.channels * c.bits / 8);
    uint32_t state = c.rate * 31 + c.bits * 7 + c.channels;
    for (uint8_t& b : pcm) {
      state = state * 1664525u + 1013904223u;
      b = uint8_t(state >> 24);
    }
    return pcm;
  }
  static std::string SoxRaw(const SoundCase& c) {
    return " -t raw -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
           (c.bits == 8 ? " -e unsigned-integer -b 8 " : " -e signed-integer -b 16 -L ");
  }
  static std::string FfmpegRaw(const SoundCase& c) {
    return std::string(c.bits == 8 ? " -f u8" : " -f s16le") + " -ar " + std::to_string(c.rate) +
           " -ac " + std::to_string(c.channels) + " ";
  }

  // The whole sound of an AIFF file as the module reads it, block after block.
  Bytes readAll(const std::string& file) {
    const uint32_t local = instance(kAiff, 0x100);
    std::vector<char> name = NameOf(file);
    if (m().piLocalLoadData(kAiff, local, 0, name.data()) != -1) return {};
    const uint32_t record = owned(m().piLocalGetData(kAiff, local));
    kpl::FormatRecord f;
    {
      kpl::BlockLock lock(record);
      std::memcpy(&f, lock.get(), sizeof f);
    }
    const uint32_t reader = instance(kAiff, 0x100);
    EXPECT_EQ(m().piLocalSetFormat(kAiff, reader, &f), -1);
    EXPECT_EQ(m().piLocalProcessDataStart(kAiff, reader), -1);
    const size_t total = size_t(f.sampleFrames) * f.blockAlign;
    Bytes pcm;
    while (pcm.size() < total && m().piLocalLoadData(kAiff, reader, 2, name.data()) == -1) {
      kpl::BlockLock lock(m().piLocalGetData(kAiff, reader));
      const size_t n = std::min(size_t(f.blockSize), total - pcm.size());
      pcm.insert(pcm.end(), lock.as<uint8_t>(), lock.as<uint8_t>() + n);
    }
    m().piLocalProcessDataEnd(kAiff, reader);
    return pcm;
  }

  bool writeAll(const std::string& file, const SoundCase& c, const Bytes& pcm) {
    kpl::FormatRecord f{};
    f.flags = 2;
    f.formatTag = 1;
    f.channels = c.channels;
    f.sampleRate = c.rate;
    f.blockAlign = uint16_t(c.channels * c.bits / 8);
    f.averageBytesPerSecond = c.rate * f.blockAlign;
    f.bitsPerSample = c.bits;
    f.sampleFrames = int32_t(pcm.size() / f.blockAlign);
    const uint32_t local = instance(kAif, 0x200);
    if (m().piLocalSetFormat(kAif, local, &f) != -1) return false;
    m().piLocalProcessDataStart(kAif, local);
    std::vector<char> name = NameOf(file);
    Bytes copy = pcm;
    bool written = true;
    for (size_t at = 0; at < copy.size(); at += f.averageBytesPerSecond) {
      const size_t n = std::min<size_t>(f.averageBytesPerSecond, copy.size() - at);
      m().piLocalSetData(kAif, local, copy.data() + at, int32_t(n), nullptr, 0);
      written = written && m().piLocalSaveData(kAif, local, 2, name.data()) == -1;
    }
    m().piLocalProcessDataEnd(kAif, local);
    return written;
  }
};

std::vector<SoundCase> SoundCases() {
  std::vector<SoundCase> cases;
  for (uint16_t bits : {8, 16})
    for (uint16_t channels : {1, 2})
      for (uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u})
        cases.push_back({bits, channels, rate});
  return cases;
}

TEST_F(SoundPeers, SoxAndFfmpegFilesReadSampleForSample) {
  if (kFfmpeg.empty() || kSox.empty()) GTEST_SKIP() << "sox or ffmpeg missing";
  for (const SoundCase& c : SoundCases()) {
    SCOPED_TRACE(::testing::Message()
                 << c.bits << " bits, " << c.channels << " channels, " << c.rate << " Hz");
    const Bytes pcm = Noise(c, c.rate / 10 + 3);  // an odd number of frames
    const std::string raw = path("src.raw"), bySox = path("sox.aiff"), byFfmpeg = path("ff.aif");
    WriteBytes(raw, pcm);
    ASSERT_TRUE(Shell(kSox + SoxRaw(c) + raw + " " + bySox));
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y" + FfmpegRaw(c) + "-i " + raw + " -c:a " +
                      (c.bits == 8 ? "pcm_s8 " : "pcm_s16be ") + byFfmpeg));
    EXPECT_EQ(readAll(bySox), pcm) << "sox";
    EXPECT_EQ(readAll(byFfmpeg), pcm) << "ffmpeg";
  }
}

TEST_F(SoundPeers, SoxAndFfmpegReadOurFilesSampleForSample) {
  if (kFfmpeg.empty() || kSox.empty()) GTEST_SKIP() << "sox or ffmpeg missing";
  for (const SoundCase& c : SoundCases()) {
    SCOPED_TRACE(::testing::Message()
                 << c.bits << " bits, " << c.channels << " channels, " << c.rate << " Hz");
    const Bytes pcm = Noise(c, c.rate / 10 + 3);
    const std::string ours = path("ours.aif"), bySox = path("sox.raw"), byFfmpeg = path("ff.raw");
    ASSERT_TRUE(writeAll(ours, c, pcm));
    ASSERT_TRUE(Shell(kSox + " " + ours + SoxRaw(c) + bySox));
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + ours + FfmpegRaw(c) + byFfmpeg));
    EXPECT_EQ(ReadBytes(bySox), pcm) << "sox";
    EXPECT_EQ(ReadBytes(byFfmpeg), pcm) << "ffmpeg";
    // Both report the rate and the channels the header gives.
    const std::string info = path("info.txt");
    ASSERT_TRUE(Shell(kSox + " --i -r " + ours + " > " + info + " 2>&1; true"));
    const Bytes rate = ReadBytes(info);
    EXPECT_EQ(std::string(rate.begin(), rate.end()), std::to_string(c.rate) + "\n");
  }
}

}  // namespace
}  // namespace rastunes_test
