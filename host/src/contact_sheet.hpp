#pragma once
// A contact sheet: the steps of one or more effect runs as a grid of pictures, each run
// starting a new row under its label, with a small gap around every picture.
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_image.hpp"

namespace kplhost {

struct SheetRow {
  std::string label;  // may be empty
  std::vector<RgbImage> pictures;
};

// A run with more than `columns` pictures wraps onto further lines. Every cell is as large as
// the largest picture; smaller pictures sit in its top left corner.
RgbImage ComposeContactSheet(const std::vector<SheetRow>& rows, int32_t columns = 10);

}  // namespace kplhost
