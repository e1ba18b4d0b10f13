#pragma once
// The file types of a module: which files each reads and writes, by its pattern.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module_loader.hpp"

namespace kplhost {

struct FileType {
  uint32_t index;
  std::string name;
  std::string pattern;  // "" when the type gives none
  uint32_t flags;
};

// The pattern a file type hands out from a fresh instance ("*.PCX"); "" for none.
std::string FilePatternOf(const Module& module, uint32_t type);

// Every type of the module that carries pifFile.
std::vector<FileType> FileTypesOf(const Module& module);

// Matches a file name (not its folder) against a pattern of '*' and '?' without regard to
// case, as a file dialog's filter does.
bool PatternMatches(std::string_view pattern, std::string_view fileName);

// The first picture type whose pattern matches the path and whose flag word has `direction`
// (pifRead or pifWrite).
std::optional<FileType> PictureTypeFor(const std::vector<FileType>& types, const std::string& path,
                                       uint32_t direction);
// The same for the sound types (pifAudio without pifVideo).
std::optional<FileType> SoundTypeFor(const std::vector<FileType>& types, const std::string& path,
                                     uint32_t direction);

}  // namespace kplhost
