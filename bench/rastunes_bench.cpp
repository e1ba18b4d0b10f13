// PCX, Targa, SGI and Alias pictures of 1920 x 1080 through the module's exports, each beside
// libavcodec's own decoder or encoder for the same file in the same run. Both sides go from a
// file to a decoded picture, or from a picture in memory to a file, so each figure includes
// the same file reads or writes (served from and to the page cache).
//   decode: piLocalLoadData mode 1 (+ piLocalGetData)  vs  read file + avcodec decode
//   encode: piLocalSaveData mode 0                      vs  avcodec encode + write file
// AIFF sound, one minute of 16-bit stereo at 44100, beside libsndfile reading or writing the
// same file in blocks of one second, both into or from little-endian samples in memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "kpl/support/tessal_plug.hpp"
#include "module_loader.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr uint32_t kPcx = 0, kTarga = 1, kAlias = 2, kSgi = 4, kAiff = 8;

kplhost::Module& Rastunes() {
  static kplhost::Module module(std::string(KPL_BIN_DIR) + "/rastunes.kpl");
  return module;
}

std::string Scratch(const std::string& name) {
  static const std::filesystem::path dir = [] {
    auto d =
        std::filesystem::temp_directory_path() / ("rastunes-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return (dir / name).string();
}

// A picture like a video frame: flat areas (long runs), gradients and fine detail.
kpl::OwnedBlock TestFrame() {
  kpl::OwnedBlock frame(kpl::NewFrame24(kWidth, kHeight));
  kpl::BlockLock lock(frame.get());
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      uint32_t colour;
      if (y < kHeight / 3)
        colour = kpl::ColourValue(uint8_t((x / 240) * 36), uint8_t(200 - (x / 240) * 20), 90);
      else if (y < 2 * kHeight / 3)
        colour = kpl::ColourValue(uint8_t(x * 255 / kWidth), uint8_t(y & 0xFF), uint8_t(x ^ y));
      else
        colour = kpl::ColourValue(uint8_t((x * 7 + y * 3) & 0xFF), uint8_t((x * y) >> 4), 40);
      kpl::WritePixel24(lock.get(), x, y, colour);
    }
  return frame;
}

bool SaveWithModule(uint32_t type, const void* frame, const std::string& path) {
  kplhost::Module& m = Rastunes();
  const uint32_t local = m.piLocalInit(type, 0);
  kpl::FormatRecord format{};
  format.flags = 1;
  format.frameCount = 1;
  std::memcpy(&format.video, frame, 40);
  m.piLocalSetFormat(type, local, &format);
  m.piLocalSetData(type, local, const_cast<void*>(frame), 0, nullptr, 0);
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  const bool saved = m.piLocalSaveData(type, local, 0, name.data()) == -1;
  m.piLocalDone(type, local);
  return saved;
}

// The files both decoders read: the module's own (PCX 24-bit, Targa uncompressed) and a
// run-length Targa from libavcodec's encoder.
struct Files {
  std::string pcx, targa, targaRle, sgi, sgiRle, alias;
};

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecDeleter>;

Codec OpenEncoder(AVCodecID id, AVPixelFormat format, bool rle) {
  Codec c(avcodec_alloc_context3(avcodec_find_encoder(id)));
  c->width = kWidth;
  c->height = kHeight;
  c->pix_fmt = format;
  c->time_base = {1, 25};
  if (id == AV_CODEC_ID_TARGA || id == AV_CODEC_ID_SGI)
    av_opt_set_int(c->priv_data, "rle", rle ? 1 : 0, 0);
  if (avcodec_open2(c.get(), avcodec_find_encoder(id), nullptr) < 0) return nullptr;
  return c;
}

Codec OpenDecoder(AVCodecID id) {
  Codec c(avcodec_alloc_context3(avcodec_find_decoder(id)));
  if (avcodec_open2(c.get(), avcodec_find_decoder(id), nullptr) < 0) return nullptr;
  return c;
}

// An AVFrame holding the test picture, top row first, in RGB24 or BGR24.
AVFrame* PictureFrame(const void* header, AVPixelFormat format) {
  AVFrame* f = av_frame_alloc();
  f->width = kWidth;
  f->height = kHeight;
  f->format = format;
  av_frame_get_buffer(f, 0);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t c = kpl::ReadPixel24(header, x, y);
      uint8_t* p = f->data[0] + y * f->linesize[0] + 3 * x;
      const uint8_t r = uint8_t(c), g = uint8_t(c >> 8), b = uint8_t(c >> 16);
      if (format == AV_PIX_FMT_RGB24) {
        p[0] = r, p[1] = g, p[2] = b;
      } else {
        p[0] = b, p[1] = g, p[2] = r;
      }
    }
  return f;
}

