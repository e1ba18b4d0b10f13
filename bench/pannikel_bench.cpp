// Steps of Fade and Mix through the module's exports, each beside a plain copy of its data.
//   video: one step at 1920 x 1080 against ToFrame24 of a 24-bit frame (a copy)
//   sound: one step over one second of 16-bit stereo at 48 kHz against a memcpy of it
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "module_loader.hpp"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr int32_t kSoundFrames = 48000;
constexpr uint16_t kChannels = 2;

kplhost::Module& Pannikel() {
  static kplhost::Module module(std::string(KPL_BIN_DIR) + "/pannikel.kpl");
  return module;
}

kpl::OwnedBlock TestFrame(uint8_t seed) {
  kpl::OwnedBlock frame(kpl::NewFrame24(kWidth, kHeight));
  kpl::BlockLock lock(frame.get());
  auto* pixels = lock.as<uint8_t>() + 40;
  const size_t bytes = kpl::RowBytes24(kWidth) * kHeight;
  for (size_t i = 0; i < bytes; ++i)
    pixels[i] = uint8_t(i * 7 + seed);
  return frame;
}

std::vector<int16_t> TestSound(int seed) {
  std::vector<int16_t> samples(size_t(kSoundFrames) * kChannels);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = int16_t((i * 2654435761u + seed) >> 16);
  return samples;
}

void BM_CopyFrame_Baseline(benchmark::State& state) {
  const auto frame = TestFrame(1);
  kpl::BlockLock source(frame.get());
  for (auto _ : state) {
    const uint32_t copy = kpl::ToFrame24(source.get());
    benchmark::DoNotOptimize(copy);
    GlobalFree(copy);
  }
  state.SetBytesProcessed(state.iterations() * kpl::RowBytes24(kWidth) * kHeight);
}

void VideoFadeStep(benchmark::State& state, uint32_t flags) {
  kplhost::Module& m = Pannikel();
  const auto a = TestFrame(1), b = TestFrame(2);
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
  state.SetBytesProcessed(state.iterations() * kpl::RowBytes24(kWidth) * kHeight);
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
BENCHMARK(BM_CopySound_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundFadeIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SoundCrossFade)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mix)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
