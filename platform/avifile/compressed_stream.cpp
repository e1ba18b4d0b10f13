// A stream that compresses the uncompressed frames written to it through a libavcodec encoder
// and writes the result into a video stream of a file being written. Without a compressor
// ("DIB " or 0) the frames pass through unchanged.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include "avi_objects.hpp"
#include "fourcc_codecs.hpp"
#include "picture_convert.hpp"

using namespace kpl::avi;

namespace {

constexpr FOURCC kNoCompression = mmioFOURCC('D', 'I', 'B', ' ');
constexpr uint32_t kDefaultQuality = 0xFFFFFFFF;

struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

bool compresses(FOURCC handler) {
  return handler && handler != kNoCompression;
}

const AVCodec* encoderFor(FOURCC handler) {
  const AVCodecID id = codecOfFourcc(handler);
  return id == AV_CODEC_ID_NONE || id == AV_CODEC_ID_RAWVIDEO ? nullptr : avcodec_find_encoder(id);
}

class CompressedStream final : public AviStreamObject {
 public:
  CompressedStream(FileStream& target, const AVICOMPRESSOPTIONS& options)
      : target_(target), options_(options) {
    registerLive(this);
    target_.addRef();
  }
  ~CompressedStream() override {
    forgetLive(this);
    target_.release();
  }

  uint32_t addRef() override { return ++refs; }
  uint32_t release() override {
    if (refs == 0) return 0;
    if (--refs) return refs;
    drain(nullptr);
    std::unique_ptr<CompressedStream> owned(this);
    return 0;
  }
  AVISTREAMINFOA info() const override {
    AVISTREAMINFOA info = target_.info();
    if (compresses(options_.fccHandler)) info.fccHandler = options_.fccHandler;
    return info;
  }
  int32_t start() const override { return target_.start(); }
  int32_t length() const override { return target_.length(); }
  bool isKeyFrame(int32_t position) const override { return target_.isKeyFrame(position); }
  FileStream* stored() override { return &target_; }

  HRESULT setFormat(int32_t position, const void* format, int32_t bytes) override;
  HRESULT readFormat(int32_t position, void* format, int32_t* bytes) override {
    if (input_.empty()) return target_.readFormat(position, format, bytes);
    if (!bytes) return AVIERR_BADPARAM;
    const int32_t size = int32_t(input_.size());
    if (format) {
      if (*bytes < 0) return AVIERR_BADPARAM;
      std::memcpy(format, input_.data(), size_t(std::min(*bytes, size)));
      if (*bytes < size) {
        *bytes = size;
        return AVIERR_BUFFERTOOSMALL;
      }
    }
    *bytes = size;
    return AVIERR_OK;
  }
  HRESULT read(int32_t, int32_t, void*, int32_t, int32_t* bytesRead,
               int32_t* samplesRead) override {
    if (bytesRead) *bytesRead = 0;
    if (samplesRead) *samplesRead = 0;
    return AVIERR_UNSUPPORTED;  // frames go in uncompressed and are read back decoded
  }
  HRESULT write(int32_t start, int32_t samples, const void* buffer, int32_t bufferBytes,
                uint32_t flags, int32_t* samplesWritten, int32_t* bytesWritten) override;

 private:
  HRESULT openEncoder();
  HRESULT drain(const AVFrame* frame);