bool EncodeToFile(AVCodecContext* c, AVFrame* frame, AVPacket* packet, const std::string& path) {
  if (avcodec_send_frame(c, frame) < 0 || avcodec_receive_packet(c, packet) < 0) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const bool written = fd >= 0 && ::write(fd, packet->data, size_t(packet->size)) == packet->size;
  if (fd >= 0) ::close(fd);
  av_packet_unref(packet);
  return written;
}

const Files& TestFiles() {
  static const Files files = [] {
    Files f{Scratch("bench.pcx"), Scratch("bench.tga"),     Scratch("bench-rle.tga"),
            Scratch("bench.sgi"), Scratch("bench-rle.sgi"), Scratch("bench.alias")};
    const kpl::OwnedBlock frame = TestFrame();
    kpl::BlockLock lock(frame.get());
    SaveWithModule(kPcx, lock.get(), f.pcx);
    SaveWithModule(kTarga, lock.get(), f.targa);
    SaveWithModule(kSgi, lock.get(), f.sgi);
    SaveWithModule(kAlias, lock.get(), f.alias);
    AVPacket* packet = av_packet_alloc();
    for (auto [id, format, file] : {std::tuple{AV_CODEC_ID_TARGA, AV_PIX_FMT_BGR24, f.targaRle},
                                    std::tuple{AV_CODEC_ID_SGI, AV_PIX_FMT_RGB24, f.sgiRle}}) {
      Codec c = OpenEncoder(id, format, true);
      AVFrame* picture = PictureFrame(lock.get(), format);
      EncodeToFile(c.get(), picture, packet, file);
      av_frame_free(&picture);
    }
    av_packet_free(&packet);
    return f;
  }();
  return files;
}

void Decode_Module(benchmark::State& state, uint32_t type, const std::string& path) {
  kplhost::Module& m = Rastunes();
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  const uint32_t local = m.piLocalInit(type, 0);
  for (auto _ : state) {
    if (m.piLocalLoadData(type, local, 1, name.data()) != -1) state.SkipWithError("load failed");
    GlobalFree(m.piLocalGetData(type, local));
  }
  m.piLocalDone(type, local);
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 3);
}

void Decode_Libavcodec(benchmark::State& state, AVCodecID id, const std::string& path) {
  Codec c = OpenDecoder(id);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const size_t bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    av_new_packet(packet, int(bytes));
    const int fd = ::open(path.c_str(), O_RDONLY);
    const bool read = ::read(fd, packet->data, bytes) == ssize_t(bytes);
    ::close(fd);
    if (!read || avcodec_send_packet(c.get(), packet) < 0 ||
        avcodec_receive_frame(c.get(), frame) < 0)
      state.SkipWithError("decode failed");
    av_frame_unref(frame);
    av_packet_unref(packet);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 3);
}

void Encode_Module(benchmark::State& state, uint32_t type) {
  const kpl::OwnedBlock frame = TestFrame();
  kpl::BlockLock lock(frame.get());
  const std::string path = Scratch("enc" + std::to_string(type));
  for (auto _ : state)
    if (!SaveWithModule(type, lock.get(), path)) state.SkipWithError("save failed");
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 3);
}

void Encode_Libavcodec(benchmark::State& state, AVCodecID id, AVPixelFormat format) {
  const kpl::OwnedBlock source = TestFrame();
  kpl::BlockLock lock(source.get());
  Codec c = OpenEncoder(id, format, false);
  AVFrame* frame = PictureFrame(lock.get(), format);
  AVPacket* packet = av_packet_alloc();
  const std::string path = Scratch("enc-av" + std::to_string(int(id)));
  for (auto _ : state)
    if (!EncodeToFile(c.get(), frame, packet, path)) state.SkipWithError("encode failed");
  av_packet_free(&packet);
  av_frame_free(&frame);
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 3);
}

