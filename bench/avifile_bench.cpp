// The AVI file services beside libav in the same run, on 1920 x 1080 frames of 24 bits:
//   write: 100 uncompressed frames into an AVI file   vs  libavformat's AVI muxer
//   read:  the same 100 frames back, as samples        vs  libavformat's av_read_frame
//          and as packed bitmaps from the frame decoder
//   cinepak: frames through a compressed stream into a file  vs  avcodec_send_frame /
//          avcodec_receive_packet on the same frames (a 1080p cinepak frame takes seconds, so
//          this figure uses a few frames, not 100)
// Files go to the temporary folder and are served from and to the page cache on both sides.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kpl/platform/avifile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 100;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3;

std::string Scratch(const std::string& name) {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("avifile-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return (dir / name).string();
}

// A few distinct frames, bottom row first, cycled through the clip.
const std::vector<std::vector<uint8_t>>& Frames() {
  static const auto frames = [] {
    std::vector<std::vector<uint8_t>> out(4, std::vector<uint8_t>(kFrameBytes));
    for (size_t f = 0; f < out.size(); ++f)
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          uint8_t* p = &out[f][(size_t(y) * kWidth + x) * 3];
          p[0] = uint8_t(x * 255 / kWidth + f * 9);
          p[1] = uint8_t(y < kHeight / 2 ? (x / 120) * 16 : (x ^ y));
          p[2] = uint8_t((y + f * 4) & 0xFF);
        }
    return out;
  }();
  return frames;
}

BITMAPINFOHEADER Header() {
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = kWidth;
  header.biHeight = kHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = uint32_t(kFrameBytes);
  return header;
}

AVISTREAMINFOA VideoInfo() {
  AVISTREAMINFOA info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, kWidth, kHeight};
  return info;
}

// Writes `count` frames through our services, compressed with `handler` when it is not 0.
bool WriteOurs(const std::string& path, int count, FOURCC handler) {
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK) return false;
  PAVISTREAM video = nullptr, target = nullptr;
  AVISTREAMINFOA info = VideoInfo();
  bool ok = AVIFileCreateStreamA(file, &video, &info) == AVIERR_OK;
  if (ok && handler) {
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = handler;
    options.dwQuality = 0xFFFFFFFF;
    options.dwFlags = AVICOMPRESSF_VALID;
    ok = AVIMakeCompressedStream(&target, video, &options, nullptr) == AVIERR_OK;
  }
  PAVISTREAM frames = target ? target : video;
  const BITMAPINFOHEADER header = Header();
  ok = ok && AVIStreamSetFormat(frames, 0, &header, sizeof header) == AVIERR_OK;
  for (int n = 0; ok && n < count; ++n) {
    const auto& pixels = Frames()[size_t(n) % Frames().size()];
    ok = AVIStreamWrite(frames, n, 1, pixels.data(), int32_t(pixels.size()), AVIIF_KEYFRAME,
                        nullptr, nullptr) == AVIERR_OK;
  }
  if (target) AVIStreamRelease(target);
  if (video) AVIStreamRelease(video);
  AVIFileRelease(file);
  return ok;
}

void BM_WriteOurs(benchmark::State& state) {
  const std::string path = Scratch("ours.avi");
  for (auto _ : state)
    if (!WriteOurs(path, kFrames, 0)) state.SkipWithError("write failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kFrameBytes));
}

void BM_WriteLibavformat(benchmark::State& state) {
  const std::string path = Scratch("libav.avi");
  for (auto _ : state) {
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "avi", path.c_str()) < 0) {
      state.SkipWithError("no muxer");
      break;
    }
    AVStream* stream = avformat_new_stream(output, nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    stream->codecpar->format = AV_PIX_FMT_BGR24;
    stream->codecpar->width = kWidth;
    stream->codecpar->height = kHeight;
    stream->codecpar->bits_per_coded_sample = 24;
    stream->time_base = {1, 25};
    bool ok = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
              avformat_write_header(output, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    for (int n = 0; ok && n < kFrames; ++n) {
      auto& pixels = Frames()[size_t(n) % Frames().size()];
      packet->data = const_cast<uint8_t*>(pixels.data());
      packet->size = int(pixels.size());
      packet->stream_index = 0;
      packet->pts = packet->dts = n;
      packet->duration = 1;
      packet->flags = AV_PKT_FLAG_KEY;
      av_packet_rescale_ts(packet, {1, 25}, stream->time_base);
      ok = av_write_frame(output, packet) >= 0;
    }
    av_packet_free(&packet);
    if (ok) av_write_trailer(output);
    avio_closep(&output->pb);
    avformat_free_context(output);
    if (!ok) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kFrameBytes));
}

// The clip both readers read: written once through our services.
const std::string& ReadClip() {
  static const std::string path = [] {
    std::string p = Scratch("read.avi");
    WriteOurs(p, kFrames, 0);
    return p;
  }();
  return path;
}