  FileStream& target_;
  AVICOMPRESSOPTIONS options_;
  std::vector<uint8_t> input_;  // the uncompressed format frames arrive in
  BITMAPINFOHEADER header_{};
  std::vector<uint32_t> palette_;
  std::unique_ptr<AVCodecContext, CodecFreer> codec_;
  std::unique_ptr<AVFrame, CodecFreer> frame_;
  std::unique_ptr<AVPacket, CodecFreer> packet_;
  PictureConverter converter_;
  int64_t frames_ = 0;
  int frameQuality_ = 0;  // per-frame quality the encoder reads, 0 for its default
};

HRESULT CompressedStream::setFormat(int32_t position, const void* format, int32_t bytes) {
  if (!format || bytes < 40) return AVIERR_BADPARAM;
  if (!compresses(options_.fccHandler)) {
    HRESULT result = target_.setFormat(position, format, bytes);
    if (result == AVIERR_OK)
      input_.assign(static_cast<const uint8_t*>(format),
                    static_cast<const uint8_t*>(format) + bytes);
    return result;
  }
  if (codec_) return AVIERR_UNSUPPORTED;  // the encoder is running in the first format
  BITMAPINFOHEADER header;
  std::memcpy(&header, format, 40);
  const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (header.biCompression != BI_RGB || dibPixelFormat(header.biBitCount) == AV_PIX_FMT_NONE ||
      header.biWidth <= 0 || height <= 0 || header.biWidth > 32768 || height > 32768)
    return AVIERR_BADFORMAT;
  header_ = header;
  input_.assign(static_cast<const uint8_t*>(format), static_cast<const uint8_t*>(format) + bytes);
  palette_.assign(256, 0xFF000000u);
  if (header.biBitCount == 8) {
    const size_t colours = std::min<size_t>((size_t(bytes) - 40) / 4, 256);
    for (size_t i = 0; i < colours; ++i) {
      uint32_t entry;
      std::memcpy(&entry, static_cast<const uint8_t*>(format) + 40 + 4 * i, 4);
      palette_[i] = entry | 0xFF000000u;
    }
  }
  return openEncoder();
}

HRESULT CompressedStream::openEncoder() {
  quietCodecLog();
  const AVCodec* encoder = encoderFor(options_.fccHandler);
  if (!encoder) return AVIERR_NOCOMPRESSOR;
  std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(encoder));
  frame_.reset(av_frame_alloc());
  packet_.reset(av_packet_alloc());
  if (!codec || !frame_ || !packet_) return AVIERR_MEMORY;
  const int width = header_.biWidth;
  const int height = header_.biHeight < 0 ? -header_.biHeight : header_.biHeight;
  codec->width = width;
  codec->height = height;
  const AVISTREAMINFOA info = target_.info();
  codec->time_base = info.dwRate && info.dwScale
                         ? AVRational{int(std::min<uint32_t>(info.dwScale, INT_MAX)),
                                      int(std::min<uint32_t>(info.dwRate, INT_MAX))}
                         : AVRational{1, 25};
  codec->thread_count = 1;
  // The encoder's first pixel format that keeps the most of the input.
  const enum AVPixelFormat* formats = encoder->pix_fmts;
  codec->pix_fmt = formats
                       ? avcodec_find_best_pix_fmt_of_list(formats, AV_PIX_FMT_BGR24, 0, nullptr)
                       : AV_PIX_FMT_BGR24;
  // Motion JPEG in 4:2:0, the form players expect of it.
  if (encoder->id == AV_CODEC_ID_MJPEG) codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
  if (codec->pix_fmt == AV_PIX_FMT_NONE) return AVIERR_NOCOMPRESSOR;
  if (codec->pix_fmt == AV_PIX_FMT_YUVJ420P || codec->pix_fmt == AV_PIX_FMT_YUVJ422P ||
      codec->pix_fmt == AV_PIX_FMT_YUVJ444P)
    codec->color_range = AVCOL_RANGE_JPEG;

  // Key frames every so many frames; -1 (the options' "every") makes every frame one, 0 only
  // the first.
  int every = INT_MAX / 2;
  if (options_.dwFlags & AVICOMPRESSF_KEYFRAMES) {
    const int32_t wanted = int32_t(options_.dwKeyFrameEvery);
    if (wanted == -1 || wanted == 1)
      every = 1;
    else if (wanted > 1)
      every = wanted;
  }
  codec->gop_size = every;
  // Microsoft Video 1 counts the frames after a key frame up to the minimum, one more.
  codec->keyint_min = encoder->id == AV_CODEC_ID_MSVIDEO1 ? every - 1 : every;

  const uint32_t quality = options_.dwQuality;
  const bool qualityGiven = quality != kDefaultQuality && quality <= 10000;
  if (encoder->id == AV_CODEC_ID_CINEPAK) {
    // Cinepak weighs size against distortion by a lambda: quality 5000 gives its default.
    if (qualityGiven)
      frameQuality_ = 1 + int(int64_t(10000 - quality) * 4 * FF_LAMBDA_SCALE / 10000);
  } else if (qualityGiven) {
    // 10000 is the best the compressor can do: the smallest quantiser or the least distortion
    // weight.
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    const int qscale = 31 - int(quality * 30 / 10000);
    codec->global_quality = FF_QP2LAMBDA * qscale;
    frameQuality_ = codec->global_quality;
  } else if ((options_.dwFlags & AVICOMPRESSF_DATARATE) && options_.dwBytesPerSecond) {
    codec->bit_rate = int64_t(options_.dwBytesPerSecond) * 8;
    codec->rc_max_rate = codec->bit_rate;
    codec->rc_buffer_size = int(std::min<int64_t>(codec->bit_rate, INT_MAX));
  } else {
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = FF_QP2LAMBDA * 3;
    frameQuality_ = codec->global_quality;
  }
  if (avcodec_open2(codec.get(), encoder, nullptr) < 0) return AVIERR_COMPRESSOR;

  frame_->format = codec->pix_fmt;
  frame_->width = width;
  frame_->height = height;
  if (av_frame_get_buffer(frame_.get(), 0) < 0) return AVIERR_MEMORY;