void BM_PcxDecode_Module(benchmark::State& s) {
  Decode_Module(s, kPcx, TestFiles().pcx);
}
void BM_PcxDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_PCX, TestFiles().pcx);
}
void BM_TargaDecode_Module(benchmark::State& s) {
  Decode_Module(s, kTarga, TestFiles().targa);
}
void BM_TargaDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_TARGA, TestFiles().targa);
}
void BM_TargaRleDecode_Module(benchmark::State& s) {
  Decode_Module(s, kTarga, TestFiles().targaRle);
}
void BM_TargaRleDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_TARGA, TestFiles().targaRle);
}
void BM_PcxEncode_Module(benchmark::State& s) {
  Encode_Module(s, kPcx);
}
void BM_PcxEncode_Libavcodec(benchmark::State& s) {
  Encode_Libavcodec(s, AV_CODEC_ID_PCX, AV_PIX_FMT_RGB24);
}
void BM_TargaEncode_Module(benchmark::State& s) {
  Encode_Module(s, kTarga);
}
void BM_TargaEncode_Libavcodec(benchmark::State& s) {
  Encode_Libavcodec(s, AV_CODEC_ID_TARGA, AV_PIX_FMT_BGR24);
}

void BM_SgiDecode_Module(benchmark::State& s) {
  Decode_Module(s, kSgi, TestFiles().sgi);
}
void BM_SgiDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_SGI, TestFiles().sgi);
}
void BM_SgiRleDecode_Module(benchmark::State& s) {
  Decode_Module(s, kSgi, TestFiles().sgiRle);
}
void BM_SgiRleDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_SGI, TestFiles().sgiRle);
}
void BM_AliasDecode_Module(benchmark::State& s) {
  Decode_Module(s, kAlias, TestFiles().alias);
}
void BM_AliasDecode_Libavcodec(benchmark::State& s) {
  Decode_Libavcodec(s, AV_CODEC_ID_ALIAS_PIX, TestFiles().alias);
}
void BM_SgiEncode_Module(benchmark::State& s) {
  Encode_Module(s, kSgi);
}
void BM_SgiEncode_Libavcodec(benchmark::State& s) {
  Encode_Libavcodec(s, AV_CODEC_ID_SGI, AV_PIX_FMT_RGB24);
}
void BM_AliasEncode_Module(benchmark::State& s) {
  Encode_Module(s, kAlias);
}
void BM_AliasEncode_Libavcodec(benchmark::State& s) {
  Encode_Libavcodec(s, AV_CODEC_ID_ALIAS_PIX, AV_PIX_FMT_BGR24);
}

// One minute of 16-bit stereo sound at 44100: a chord with some noise in it.
constexpr int32_t kSoundFrames = 44100 * 60;
constexpr int32_t kSecondBytes = 44100 * 4;

const std::vector<int16_t>& TestSound() {
  static const std::vector<int16_t> samples = [] {
    std::vector<int16_t> s(size_t(kSoundFrames) * 2);
    uint32_t noise = 1;
    for (size_t i = 0; i < s.size(); ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double t = double(i / 2) / 44100.0;
      s[i] = int16_t(8000 * std::sin(2 * M_PI * 440 * t) + 6000 * std::sin(2 * M_PI * 554 * t) +
                     int32_t(noise >> 22) - 512);
    }
    return s;
  }();
  return samples;
}

kpl::FormatRecord SoundFormat() {
  kpl::FormatRecord f{};
  f.flags = 2;
  f.sampleFrames = kSoundFrames;
  f.formatTag = 1;
  f.channels = 2;
  f.sampleRate = 44100;
  f.averageBytesPerSecond = kSecondBytes;
  f.blockAlign = 4;
  f.bitsPerSample = 16;
  f.blockSize = kSecondBytes;
  return f;
}

