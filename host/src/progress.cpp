#include "progress.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace kplhost {
namespace {
constexpr int kBarCells = 30;
}

ProgressBar::ProgressBar(std::string label, int64_t total, bool enabled)
    : label_(std::move(label)), total_(std::max<int64_t>(total, 1)), enabled_(enabled) {
  update(0);
}

ProgressBar::~ProgressBar() {
  if (enabled_) std::fputc('\n', stderr);
}

bool ProgressBar::StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void ProgressBar::update(int64_t done) {
  if (!enabled_) return;
  done = std::clamp<int64_t>(done, 0, total_);
  const int filled = int(done * kBarCells / total_);
  if (done == lastDone_) return;
  lastDone_ = done;
  const std::string bar =
      std::string(size_t(filled), '#') + std::string(size_t(kBarCells - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %lld/%lld", label_.c_str(), bar.c_str(),
               static_cast<long long>(done), static_cast<long long>(total_));
  std::fflush(stderr);
}

}  // namespace kplhost
