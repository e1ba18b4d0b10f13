// The frame decoder: each frame of a video stream as a packed bitmap (header, palette, rows).
// Uncompressed bitmaps are handed on in their own depth (or converted to the one asked for);
// compressed frames go through libavcodec, decoding from the last key frame when a position is
// reached out of order.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

#include "avi_objects.hpp"
#include "fourcc_codecs.hpp"
#include "le_bytes.hpp"
#include "picture_convert.hpp"

using namespace kpl::avi;

namespace {

constexpr int32_t kMaxSide = 32768;
constexpr int64_t kMaxPixels = int64_t(1) << 28;

struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}  // namespace

struct AviFrameDecoder {
  AviStreamObject* stream = nullptr;  // one reference held
  FileStream* stored = nullptr;
  BITMAPINFOHEADER source{};
  std::vector<uint32_t> palette;  // the stream's colours, as libav wants them (0xAARRGGBB)
  int width = 0, height = 0;
  bool raw = false;  // uncompressed rows in the file

  int outBits = 24;
  AVPixelFormat outFormat = AV_PIX_FMT_BGR24;
  uint32_t outStride = 0;
  std::vector<uint8_t> bitmap;  // the packed bitmap handed out
  size_t pixelsAt = 0;
  int64_t current = -1;  // the sample whose picture the bitmap holds

  std::unique_ptr<AVCodecContext, CodecFreer> codec;
  std::unique_ptr<AVFrame, CodecFreer> frame{av_frame_alloc()};
  std::unique_ptr<AVPacket, CodecFreer> packet{av_packet_alloc()};
  int64_t decoded = -1;  // the last sample sent to the decoder
  bool hasPicture = false;
  PictureConverter converter;
  std::vector<uint8_t> sample;

  AviFrameDecoder() { registerLive(this); }
  ~AviFrameDecoder() {
    forgetLive(this);
    if (stream) stream->release();
  }

  bool open(const BITMAPINFOHEADER* wanted);
  void* frameAt(int64_t position);

 private:
  bool openCodec(const std::vector<uint8_t>& format);
  bool convertRaw();
  bool sendSample(int64_t index);
};

bool AviFrameDecoder::open(const BITMAPINFOHEADER* wanted) {
  quietCodecLog();
  const auto& format = stored->track().format;
  if (stored->track().info.fccType != streamtypeVIDEO || format.size() < 40) return false;
  std::memcpy(&source, format.data(), 40);
  width = source.biWidth;
  height = source.biHeight < 0 ? -source.biHeight : source.biHeight;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      int64_t(width) * height > kMaxPixels)
    return false;
  raw = source.biCompression == BI_RGB && dibPixelFormat(source.biBitCount) != AV_PIX_FMT_NONE;

  // The colour table after the header, for 8-bit pictures and the codecs that draw with one.
  if (source.biBitCount <= 8) {
    size_t colours = source.biClrUsed ? source.biClrUsed : size_t(1) << source.biBitCount;
    colours = std::min<size_t>({colours, 256, (format.size() - 40) / 4});
    palette.assign(256, 0xFF000000u);
    for (size_t i = 0; i < colours; ++i)
      palette[i] = le32(format.data() + 40 + 4 * i) | 0xFF000000u;
    if (!colours && source.biBitCount == 8)  // no table: a grey ramp
      for (uint32_t i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u | i << 16 | i << 8 | i;
  }

  outBits = raw ? source.biBitCount : 24;
  if (wanted) {
    if (wanted->biCompression != BI_RGB) return false;
    if (wanted->biBitCount == 8 && !(raw && source.biBitCount == 8)) return false;
    if (dibPixelFormat(wanted->biBitCount) == AV_PIX_FMT_NONE) return false;
    outBits = wanted->biBitCount;
  }
  outFormat = dibPixelFormat(outBits);
  outStride = dibStride(width, outBits);
  if (!raw && !openCodec(format)) return false;

  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = uint16_t(outBits);
  header.biSizeImage = outStride * uint32_t(height);
  header.biXPelsPerMeter = source.biXPelsPerMeter;
  header.biYPelsPerMeter = source.biYPelsPerMeter;
  const size_t paletteBytes = outBits == 8 ? 256 * 4 : 0;
  if (outBits == 8) header.biClrUsed = header.biClrImportant = 256;
  pixelsAt = 40 + paletteBytes;
  bitmap.assign(pixelsAt + header.biSizeImage, 0);
  std::memcpy(bitmap.data(), &header, 40);
  for (size_t i = 0; i < paletteBytes / 4; ++i)
    put32(bitmap.data() + 40 + 4 * i, palette[i] & 0xFFFFFF);
  return true;
}

