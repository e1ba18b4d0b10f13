#pragma once
// The module's file types: their fixed names and patterns, and the answers of the two
// families (single-image and streaming sound types) to the exports.
#include <cstdint>
#include <optional>
#include <span>

#include "kpl/support/type_routing.hpp"
#include "picture_io.hpp"

namespace kpl::rastunes {

inline constexpr uint32_t kTypeCount = 10;

struct FileTypeText {
  const char* name;
  const char* pattern;
};
inline constexpr FileTypeText kFileTypes[kTypeCount] = {
    {"PCX files (*.PCX)", "*.PCX"},       {"TGA files (*.TGA)", "*.TGA"},
    {"Alias files (*.ALIAS)", "*.alias"}, {"Alias files (*.ALI)", "*.ALI"},
    {"SGI files (*.SGI)", "*.SGI"},       {"SGI files (*.BW)", "*.BW"},
    {"SGI files (*.RGB)", "*.RGB"},       {"SGI files (*.RGBA)", "*.RGBA"},
    {"AIFF files (*.AIFF)", "*.AIFF"},    {"AIFF files (*.AIF)", "*.AIF"},
};

// The module-wide name buffer of a type, filled when the module starts; null out of range.
const char* TypeNameBuffer(uint32_t index);

inline constexpr uint32_t kPictureTypeFlags = 0x40040301;
inline constexpr uint32_t kSoundTypeFlags = 0x43060302;
inline constexpr uint32_t kSoundInstanceBits = 0x43060002;

// One picture format: where its types start in the table, the frame depths its saver accepts
// (empty: any), and its codec. A format without a codec answers for its names, patterns and
// flags, and 0 to the calls that would read or write a file.
struct PictureFormat {
  uint32_t firstIndex;
  std::span<const uint16_t> saverDepths;
  std::optional<PictureSize> (*readHeader)(const char* path) = nullptr;
  uint32_t (*readPicture)(const char* path) = nullptr;
  // Writes a 24-bit frame of `bytes` bytes.
  bool (*writePicture)(const char* path, const void* frame24, uint64_t bytes) = nullptr;
  // Set for a format whose header step makes the format record before judging the header:
  // the size the record gets, none when the file cannot be opened.
  std::optional<PictureSize> (*recordedSize)(const char* path) = nullptr;
};

// The calls of a single-image type over its format.
template <const PictureFormat& Format>
const TypeOps& PictureType();

inline constexpr uint32_t kAiffFirstIndex = 8;
const TypeOps& AiffType();

}  // namespace kpl::rastunes

#include "picture_type_calls.hpp"
