#pragma once
// What a module says about its types: names, flag words, and finding a type by what the user
// typed.
#include <cstdint>
#include <string>
#include <string_view>

#include "module_loader.hpp"

namespace kplhost {

// A text a module hands out, read no further than its 128-byte name buffer; "" for null.
std::string ModuleText(const char* text);

std::string TypeName(const Module& module, uint32_t type);

// A module text (code page 1252) for the terminal, in UTF-8: "Push (90\xB0)" becomes
// "Push (90°)". Characters 0x80 to 0x9F, which differ from Latin-1, show as '?'.
std::string ForTerminal(std::string_view text);

// "0x10073E03" and the names of its bits, "pifVideo pifAudio ..."; bits without a name are
// shown as hexadecimal.
std::string HexWord(uint32_t word);
std::string FlagBitNames(uint32_t flags);

// A type index ("0") or a type name matched without regard to case ("fade"). Throws
// UsageError listing the module's types when nothing matches.
uint32_t ResolveType(const Module& module, std::string_view typed);

}  // namespace kplhost
