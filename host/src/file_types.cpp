#include "file_types.hpp"

#include <cctype>
#include <cstring>
#include <filesystem>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/plug_hdr.hpp"
#include "module_types.hpp"
#include "type_session.hpp"

namespace kplhost {

std::string FilePatternOf(const Module& module, uint32_t type) {
  const uint32_t local = module.piLocalInit(type, kpl::pifRead);
  if (!local) return {};
  const uint32_t block = module.piLocalGetData(type, local);
  std::string pattern;
  if (block) {
    kpl::BlockLock lock(block);
    if (lock) {
      const char* text = lock.as<char>();
      pattern.assign(text, strnlen(text, GlobalSize(block)));
    }
  }
  module.piLocalDone(type, local);
  if (block) GlobalFree(block);  // the pattern block is the host's
  return pattern;
}

std::vector<FileType> FileTypesOf(const Module& module) {
  std::vector<FileType> types;
  const uint32_t count = module.piCount();
  for (uint32_t type = 0; type < count; ++type) {
    const uint32_t flags = module.piFlags(type);
    if (!(flags & kpl::pifFile)) continue;
    const TypeSession session(module, type);
    types.push_back({type, TypeName(module, type), FilePatternOf(module, type), flags});
  }
  return types;
}

bool PatternMatches(std::string_view pattern, std::string_view name) {
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  // Iterative match with one remembered star, linear in practice.
  size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

namespace {
template <class Kind>
std::optional<FileType> typeFor(const std::vector<FileType>& types, const std::string& path,
                                uint32_t direction, Kind isKind) {
  const std::string name = std::filesystem::path(path).filename().string();
  for (const FileType& type : types)
    if (isKind(type.flags) && (type.flags & direction) && !type.pattern.empty() &&
        PatternMatches(type.pattern, name))
      return type;
  return std::nullopt;
}
}  // namespace

std::optional<FileType> PictureTypeFor(const std::vector<FileType>& types, const std::string& path,
                                       uint32_t direction) {
  return typeFor(types, path, direction, [](uint32_t flags) { return flags & kpl::pifVideo; });
}

std::optional<FileType> SoundTypeFor(const std::vector<FileType>& types, const std::string& path,
                                     uint32_t direction) {
  return typeFor(types, path, direction, [](uint32_t flags) {
    return (flags & kpl::pifAudio) && !(flags & kpl::pifVideo);
  });
}

}  // namespace kplhost