bool AviFrameDecoder::openCodec(const std::vector<uint8_t>& format) {
  const AVCodec* decoder = avcodec_find_decoder(codecOfFourcc(source.biCompression));
  if (!decoder) return false;
  codec.reset(avcodec_alloc_context3(decoder));
  if (!codec || !frame || !packet) return false;
  codec->width = width;
  codec->height = height;
  codec->coded_width = width;
  codec->coded_height = height;
  codec->codec_tag = source.biCompression;
  codec->bits_per_coded_sample = source.biBitCount;
  codec->thread_count = 1;
  if (format.size() > 40) {
    const size_t bytes = format.size() - 40;
    codec->extradata = static_cast<uint8_t*>(av_mallocz(bytes + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->extradata) return false;
    std::memcpy(codec->extradata, format.data() + 40, bytes);
    codec->extradata_size = int(bytes);
  }
  return avcodec_open2(codec.get(), decoder, nullptr) == 0;
}

// Uncompressed rows: copied in their own depth, bottom row first, or converted.
bool AviFrameDecoder::convertRaw() {
  const uint32_t stride = dibStride(width, source.biBitCount);
  const size_t needed = size_t(stride) * size_t(height);
  // A short chunk reads as black beyond its end.
  if (sample.size() < needed) sample.resize(needed, 0);
  const bool topDown = source.biHeight < 0;
  if (outBits == source.biBitCount) {
    uint8_t* out = bitmap.data() + pixelsAt;
    if (!topDown) {
      std::memcpy(out, sample.data(), needed);
    } else {
      for (int y = 0; y < height; ++y)
        std::memcpy(out + size_t(y) * stride, sample.data() + size_t(height - 1 - y) * stride,
                    stride);
    }
    return true;
  }
  PictureView view;
  view.format = dibPixelFormat(source.biBitCount);
  view.width = width;
  view.height = height;
  view.data[0] = topDown ? sample.data() : sample.data() + size_t(stride) * (height - 1);
  view.linesize[0] = topDown ? int(stride) : -int(stride);
  view.data[1] = reinterpret_cast<const uint8_t*>(palette.data());
  return converter.toBitmapRows(view, outFormat, bitmap.data() + pixelsAt, outStride);
}

// Decodes sample `index` into the bitmap; false when it gives no picture. A dropped (empty)
// frame leaves the picture before it.
bool AviFrameDecoder::sendSample(int64_t index) {
  decoded = index;
  if (!stored->readSample(index, sample)) return false;
  if (sample.empty()) return hasPicture;
  sample.resize(sample.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  av_packet_unref(packet.get());
  packet->data = sample.data();
  packet->size = int(sample.size() - AV_INPUT_BUFFER_PADDING_SIZE);
  packet->flags = stored->track().isKey(index) ? AV_PKT_FLAG_KEY : 0;
  if (!palette.empty()) {
    uint8_t* side = av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
    if (side) std::memcpy(side, palette.data(), AVPALETTE_SIZE);
  }
  const int sent = avcodec_send_packet(codec.get(), packet.get());
  av_packet_unref(packet.get());
  if (sent < 0) return false;
  bool gotPicture = false;
  while (avcodec_receive_frame(codec.get(), frame.get()) == 0) {
    if (frame->width == width && frame->height == height) {
      PictureView view;
      view.format = AVPixelFormat(frame->format);
      view.width = width;
      view.height = height;
      for (int i = 0; i < 4; ++i) {
        view.data[i] = frame->data[i];
        view.linesize[i] = frame->linesize[i];
      }
      gotPicture = converter.toBitmapRows(view, outFormat, bitmap.data() + pixelsAt, outStride);
      hasPicture = hasPicture || gotPicture;
    }
    av_frame_unref(frame.get());
  }
  return gotPicture;
}

void* AviFrameDecoder::frameAt(int64_t position) {
  const int64_t index = position - stored->start();
  if (index < 0 || index >= stored->track().length()) return nullptr;
  if (index == current) return bitmap.data();
  if (raw) {
    // Rows stored as they are handed out go straight from the file into the bitmap.
    if (outBits == source.biBitCount && source.biHeight > 0 &&
        stored->readSampleInto(index, bitmap.data() + pixelsAt, bitmap.size() - pixelsAt)) {
      current = index;
      return bitmap.data();
    }
    if (!stored->readSample(index, sample)) return nullptr;
    if (sample.empty() && current >= 0) {
      current = index;  // a dropped frame repeats the one before
      return bitmap.data();
    }
    if (!convertRaw()) return nullptr;
    current = index;
    return bitmap.data();
  }
  // Decode forward from the key frame before `index`, unless the decoder is already on the way.
  int64_t from = decoded + 1;
  if (decoded < 0 || index <= decoded || stored->track().keyAtOrBefore(index) > decoded) {
    from = std::max<int64_t>(stored->track().keyAtOrBefore(index), 0);
    avcodec_flush_buffers(codec.get());
  }
  current = -1;
  for (int64_t i = from; i < index; ++i)
    sendSample(i);
  if (!sendSample(index)) return nullptr;
  current = index;
  return bitmap.data();
}

extern "C" {

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted) {
  try {
    std::lock_guard guard(serviceLock());
    if (!isLive(stream) || !stream->stored()) return nullptr;
    auto decoder = std::make_unique<AviFrameDecoder>();
    stream->addRef();
    decoder->stream = stream;
    decoder->stored = stream->stored();
    if (!decoder->open(wanted)) return nullptr;
    return decoder.release();
  } catch (...) {
    return nullptr;
  }
}

void* AVIStreamGetFrame(PGETFRAME decoder, int32_t position) {
  try {
    std::lock_guard guard(serviceLock());
    if (!isLive(decoder)) return nullptr;
    return decoder->frameAt(position);
  } catch (...) {
    return nullptr;
  }
}

HRESULT AVIStreamGetFrameClose(PGETFRAME decoder) {
  try {
    std::lock_guard guard(serviceLock());
    if (!isLive(decoder)) return AVIERR_BADHANDLE;
    std::unique_ptr<AviFrameDecoder> owned(decoder);
    return AVIERR_OK;
  } catch (...) {
    return AVIERR_INTERNAL;
  }
}

}  // extern "C"
