// Steps of Fade, Wipe, Mix and Blue-Screen through the module's exports, each beside a plain
// copy of its data.
//   video: one step at 1920 x 1080 against ToFrame24 of a 24-bit frame (a copy)
//   sound: one step over one second of 16-bit stereo at 48 kHz against a memcpy of it
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench_frames.hpp"

namespace {

using bench::BM_CopyFrame_Baseline;
using bench::kHeight;
using bench::kWidth;

kplhost::Module& Pannikel() {
  return bench::BuiltModule("pannikel.kpl");
}

constexpr int32_t kSoundFrames = 48000;
constexpr uint16_t kChannels = 2;

std::vector<int16_t> TestSound(int seed) {
  std::vector<int16_t> samples(size_t(kSoundFrames) * kChannels);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = int16_t((i * 2654435761u + seed) >> 16);
  return samples;
}

void VideoFadeStep(benchmark::State& state, uint32_t flags) {
  kplhost::Module& m = Pannikel();
  const auto a = bench::PatternFrame(1), b = bench::PatternFrame(2);
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = m.piLocalInit(0, flags);
  m.piLocalLength(0, local, 3);
  for (auto _ : state) {
    state.PauseTiming();
    m.piLocalProcessDataStart(0, local);
    m.piLocalProcessData(0, local);  // step 0; the measured step has p = 0.5
    GlobalFree(m.piLocalGetData(0, local));
    m.piLocalSetData(0, local, first.get(), 0, second.get(), 0);
    state.ResumeTiming();
    if (m.piLocalProcessData(0, local) != -1) state.SkipWithError("step failed");
    const uint32_t result = m.piLocalGetData(0, local);
    GlobalFree(result);
  }
  m.piLocalDone(0, local);
  bench::SetFrameBytesProcessed(state);
}

void BM_FadeIn(benchmark::State& state) {
  VideoFadeStep(state, 0x1401);
}
void BM_FadeOut(benchmark::State& state) {
  VideoFadeStep(state, 0x2401);
}
void BM_CrossFade(benchmark::State& state) {
  VideoFadeStep(state, 0x0801);
}

// One step of a two-clip video type with its settings loaded from `line`.
void TwoClipStep(benchmark::State& state, uint32_t type, const kpl::OwnedBlock& a,
                 const kpl::OwnedBlock& b, const char* line) {
  kplhost::Module& m = Pannikel();
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = m.piLocalInit(type, 0x801);
  char text[64];
  std::strcpy(text, line);
  m.piLocalLoadData(type, local, 0, text);
  m.piLocalLength(type, local, 3);
  for (auto _ : state) {
    state.PauseTiming();
    m.piLocalProcessDataStart(type, local);
    m.piLocalProcessData(type, local);  // step 0; the measured step has p = 0.5
    GlobalFree(m.piLocalGetData(type, local));
    m.piLocalSetData(type, local, first.get(), 0, second.get(), 0);
    state.ResumeTiming();
    if (m.piLocalProcessData(type, local) != -1) state.SkipWithError("step failed");
    GlobalFree(m.piLocalGetData(type, local));
  }
  m.piLocalDone(type, local);
  bench::SetFrameBytesProcessed(state);
}

// Half the frame from each input, split along the rows or across them.
void BM_WipeRight(benchmark::State& state) {
  TwoClipStep(state, 1, bench::PatternFrame(1), bench::PatternFrame(2), "DEGREE=0");
}
void BM_WipeDiagonal(benchmark::State& state) {
  TwoClipStep(state, 1, bench::PatternFrame(1), bench::PatternFrame(2), "DEGREE=315");
}

// A foreground in which about half the pixels, scattered, lie within the default key, so
// the keyed and the kept pixels mix in every run of sixteen.
kpl::OwnedBlock KeyForeground() {
  kpl::OwnedBlock frame(kpl::NewFrame24(kWidth, kHeight));
  kpl::BlockLock lock(frame.get());
  uint32_t state = 12345;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      const uint8_t noise = uint8_t(state >> 24);
      kpl::WritePixel24(lock.get(), x, y,
                        (state >> 8) & 1
                            ? kpl::ColourValue(noise % 20, noise % 25, 110 + noise % 40)
                            : kpl::ColourValue(noise, 200, noise / 2));
    }
  return frame;
}

void BM_BlueScreen(benchmark::State& state) {
  TwoClipStep(state, 3, bench::PatternFrame(1), KeyForeground(), "TOLERANCE=20");
}

void BM_CopySound_Baseline(benchmark::State& state) {
  const auto source = TestSound(1);
  std::vector<int16_t> target(source.size());
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * 2);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(source.size()));
}

void SoundStep(benchmark::State& state, uint32_t type, uint32_t flags) {
  kplhost::Module& m = Pannikel();
  auto a = TestSound(1), b = TestSound(2);
  const uint32_t local = m.piLocalInit(type, flags);
  const kpl::WaveFormat format{1, kChannels, 48000, 48000u * 4, 4, 16};
  m.piLocalSetFormat(type, local, &format);
  m.piLocalLength(type, local, kSoundFrames * 4);
  m.piLocalProcessDataStart(type, local);
  for (auto _ : state) {
    m.piLocalSetData(type, local, a.data(), kSoundFrames, b.data(), kSoundFrames);
    if (m.piLocalProcessData(type, local) != -1) state.SkipWithError("step failed");
    GlobalFree(m.piLocalGetData(type, local));
  }
  m.piLocalDone(type, local);
  state.SetItemsProcessed(state.iterations() * int64_t(a.size()));
}

void BM_SoundFadeIn(benchmark::State& state) {
  SoundStep(state, 0, 0x1402);
}
void BM_SoundCrossFade(benchmark::State& state) {
  SoundStep(state, 0, 0x0802);
}
void BM_Mix(benchmark::State& state) {
  SoundStep(state, 2, 0x0802);
}

BENCHMARK(BM_CopyFrame_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FadeIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FadeOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossFade)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WipeRight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WipeDiagonal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlueScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopySound_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundFadeIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundCrossFade)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mix)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
