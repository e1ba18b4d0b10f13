#pragma once
// Settings lines: KEY=value texts written in upper case and recognised after lower-casing.
#include <cstdint>

namespace kpl {

// The number rule of settings values: blanks, an optional sign, decimal digits or hexadecimal
// digits after "$", "x", "X", "0x" or "0X". When the text ends inside the number the sign is
// applied; when reading stops early the digits read so far count, without the sign.
int32_t ReadNumber(const char* text);

// Lower-cases the caller's text in place (code page 1252).
void LowerCaseInPlace(char* text);
// True when the (already lower-cased) line contains `key` anywhere.
bool LineContains(const char* line, const char* key);
// The text after the first "=", or the whole line when it has none.
const char* ValueOf(const char* line);
// Writes "KEY=value" with the value in decimal.
void WriteSettingsLine(char* text, const char* key, int32_t value);
// Writes a fixed line.
void WriteSettingsLine(char* text, const char* line);

}  // namespace kpl