void BM_ReadOursSamples(benchmark::State& state) {
  std::vector<uint8_t> buffer(kFrameBytes);
  for (auto _ : state) {
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, ReadClip().c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) !=
        AVIERR_OK) {
      state.SkipWithError("open failed");
      break;
    }
    PAVISTREAM video = nullptr;
    AVIFileGetStream(file, &video, streamtypeVIDEO, 0);
    for (int n = 0; n < kFrames; ++n) {
      int32_t bytes = 0;
      if (AVIStreamRead(video, n, 1, buffer.data(), int32_t(buffer.size()), &bytes, nullptr) !=
          AVIERR_OK)
        state.SkipWithError("read failed");
      benchmark::DoNotOptimize(buffer.data());
    }
    AVIStreamRelease(video);
    AVIFileRelease(file);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kFrameBytes));
}

void BM_ReadOursDecodedFrames(benchmark::State& state) {
  for (auto _ : state) {
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, ReadClip().c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr) !=
        AVIERR_OK) {
      state.SkipWithError("open failed");
      break;
    }
    PAVISTREAM video = nullptr;
    AVIFileGetStream(file, &video, streamtypeVIDEO, 0);
    PGETFRAME decoder = AVIStreamGetFrameOpen(video, nullptr);
    for (int n = 0; n < kFrames; ++n) {
      void* bitmap = AVIStreamGetFrame(decoder, n);
      if (!bitmap) state.SkipWithError("decode failed");
      benchmark::DoNotOptimize(bitmap);
    }
    AVIStreamGetFrameClose(decoder);
    AVIStreamRelease(video);
    AVIFileRelease(file);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kFrameBytes));
}

void BM_ReadLibavformat(benchmark::State& state) {
  for (auto _ : state) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, ReadClip().c_str(), nullptr, nullptr) < 0) {
      state.SkipWithError("open failed");
      break;
    }
    AVPacket* packet = av_packet_alloc();
    int frames = 0;
    while (av_read_frame(input, packet) >= 0) {
      benchmark::DoNotOptimize(packet->data);
      ++frames;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    if (frames != kFrames) state.SkipWithError("frames missing");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * int64_t(kFrameBytes));
}

void BM_CinepakOurs(benchmark::State& state) {
  const int count = int(state.range(0));
  const std::string path = Scratch("cinepak.avi");
  for (auto _ : state)
    if (!WriteOurs(path, count, mmioFOURCC('c', 'v', 'i', 'd')))
      state.SkipWithError("write failed");
  state.counters["frames"] = count;
}

// libavcodec's cinepak encoder called directly on the same frames, already in its own pixel
// format (our side converts them from bottom-up BGR rows as part of its figure).
void BM_CinepakLibavcodec(benchmark::State& state) {
  const int count = int(state.range(0));
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_CINEPAK);
  std::vector<AVFrame*> frames;
  SwsContext* convert = sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGR24, kWidth, kHeight,
                                       AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
  for (const auto& pixels : Frames()) {
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_RGB24;
    frame->width = kWidth;
    frame->height = kHeight;
    av_frame_get_buffer(frame, 0);
    const uint8_t* source[4] = {pixels.data() + (kHeight - 1) * size_t(kWidth) * 3};
    const int strides[4] = {-kWidth * 3};
    sws_scale(convert, source, strides, 0, kHeight, frame->data, frame->linesize);
    frames.push_back(frame);
  }
  sws_freeContext(convert);
  AVPacket* packet = av_packet_alloc();
  for (auto _ : state) {
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    codec->width = kWidth;
    codec->height = kHeight;
    codec->pix_fmt = AV_PIX_FMT_RGB24;
    codec->time_base = {1, 25};
    codec->thread_count = 1;
    if (avcodec_open2(codec, encoder, nullptr) < 0) {
      state.SkipWithError("encoder failed");
      avcodec_free_context(&codec);
      break;
    }
    for (int n = 0; n < count; ++n) {
      AVFrame* frame = frames[size_t(n) % frames.size()];
      frame->pts = n;
      avcodec_send_frame(codec, frame);
      while (avcodec_receive_packet(codec, packet) == 0) {
        benchmark::DoNotOptimize(packet->data);
        av_packet_unref(packet);
      }
    }
    avcodec_free_context(&codec);
  }
  av_packet_free(&packet);
  for (AVFrame* frame : frames)
    av_frame_free(&frame);
  state.counters["frames"] = count;
}

BENCHMARK(BM_WriteOurs)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5);
BENCHMARK(BM_WriteLibavformat)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5);
BENCHMARK(BM_ReadOursSamples)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_ReadOursDecodedFrames)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_ReadLibavformat)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_CinepakOurs)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_CinepakLibavcodec)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(Scratch("x")).parent_path(), ignored);
  return 0;
}