bool WriteAiffWithModule(const std::string& path, const std::vector<int16_t>& samples) {
  kplhost::Module& m = Rastunes();
  const uint32_t local = m.piLocalInit(kAiff, 0x200);
  const kpl::FormatRecord f = SoundFormat();
  bool written =
      m.piLocalSetFormat(kAiff, local, &f) == -1 && m.piLocalProcessDataStart(kAiff, local) == -1;
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  auto* bytes = reinterpret_cast<uint8_t*>(const_cast<int16_t*>(samples.data()));
  for (size_t at = 0; written && at < samples.size() * 2; at += kSecondBytes) {
    m.piLocalSetData(kAiff, local, bytes + at, kSecondBytes, nullptr, 0);
    written = m.piLocalSaveData(kAiff, local, 2, name.data()) == -1;
  }
  m.piLocalProcessDataEnd(kAiff, local);
  m.piLocalDone(kAiff, local);
  return written;
}

const std::string& TestAiff() {
  static const std::string path = [] {
    const std::string p = Scratch("bench.aiff");
    WriteAiffWithModule(p, TestSound());
    return p;
  }();
  return path;
}

void BM_AiffRead_Module(benchmark::State& state) {
  kplhost::Module& m = Rastunes();
  std::vector<char> name(TestAiff().begin(), TestAiff().end());
  name.push_back('\0');
  std::vector<int16_t> out(size_t(kSoundFrames) * 2);
  for (auto _ : state) {
    const uint32_t local = m.piLocalInit(kAiff, 0x100);
    const kpl::FormatRecord f = SoundFormat();
    m.piLocalSetFormat(kAiff, local, &f);
    m.piLocalProcessDataStart(kAiff, local);
    auto* into = reinterpret_cast<uint8_t*>(out.data());
    for (int32_t second = 0; second < 60; ++second, into += kSecondBytes) {
      if (m.piLocalLoadData(kAiff, local, 2, name.data()) != -1) state.SkipWithError("read failed");
      kpl::BlockLock lock(m.piLocalGetData(kAiff, local));
      std::memcpy(into, lock.get(), kSecondBytes);
    }
    m.piLocalProcessDataEnd(kAiff, local);
    m.piLocalDone(kAiff, local);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != TestSound()) state.SkipWithError("the samples read differ");
  state.SetBytesProcessed(state.iterations() * int64_t(kSoundFrames) * 4);
}

void BM_AiffRead_Libsndfile(benchmark::State& state) {
  std::vector<int16_t> out(size_t(kSoundFrames) * 2);
  for (auto _ : state) {
    SF_INFO info{};
    SNDFILE* file = sf_open(TestAiff().c_str(), SFM_READ, &info);
    if (!file) state.SkipWithError("open failed");
    for (int32_t second = 0; file && second < 60; ++second)
      sf_readf_short(file, out.data() + size_t(second) * 44100 * 2, 44100);
    if (file) sf_close(file);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != TestSound()) state.SkipWithError("the samples read differ");
  state.SetBytesProcessed(state.iterations() * int64_t(kSoundFrames) * 4);
}

void BM_AiffWrite_Module(benchmark::State& state) {
  const std::string path = Scratch("write.aiff");
  for (auto _ : state)
    if (!WriteAiffWithModule(path, TestSound())) state.SkipWithError("write failed");
  state.SetBytesProcessed(state.iterations() * int64_t(kSoundFrames) * 4);
}

void BM_AiffWrite_Libsndfile(benchmark::State& state) {
  const std::string path = Scratch("write-sndfile.aiff");
  const std::vector<int16_t>& samples = TestSound();
  for (auto _ : state) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) state.SkipWithError("open failed");
    for (int32_t second = 0; file && second < 60; ++second)
      sf_writef_short(file, samples.data() + size_t(second) * 44100 * 2, 44100);
    if (file) sf_close(file);
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kSoundFrames) * 4);
}

BENCHMARK(BM_PcxDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaRleDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaRleDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxEncode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxEncode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaEncode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaEncode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiRleDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiRleDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AliasDecode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AliasDecode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiEncode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SgiEncode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AliasEncode_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AliasEncode_Libavcodec)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AiffRead_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AiffRead_Libsndfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AiffWrite_Module)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AiffWrite_Libsndfile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(TestFiles().pcx).parent_path(), ignored);
  return 0;
}
