// One step of each transition and of the video fades at 1920 x 1080 and p = 0.5, through the
// module's exports, beside a plain copy of one frame (ToFrame24 of a 24-bit frame): as a
// benchmark of its own, and timed right before every step (the x_copy counters).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench_frames.hpp"

namespace {

using bench::BM_CopyFrame_Baseline;
using bench::kHeight;
using bench::kWidth;

kplhost::Module& Transvella() {
  return bench::BuiltModule("transvella.kpl");
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The second step of a run of `length` frames, measured; the first runs untimed before it.
// Each iteration also times a plain copy of the first frame right before the step, so that
// the two see the same machine: the counters give the step's time as a multiple of the copy's
// (of the medians and of the best times over the iterations).
void Step(benchmark::State& state, uint32_t type, std::vector<std::string> lines, int32_t length) {
  using Clock = std::chrono::steady_clock;
  kplhost::Module& m = Transvella();
  const auto a = bench::PatternFrame(1), b = bench::PatternFrame(2);
  kpl::BlockLock first(a.get()), second(b.get());
  const uint32_t local = m.piLocalInit(type, 0x1);
  for (size_t i = 0; i < lines.size(); ++i)
    m.piLocalLoadData(type, local, int32_t(i), lines[i].data());
  m.piLocalLength(type, local, length);
  std::vector<double> copies, steps;
  for (auto _ : state) {
    m.piLocalProcessDataStart(type, local);
    m.piLocalSetData(type, local, first.get(), 0, second.get(), 0);
    m.piLocalProcessData(type, local);
    GlobalFree(m.piLocalGetData(type, local));
    GlobalFree(kpl::ToFrame24(second.get()));  // both inputs as warm as the copy's

    const auto copyStart = Clock::now();
    const uint32_t copy = kpl::ToFrame24(first.get());
    const auto copyEnd = Clock::now();
    GlobalFree(copy);
    const auto stepStart = Clock::now();
    if (m.piLocalProcessData(type, local) != -1) state.SkipWithError("step failed");
    const uint32_t result = m.piLocalGetData(type, local);
    const auto stepEnd = Clock::now();
    GlobalFree(result);
    copies.push_back(std::chrono::duration<double>(copyEnd - copyStart).count());
    steps.push_back(std::chrono::duration<double>(stepEnd - stepStart).count());
    state.SetIterationTime(steps.back());
  }
  m.piLocalDone(type, local);
  bench::SetFrameBytesProcessed(state);
  state.counters["copy_ms"] = Median(copies) * 1e3;
  state.counters["x_copy"] = Median(steps) / Median(copies);
  state.counters["x_copy_best"] = *std::min_element(steps.begin(), steps.end()) /
                                  *std::min_element(copies.begin(), copies.end());
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
BENCHMARK(BM_PushRight)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushUp)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideIn45)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideOut45)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlideOutLeft)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurtainOutHorizontal)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurtainInVertical)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnakeWipe10x10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chessboard10x10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chessboard480x270)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeIn)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeOut)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogCrossFade)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFadeInOut)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
