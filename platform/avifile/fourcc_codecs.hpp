#pragma once
// Video codecs by the four-character code that names them in a bitmap header.
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace kpl::avi {

// AV_CODEC_ID_NONE for a code libavcodec has no decoder family for.
AVCodecID codecOfFourcc(uint32_t fourcc);

}  // namespace kpl::avi
