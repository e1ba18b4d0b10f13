#pragma once
// Names of the store (registry keys and values, INI sections and keys) match without regard to
// case, code page 1252 letters included.
#include <string>

#include "kpl/platform/text.h"

namespace kpl::platform {

inline bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  std::string upperA = a, upperB = b;
  CharUpperBuffA(upperA.data(), uint32_t(upperA.size()));
  CharUpperBuffA(upperB.data(), uint32_t(upperB.size()));
  return upperA == upperB;
}

}  // namespace kpl::platform
