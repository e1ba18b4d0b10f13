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

std::string TypeName(const Module& module, uint32_t type) {
  return ModuleText(module.piName(type));
}

std::string ForTerminal(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte < 0xA0) {
      out += '?';
    } else {  // Latin-1: the byte is the code point
      out += char(0xC0 | byte >> 6);
      out += char(0x80 | (byte & 0x3F));
    }
  }
  return out;
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
