// Code page 1252 letters: ASCII, the Latin-1 range 0xC0-0xFE less the multiplication and
// division signs, and the four letters the code page adds in 0x80-0x9F (S/Z caron, OE, Y
// diaeresis). Sharp s and micro sign have no single-byte capital and stay as they are.
#include <array>
#include <cstring>

#include "kpl/platform/text.h"

namespace {

struct CaseTables {
  std::array<unsigned char, 256> lower{};
  std::array<unsigned char, 256> upper{};
  constexpr CaseTables() {
    for (int c = 0; c < 256; ++c)
      lower[c] = upper[c] = static_cast<unsigned char>(c);
    auto pair = [this](int capital, int small) {
      lower[capital] = static_cast<unsigned char>(small);
      upper[small] = static_cast<unsigned char>(capital);
    };
    for (int c = 'A'; c <= 'Z'; ++c)
      pair(c, c + 0x20);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) pair(c, c + 0x20);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
  }
};

constexpr CaseTables kCase;

uint32_t mapInPlace(char* text, uint32_t length, const std::array<unsigned char, 256>& table) {
  if (!text) return 0;
  for (uint32_t i = 0; i < length; ++i)
    text[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
  return length;
}

}  // namespace

extern "C" {
uint32_t CharLowerBuffA(char* text, uint32_t length) {
  return mapInPlace(text, length, kCase.lower);
}
uint32_t CharUpperBuffA(char* text, uint32_t length) {
  return mapInPlace(text, length, kCase.upper);
}
char* CharLowerA(char* text) {
  if (text) mapInPlace(text, static_cast<uint32_t>(std::strlen(text)), kCase.lower);
  return text;
}
char* CharUpperA(char* text) {
  if (text) mapInPlace(text, static_cast<uint32_t>(std::strlen(text)), kCase.upper);
  return text;
}
}
