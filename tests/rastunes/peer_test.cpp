// Files exchanged with ffmpeg and ImageMagick. What they write in every variant they make,
// the module reads as they read it themselves (by the documented rules where a colour passes
// through a 6-bit palette, a 5-bit pixel or the grey ramp); what the module writes, they read
// pixel for pixel.
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
  };
  const std::string png = source(161, 91);
  for (const PeerVariant& v : variants) {
    SCOPED_TRACE(v.what);
    const std::string file = path(std::string("peer.") + v.extension);
    const std::string back = path("peer-back.png");
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + png + " " + v.makeArgs + " " + file));
    ASSERT_TRUE(Shell(kFfmpeg + " -v error -y -i " + file + " -pix_fmt rgb24 " + back));
    const auto ours = load(v.type, file);
    ASSERT_TRUE(ours);
    EXPECT_EQ(Mismatches(*ours, FromPng(back), v.rule), 0);
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
  };
  const std::string png = source(161, 91);
  for (const PeerVariant& v : variants) {
    SCOPED_TRACE(v.what);
    const std::string file = path(std::string("peer.") + v.extension);
    const std::string back = path("peer-back.png");
    ASSERT_TRUE(Shell(kConvert + " " + png + " " + v.makeArgs + " " + file));
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
  for (uint32_t type : {kPcx, kTarga}) {
    const std::string file = path(type == kPcx ? "ours.pcx" : "ours.tga");
    ASSERT_TRUE(save(type, picture, file));
    for (const std::string& reader : {kFfmpeg, kConvert}) {
      SCOPED_TRACE(file + " read by " + reader);
      const std::string back = path("ours-back.png");
      std::filesystem::remove(back);
      ASSERT_TRUE(Shell(reader == kFfmpeg
                            ? kFfmpeg + " -v error -y -i " + file + " -pix_fmt rgb24 " + back
                            : kConvert + " " + file + " PNG24:" + back));
      EXPECT_EQ(Mismatches(FromPng(back), picture, Rule::kExact), 0);
    }
  }
}

}  // namespace
}  // namespace rastunes_test
