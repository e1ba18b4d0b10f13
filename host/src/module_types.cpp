#include "module_types.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "errors.hpp"
#include "kpl/platform/text.h"

namespace kplhost {
namespace {

// Upper case as the modules see it (code page 1252, accented letters included).
std::string upperCase(std::string text) {
  CharUpperBuffA(text.data(), uint32_t(text.size()));
  return text;
}

}  // namespace

std::string ModuleText(const char* text) {
  if (!text) return {};
  return std::string(text, strnlen(text, kpl::kNameBufferBytes - 1));
}

std::string DisplayText(std::string_view moduleText) {
  // Code page 1252 is Latin-1 but for 0x80 to 0x9F; the five bytes it leaves undefined keep
  // their Latin-1 code points.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string utf8;
  for (const char c : moduleText) {
    const auto byte = static_cast<unsigned char>(c);
    const char32_t point = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    if (point < 0x80) {
      utf8 += char(point);
    } else if (point < 0x800) {
      utf8 += char(0xC0 | point >> 6);
      utf8 += char(0x80 | (point & 0x3F));
    } else {
      utf8 += char(0xE0 | point >> 12);
      utf8 += char(0x80 | (point >> 6 & 0x3F));
      utf8 += char(0x80 | (point & 0x3F));
    }
  }
  return utf8;
}

std::string TypeName(const Module& module, uint32_t type) {
  return ModuleText(module.piName(type));
}

std::string HexWord(uint32_t word) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", word);
  return text;
}

std::string FlagBitNames(uint32_t flags) {
  std::string names;
  auto append = [&](const std::string& name) { names += (names.empty() ? "" : " ") + name; };
  for (const kpl::FlagName& flag : kpl::kFlagNames) {
    if (flags & flag.bit) {
      append(flag.name);
      flags &= ~flag.bit;
    }
  }
  if (flags) append(HexWord(flags));
  return names.empty() ? "(none)" : names;
}

uint32_t ResolveType(const Module& module, std::string_view typed) {
  const uint32_t count = module.piCount();
  uint32_t index = 0;
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), index);
  const bool isIndex = !typed.empty() && error == std::errc{} && end == typed.data() + typed.size();
  if (isIndex && index < count) return index;

  std::string known;
  for (uint32_t type = 0; type < count; ++type) {
    const std::string name = TypeName(module, type);
    if (!isIndex && !name.empty() && upperCase(name) == upperCase(std::string(typed))) return type;
    known += (type ? ", " : "") + std::to_string(type) + " " + name;
  }
  throw UsageError(std::filesystem::path(module.path()).filename().string() + " has no type '" +
                   std::string(typed) + "' (its types: " + known + ")");
}

}  // namespace kplhost
