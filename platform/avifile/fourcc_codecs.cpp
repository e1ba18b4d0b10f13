#include "fourcc_codecs.hpp"

#include <cctype>

namespace kpl::avi {

namespace {

struct Tag {
  char code[5];
  AVCodecID codec;
};

// Codes as they appear in files; the lookup also tries the upper-case form.
constexpr Tag kTags[] = {
    {"CVID", AV_CODEC_ID_CINEPAK},    {"MSVC", AV_CODEC_ID_MSVIDEO1},
    {"CRAM", AV_CODEC_ID_MSVIDEO1},   {"WHAM", AV_CODEC_ID_MSVIDEO1},
    {"MJPG", AV_CODEC_ID_MJPEG},      {"AVRN", AV_CODEC_ID_MJPEG},
    {"JPGL", AV_CODEC_ID_MJPEG},      {"DMB1", AV_CODEC_ID_MJPEG},
    {"LJPG", AV_CODEC_ID_MJPEG},      {"IJPG", AV_CODEC_ID_MJPEG},
    {"JPEG", AV_CODEC_ID_MJPEG},      {"MRLE", AV_CODEC_ID_MSRLE},
    {"IV31", AV_CODEC_ID_INDEO3},     {"IV32", AV_CODEC_ID_INDEO3},
    {"IV41", AV_CODEC_ID_INDEO4},     {"IV50", AV_CODEC_ID_INDEO5},
    {"XVID", AV_CODEC_ID_MPEG4},      {"DIVX", AV_CODEC_ID_MPEG4},
    {"DX50", AV_CODEC_ID_MPEG4},      {"FMP4", AV_CODEC_ID_MPEG4},
    {"MP4V", AV_CODEC_ID_MPEG4},      {"MP4S", AV_CODEC_ID_MPEG4},
    {"M4S2", AV_CODEC_ID_MPEG4},      {"3IV2", AV_CODEC_ID_MPEG4},
    {"DIV3", AV_CODEC_ID_MSMPEG4V3},  {"MP43", AV_CODEC_ID_MSMPEG4V3},
    {"DIV4", AV_CODEC_ID_MSMPEG4V3},  {"MP42", AV_CODEC_ID_MSMPEG4V2},
    {"DIV2", AV_CODEC_ID_MSMPEG4V2},  {"MPG4", AV_CODEC_ID_MSMPEG4V1},
    {"WMV1", AV_CODEC_ID_WMV1},       {"WMV2", AV_CODEC_ID_WMV2},
    {"WMV3", AV_CODEC_ID_WMV3},       {"H264", AV_CODEC_ID_H264},
    {"X264", AV_CODEC_ID_H264},       {"AVC1", AV_CODEC_ID_H264},
    {"DAVC", AV_CODEC_ID_H264},       {"HEVC", AV_CODEC_ID_HEVC},
    {"H265", AV_CODEC_ID_HEVC},       {"H263", AV_CODEC_ID_H263},
    {"U263", AV_CODEC_ID_H263},       {"MPG1", AV_CODEC_ID_MPEG1VIDEO},
    {"MPG2", AV_CODEC_ID_MPEG2VIDEO}, {"MPEG", AV_CODEC_ID_MPEG2VIDEO},
    {"HFYU", AV_CODEC_ID_HUFFYUV},    {"FFVH", AV_CODEC_ID_FFVHUFF},
    {"FFV1", AV_CODEC_ID_FFV1},       {"TSCC", AV_CODEC_ID_TSCC},
    {"ZLIB", AV_CODEC_ID_ZLIB},       {"MSZH", AV_CODEC_ID_MSZH},
    {"MPNG", AV_CODEC_ID_PNG},        {"PNG ", AV_CODEC_ID_PNG},
    {"LAGS", AV_CODEC_ID_LAGARITH},   {"ULRG", AV_CODEC_ID_UTVIDEO},
    {"ULRA", AV_CODEC_ID_UTVIDEO},    {"ULY0", AV_CODEC_ID_UTVIDEO},
    {"ULY2", AV_CODEC_ID_UTVIDEO},    {"ULY4", AV_CODEC_ID_UTVIDEO},
    {"ULH0", AV_CODEC_ID_UTVIDEO},    {"ULH2", AV_CODEC_ID_UTVIDEO},
    {"VP80", AV_CODEC_ID_VP8},        {"VP90", AV_CODEC_ID_VP9},
    {"DVSD", AV_CODEC_ID_DVVIDEO},    {"CDVC", AV_CODEC_ID_DVVIDEO},
    {"SNOW", AV_CODEC_ID_SNOW},       {"ASV1", AV_CODEC_ID_ASV1},
    {"ASV2", AV_CODEC_ID_ASV2},       {"VCR1", AV_CODEC_ID_VCR1},
    {"CLJR", AV_CODEC_ID_CLJR},       {"RPZA", AV_CODEC_ID_RPZA},
    {"SMC ", AV_CODEC_ID_SMC},        {"CSCD", AV_CODEC_ID_CSCD},
    {"ZMBV", AV_CODEC_ID_ZMBV},       {"FPS1", AV_CODEC_ID_FRAPS},
    {"QPEG", AV_CODEC_ID_QPEG},       {"VP31", AV_CODEC_ID_VP3},
    {"VP60", AV_CODEC_ID_VP6},        {"VP61", AV_CODEC_ID_VP6},
    {"AASC", AV_CODEC_ID_AASC},       {"LOCO", AV_CODEC_ID_LOCO},
    {"WNV1", AV_CODEC_ID_WNV1},       {"KMVC", AV_CODEC_ID_KMVC},
    {"8BPS", AV_CODEC_ID_8BPS},       {"ULTI", AV_CODEC_ID_ULTI},
    {"VIXL", AV_CODEC_ID_VIXL},       {"CAVS", AV_CODEC_ID_CAVS},
    {"DXTA", AV_CODEC_ID_DXV},        {"MAGY", AV_CODEC_ID_MAGICYUV},
    {"YUY2", AV_CODEC_ID_RAWVIDEO},   {"UYVY", AV_CODEC_ID_RAWVIDEO},
    {"I420", AV_CODEC_ID_RAWVIDEO},   {"IYUV", AV_CODEC_ID_RAWVIDEO},
    {"YV12", AV_CODEC_ID_RAWVIDEO},   {"Y800", AV_CODEC_ID_RAWVIDEO},
    {"YVYU", AV_CODEC_ID_RAWVIDEO},   {"NV12", AV_CODEC_ID_RAWVIDEO},
};

}  // namespace

AVCodecID codecOfFourcc(uint32_t fourcc) {
  // Bitmap compression numbers of the run-length codings.
  if (fourcc == 1 || fourcc == 2) return AV_CODEC_ID_MSRLE;
  char code[4];
  for (int i = 0; i < 4; ++i)
    code[i] = char(std::toupper(int((fourcc >> (8 * i)) & 0xFF)));
  for (const auto& tag : kTags)
    if (code[0] == tag.code[0] && code[1] == tag.code[1] && code[2] == tag.code[2] &&
        code[3] == tag.code[3])
      return tag.codec;
  return AV_CODEC_ID_NONE;
}

}  // namespace kpl::avi
