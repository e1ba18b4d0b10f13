#include "numbered_path.hpp"

#include <cctype>

#include "errors.hpp"

namespace kplhost {

std::optional<NumberedPath> NumberedPath::Parse(std::string_view text) {
  if (text.find('%') == std::string_view::npos) return std::nullopt;
  NumberedPath path;
  path.pattern_ = text;
  auto malformed = [&] {
    std::string message(text);  // appended piecewise: GCC 12 misreports "..." + string here
    message += " must hold exactly one number like %d or %03d (write %% for a percent sign)";
    return UsageError(message);
  };
  bool converted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string& literal = converted ? path.suffix_ : path.prefix_;
    if (text[i] != '%') {
      literal += text[i];
      continue;
    }
    if (++i < text.size() && text[i] == '%') {
      literal += '%';
      continue;
    }
    if (converted) throw malformed();
    if (i < text.size() && text[i] == '0') {
      path.zeroPadded_ = true;
      ++i;
    }
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
      path.width_ = path.width_ * 10 + (text[i] - '0');
      if (path.width_ > 18) throw malformed();
    }
    if (i >= text.size() || (text[i] != 'd' && text[i] != 'i' && text[i] != 'u')) throw malformed();
    converted = true;
  }
  if (!converted) throw malformed();
  return path;
}

std::string NumberedPath::at(uint32_t number) const {
  std::string digits = std::to_string(number);
  if (digits.size() < size_t(width_))
    digits.insert(0, size_t(width_) - digits.size(), zeroPadded_ ? '0' : ' ');
  return prefix_ + digits + suffix_;
}

}  // namespace kplhost
