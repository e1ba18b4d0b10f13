#pragma once
// A picture read or written through a module's single-image file type, as a host does
// (piLocalLoadData modes 0 and 1; piLocalSetFormat, piLocalSetData and piLocalSaveData mode 0).
#include <string>

#include "file_types.hpp"
#include "module_loader.hpp"
#include "rgb_image.hpp"

namespace kplhost {

// Throw Failure naming the type and the file when the type refuses.
RgbImage ReadThroughModule(const Module& module, const FileType& type, const std::string& path);
void WriteThroughModule(const Module& module, const FileType& type, const RgbImage& image,
                        const std::string& path);

}  // namespace kplhost
