// One step of each transition and of the video fades at 1920 x 1080 and p = 0.5, through the
// module's exports, beside a plain copy of one frame (ToFrame24 of a 24-bit frame).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "module_loader.hpp"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

kplhost::Module& Transvella() {
  static kplhost::Module module(std::string(KPL_BIN_DIR) + "/transvella.kpl");
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

// The second step of a run of `length` frames, measured; the first runs untimed before it.
void Step(benchmark::State& state, uint32_t type, std::vector<std::string> lines, int32_t length) {
  kplhost::Module& m = Transvella();
  const auto a = TestFrame(1), b = TestFrame(2);
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = m.piLocalInit(type, 0x1);
  for (size_t i = 0; i < lines.size(); ++i)
    m.piLocalLoadData(type, local, int32_t(i), lines[i].data());
  m.piLocalLength(type, local, length);
  for (auto _ : state) {
    state.PauseTiming();
    m.piLocalProcessDataStart(type, local);
    m.piLocalSetData(type, local, first.get(), 0, second.get(), 0);
    m.piLocalProcessData(type, local);
    GlobalFree(m.piLocalGetData(type, local));
    state.ResumeTiming();
    if (m.piLocalProcessData(type, local) != -1) state.SkipWithError("step failed");
    GlobalFree(m.piLocalGetData(type, local));
  }
  m.piLocalDone(type, local);
  state.SetBytesProcessed(state.iterations() * kpl::RowBytes24(kWidth) * kHeight);
}

// Transitions: length 3, so the measured step has p = 0.5.
void BM_PushRight(benchmark::State& s) {
  Step(s, 4, {"DEGREE=0"}, 3);
}
void BM_PushUp(benchmark::State& s) {
  Step(s, 4, {"DEGREE=90"}, 3);
}
void BM_SlideIn45(benchmark::State& s) {
  Step(s, 5, {"DEGREE=45", "REVERSE=0"}, 3);
}
void BM_SlideOut45(benchmark::State& s) {
  Step(s, 5, {"DEGREE=45", "REVERSE=1"}, 3);
}
void BM_SlideOutLeft(benchmark::State& s) {
  Step(s, 5, {"DEGREE=180", "REVERSE=1"}, 3);
}
void BM_CurtainOutHorizontal(benchmark::State& s) {
  Step(s, 7, {"DEGREE=0", "REVERSE=0"}, 3);
}
void BM_CurtainInVertical(benchmark::State& s) {
  Step(s, 7, {"DEGREE=90", "REVERSE=1"}, 3);
}
void BM_SnakeWipe10x10(benchmark::State& s) {
  Step(s, 6, {"DEGREE=270", "WIDTH=10", "HEIGHT=10"}, 3);
}
void BM_Chessboard10x10(benchmark::State& s) {
  Step(s, 8, {"DEGREE=0", "WIDTH=10", "HEIGHT=10"}, 3);
}
void BM_Chessboard480x270(benchmark::State& s) {
  Step(s, 8, {"DEGREE=90", "WIDTH=480", "HEIGHT=270"}, 3);
}
// Fades: length 2, so the measured step has x = 0.5 (fade in/fade out: black, from A).
void BM_LogFadeIn(benchmark::State& s) {
  Step(s, 0, {}, 2);
}
void BM_LogFadeOut(benchmark::State& s) {
  Step(s, 1, {}, 2);
}
void BM_LogCrossFade(benchmark::State& s) {
  Step(s, 2, {}, 2);
}
void BM_LogFadeInOut(benchmark::State& s) {
  Step(s, 3, {}, 2);
}

BENCHMARK(BM_CopyFrame_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushRight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideIn45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideOut45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideOutLeft)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurtainOutHorizontal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurtainInVertical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnakeWipe10x10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chessboard10x10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chessboard480x270)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogCrossFade)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeInOut)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
