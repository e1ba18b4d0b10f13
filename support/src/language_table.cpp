#include <string_view>

#include "kpl/platform/profile.h"
#include "kpl/platform/text.h"
#include "kpl/support/win_text2.hpp"

namespace kpl {
namespace {

constexpr uint32_t kLastStringId = 65535;
constexpr int32_t kEntryChars = 24;
constexpr uint32_t kLanguageCodeChars = 9;

std::string tableEntry(const ModuleResources& module, uint32_t id) {
  char text[kEntryChars + 1] = {};
  LoadStringA(&module, id, text, sizeof text);
  CharUpperA(text);
  return text;
}

// A signed decimal number; reading stops at the first character that is not a digit.
int32_t leadingNumber(std::string_view text) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
  }
  value = negative ? -value : value;
  return int32_t(value > INT32_MAX ? INT32_MAX : value);
}

}  // namespace

std::string UserLanguageCode() {
  char code[kLanguageCodeChars + 1] = {};
  GetProfileStringA("Intl", "sLanguage", "ENU", code, sizeof code);
  CharUpperA(code);
  return code;
}

int32_t LanguageOffsetFor(const ModuleResources& module, const std::string& languageCode) {
  int32_t offset = 0;
  for (uint32_t id = kLanguageTableFirstId; id <= kLastStringId; ++id) {
    const std::string entry = tableEntry(module, id);
    const size_t colon = entry.find(':');
    if (entry.empty() || entry == "<END>" || colon == std::string::npos) break;
    if (entry.compare(0, colon, languageCode) != 0) {
      offset = 0;
      continue;
    }
    offset = leadingNumber(std::string_view(entry).substr(colon + 1));
    break;
  }
  return offset;
}

bool HasLanguageTable(const ModuleResources& module) {
  return !tableEntry(module, kLanguageTableFirstId).empty();
}

}  // namespace kpl
