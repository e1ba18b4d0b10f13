#pragma once
// printf-style numbered file names such as "frames/%03d.png": one %d conversion (with an
// optional 0 flag and width), "%%" for a literal percent sign. Parsed here rather than handed
// to printf, so a pattern from the command line can never be a format-string hole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kplhost {

class NumberedPath {
 public:
  // None when `text` holds no '%' at all (a plain file name); throws UsageError for a text
  // with '%' that is not exactly one number conversion.
  static std::optional<NumberedPath> Parse(std::string_view text);

  std::string at(uint32_t number) const;
  const std::string& pattern() const { return pattern_; }

 private:
  std::string pattern_, prefix_, suffix_;
  int width_ = 0;
  bool zeroPadded_ = false;
};

}  // namespace kplhost
