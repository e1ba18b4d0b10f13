#pragma once
// What the frame benchmarks share: the module under test, loaded once from the build, a
// patterned full-HD frame, and the baseline they are measured beside, a copy of one frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "kpl/platform/blocks.hpp"
#include "kpl/support/dib_lib.hpp"
#include "module_loader.hpp"

namespace bench {

inline constexpr int32_t kWidth = 1920, kHeight = 1080;

// The module `file` of the build (e.g. "pannikel.kpl"), loaded on first use and kept loaded.
inline kplhost::Module& BuiltModule(const std::string& file) {
  static std::map<std::string, std::unique_ptr<kplhost::Module>> loaded;
  auto& module = loaded[file];
  if (!module) module = std::make_unique<kplhost::Module>(std::string(KPL_BIN_DIR) + "/" + file);
  return *module;
}

// A 24-bit frame whose bytes run through every value, shifted by `seed`.
inline kpl::OwnedBlock PatternFrame(uint8_t seed) {
  kpl::OwnedBlock frame(kpl::NewFrame24(kWidth, kHeight));
  kpl::BlockLock lock(frame.get());
  auto* pixels = lock.as<uint8_t>() + 40;
  const size_t bytes = kpl::RowBytes24(kWidth) * kHeight;
  for (size_t i = 0; i < bytes; ++i)
    pixels[i] = uint8_t(i * 7 + seed);
  return frame;
}

inline void SetFrameBytesProcessed(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * int64_t(kpl::RowBytes24(kWidth)) * kHeight);
}

// The baseline: ToFrame24 of a 24-bit frame, one allocation and one copy.
inline void BM_CopyFrame_Baseline(benchmark::State& state) {
  const auto frame = PatternFrame(1);
  kpl::BlockLock source(frame.get());
  for (auto _ : state) {
    const uint32_t copy = kpl::ToFrame24(source.get());
    benchmark::DoNotOptimize(copy);
    GlobalFree(copy);
  }
  SetFrameBytesProcessed(state);
}

}  // namespace bench
