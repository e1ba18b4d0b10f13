#include "errors.hpp"

#include <iostream>

namespace kplhost {

void Warn(std::string_view message) {
  std::cerr << "kplhost: warning: " << message << '\n';
}

}  // namespace kplhost
