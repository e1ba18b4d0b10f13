#pragma once
// The two ways a command ends early: a command line that cannot be understood (exit 2) and a
// job that could not be done (exit 1). Both carry the one line the user sees.
#include <stdexcept>
#include <string_view>

namespace kplhost {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "kplhost: warning: ..." on stderr; the run goes on.
void Warn(std::string_view message);

}  // namespace kplhost
