#pragma once
// PNG files through libpng's whole-picture interface: any PNG reads as 8-bit RGB (palettes,
// grey, 16-bit and alpha converted by the library), and pictures are written as 8-bit RGB.
#include <filesystem>

#include "rgb_image.hpp"

namespace kplhost {

// Throws Failure naming the file and the reason.
RgbImage ReadPng(const std::filesystem::path& path);
void WritePng(const std::filesystem::path& path, const RgbImage& image);

}  // namespace kplhost
