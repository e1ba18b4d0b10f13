#pragma once
// A one-line progress bar on stderr, drawn only when stderr is a terminal, so logs and pipes
// never see it.
#include <cstdint>
#include <string>

namespace kplhost {

class ProgressBar {
 public:
  // Draws when `enabled`; use StderrIsTerminal() for the usual choice.
  ProgressBar(std::string label, int64_t total, bool enabled);
  ~ProgressBar();  // ends the line it drew on
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void update(int64_t done);

  static bool StderrIsTerminal();

 private:
  std::string label_;
  int64_t total_;
  bool enabled_;
  int64_t lastDone_ = -1;
};

}  // namespace kplhost
