#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "canvas.hpp"

namespace iconsmith {

struct Icon {
  uint32_t id;
  Canvas canvas;
};

// The art of one module, by module name; empty for an unknown name.
std::vector<Icon> ArtOf(const std::string& module);

}  // namespace iconsmith