  // The file's stream carries the compressed frames: its format names the compressor.
  BITMAPINFOHEADER compressed{};
  compressed.biSize = 40;
  compressed.biWidth = width;
  compressed.biHeight = height;
  compressed.biPlanes = 1;
  compressed.biBitCount =
      uint16_t(codec->bits_per_coded_sample > 0 ? codec->bits_per_coded_sample : 24);
  compressed.biCompression = options_.fccHandler;
  compressed.biSizeImage = uint32_t(width) * uint32_t(height) * 3;
  std::vector<uint8_t> format(40);
  std::memcpy(format.data(), &compressed, 40);
  if (codec->extradata_size > 0)
    format.insert(format.end(), codec->extradata, codec->extradata + codec->extradata_size);
  if (HRESULT result = target_.setFormat(0, format.data(), int32_t(format.size()));
      result != AVIERR_OK)
    return result;
  target_.setHandler(options_.fccHandler);
  if (qualityGiven) target_.track().info.dwQuality = quality;
  codec_ = std::move(codec);
  return AVIERR_OK;
}

// Sends one frame (or, with null, the end) and writes every packet the encoder gives.
HRESULT CompressedStream::drain(const AVFrame* frame) {
  if (!codec_) return AVIERR_OK;
  if (!frame && !(codec_->codec->capabilities & AV_CODEC_CAP_DELAY)) return AVIERR_OK;
  if (avcodec_send_frame(codec_.get(), frame) < 0) return AVIERR_COMPRESSOR;
  HRESULT result = AVIERR_OK;
  for (;;) {
    const int got = avcodec_receive_packet(codec_.get(), packet_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
    if (got < 0) return AVIERR_COMPRESSOR;
    const uint32_t flags = packet_->flags & AV_PKT_FLAG_KEY ? AVIIF_KEYFRAME : 0;
    if (result == AVIERR_OK)
      result = target_.write(-1, 1, packet_->data, packet_->size, flags, nullptr, nullptr);
    av_packet_unref(packet_.get());
  }
  return result;
}

HRESULT CompressedStream::write(int32_t start, int32_t samples, const void* buffer,
                                int32_t bufferBytes, uint32_t flags, int32_t* samplesWritten,
                                int32_t* bytesWritten) {
  if (samplesWritten) *samplesWritten = 0;
  if (bytesWritten) *bytesWritten = 0;
  if (!compresses(options_.fccHandler))
    return target_.write(start, samples, buffer, bufferBytes, flags, samplesWritten, bytesWritten);
  if (!codec_) return AVIERR_BADFORMAT;  // no format set yet
  if (samples != 1 || !buffer || bufferBytes < 0) return AVIERR_BADPARAM;
  if (start != -1 && start != target_.start() + target_.length()) return AVIERR_BADPARAM;
  const int width = codec_->width, height = codec_->height;
  const uint32_t stride = dibStride(width, header_.biBitCount);
  if (uint64_t(bufferBytes) < uint64_t(stride) * uint64_t(height)) return AVIERR_BADSIZE;
  if (av_frame_make_writable(frame_.get()) < 0) return AVIERR_MEMORY;
  const bool converted =
      converter_.fromBitmapRows(static_cast<const uint8_t*>(buffer), stride, header_.biHeight < 0,
                                dibPixelFormat(header_.biBitCount), palette_.data(), width, height,
                                codec_->pix_fmt, frame_->data, frame_->linesize);
  if (!converted) return AVIERR_COMPRESSOR;
  frame_->pts = frames_++;
  frame_->quality = frameQuality_;
  frame_->key_frame = 0;
  frame_->pict_type = AV_PICTURE_TYPE_NONE;
  const int32_t before = target_.length();
  HRESULT result = drain(frame_.get());
  if (result != AVIERR_OK) return result;
  if (samplesWritten) *samplesWritten = target_.length() - before;
  if (bytesWritten) *bytesWritten = bufferBytes;
  return AVIERR_OK;
}

}  // namespace

extern "C" HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source,
                                           const AVICOMPRESSOPTIONS* options, const void*) {
  if (!compressed) return AVIERR_BADPARAM;
  *compressed = nullptr;
  if (!options) return AVIERR_BADPARAM;
  try {
    std::lock_guard guard(serviceLock());
    if (!isLive(source) || !source->stored()) return AVIERR_BADHANDLE;
    FileStream& target = *source->stored();
    if (!target.file().writer) return AVIERR_READONLY;
    if (target.info().fccType != streamtypeVIDEO) return AVIERR_UNSUPPORTED;
    if (compresses(options->fccHandler) && !encoderFor(options->fccHandler))
      return AVIERR_NOCOMPRESSOR;
    auto stream = std::make_unique<CompressedStream>(target, *options);
    stream->addRef();
    *compressed = stream.release();
    return AVIERR_OK;
  } catch (...) {
    return AVIERR_MEMORY;
  }
}
