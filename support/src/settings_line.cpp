#include "kpl/support/settings_line.hpp"

#include <cstdio>
#include <cstring>

#include "kpl/platform/text.h"

namespace kpl {
namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

int32_t ReadNumber(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ')
    ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int base = 10;
  if (*p == '$' || *p == 'x' || *p == 'X') {
    base = 16;
    ++p;
  } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  // Unsigned arithmetic wraps instead of overflowing; values beyond 32 bits are not meaningful.
  uint32_t value = 0;
  for (;; ++p) {
    const int digit = hexDigit(*p);
    if (digit < 0 || digit >= base) break;
    value = value * uint32_t(base) + uint32_t(digit);
  }
  if (*p == '\0' && negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

void LowerCaseInPlace(char* text) {
  CharLowerA(text);
}

bool LineContains(const char* line, const char* key) {
  return std::strstr(line, key) != nullptr;
}

const char* ValueOf(const char* line) {
  const char* equals = std::strchr(line, '=');
  return equals ? equals + 1 : line;
}

void WriteSettingsLine(char* text, const char* key, int32_t value) {
  std::sprintf(text, "%s=%d", key, static_cast<int>(value));
}

void WriteSettingsLine(char* text, const char* line) {
  std::strcpy(text, line);
}

}  // namespace kpl
