#include "ini_text.hpp"

#include <algorithm>

#include "../common/same_name.hpp"

namespace kpl::platform::profile {
namespace {

using platform::SameName;

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

struct Line {
  enum Kind { kOther, kSection, kEntry } kind = kOther;
  std::string name;  // section name, or key
  std::string value;
};

Line classify(const std::string& raw) {
  const std::string line = trimmed(raw);
  if (line.empty() || line[0] == ';') return {};
  if (line[0] == '[') {
    const size_t close = line.find(']');
    if (close == std::string::npos) return {};
    return {Line::kSection, trimmed(line.substr(1, close - 1)), {}};
  }
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return {};
  std::string value = trimmed(line.substr(equals + 1));
  // Quotes protect blanks at either end of a value.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return {Line::kEntry, trimmed(line.substr(0, equals)), value};
}

struct Lines {
  std::vector<std::string> raw;
  std::string newline = "\n";
};

Lines split(const std::string& text) {
  Lines lines;
  if (text.find("\r\n") != std::string::npos) lines.newline = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.raw.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string join(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines.raw)
    text += line + lines.newline;
  return text;
}

// Index range [first, last) of the lines of the first section named `section`, header
// excluded; first == npos when there is none.
std::pair<size_t, size_t> sectionRange(const Lines& lines, const std::string& section) {
  size_t first = std::string::npos;
  for (size_t i = 0; i < lines.raw.size(); ++i) {
    const Line line = classify(lines.raw[i]);
    if (line.kind != Line::kSection) continue;
    if (first != std::string::npos) return {first, i};
    if (SameName(line.name, section)) first = i + 1;
  }
  return {first, lines.raw.size()};
}

std::string entryLine(const std::string& key, const std::string& value) {
  const bool guard =
      !value.empty() &&
      (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
       value.back() == '\t' || (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
  return key + "=" + (guard ? "\"" + value + "\"" : value);
}

bool hasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos || text.find('\0') != std::string::npos;
}

}  // namespace

bool IsValidSection(const std::string& section) {
  return !hasLineBreak(section) && section.find(']') == std::string::npos &&
         trimmed(section) == section;
}

bool IsValidKey(const std::string& key) {
  return !key.empty() && !hasLineBreak(key) && key.find('=') == std::string::npos &&
         key.front() != '[' && key.front() != ';' && trimmed(key) == key;
}

bool IsValidValue(const std::string& value) {
  return !hasLineBreak(value);
}

std::optional<std::string> FindValue(const std::string& text, const std::string& section,
                                     const std::string& key) {
  const Lines lines = split(text);
  const auto [first, last] = sectionRange(lines, section);
  if (first == std::string::npos) return std::nullopt;
  for (size_t i = first; i < last; ++i) {
    Line line = classify(lines.raw[i]);
    if (line.kind == Line::kEntry && SameName(line.name, key)) return std::move(line.value);
  }
  return std::nullopt;
}

std::vector<std::string> SectionNames(const std::string& text) {
  std::vector<std::string> names;
  for (const std::string& raw : split(text).raw) {
    Line line = classify(raw);
    if (line.kind != Line::kSection) continue;
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& seen) { return SameName(seen, line.name); }))
      names.push_back(std::move(line.name));
  }
  return names;
}

std::vector<std::string> KeyNames(const std::string& text, const std::string& section) {
  std::vector<std::string> names;
  const Lines lines = split(text);
  const auto [first, last] = sectionRange(lines, section);
  if (first == std::string::npos) return names;
  for (size_t i = first; i < last; ++i) {
    Line line = classify(lines.raw[i]);
    if (line.kind == Line::kEntry &&
        std::none_of(names.begin(), names.end(),
                     [&](const std::string& seen) { return SameName(seen, line.name); }))
      names.push_back(std::move(line.name));
  }
  return names;
}

bool SetValue(std::string& text, const std::string& section, const std::string& key,
              const std::optional<std::string>& value) {
  Lines lines = split(text);
  const auto [first, last] = sectionRange(lines, section);
  if (first == std::string::npos) {
    if (!value) return false;
    if (!lines.raw.empty() && !trimmed(lines.raw.back()).empty()) lines.raw.emplace_back();
    lines.raw.push_back("[" + section + "]");
    lines.raw.push_back(entryLine(key, *value));
    text = join(lines);
    return true;
  }
  size_t insertAt = first;
  for (size_t i = first; i < last; ++i) {
    const Line line = classify(lines.raw[i]);
    if (line.kind == Line::kEntry && SameName(line.name, key)) {
      if (!value) {
        lines.raw.erase(lines.raw.begin() + ptrdiff_t(i));
      } else {
        const std::string replacement = entryLine(line.name, *value);
        if (lines.raw[i] == replacement) return false;
        lines.raw[i] = replacement;
      }
      text = join(lines);
      return true;
    }
    if (!trimmed(lines.raw[i]).empty()) insertAt = i + 1;
  }
  if (!value) return false;
  lines.raw.insert(lines.raw.begin() + ptrdiff_t(insertAt), entryLine(key, *value));
  text = join(lines);
  return true;
}

bool RemoveSection(std::string& text, const std::string& section) {
  Lines lines = split(text);
  const auto [first, last] = sectionRange(lines, section);
  if (first == std::string::npos) return false;
  lines.raw.erase(lines.raw.begin() + ptrdiff_t(first - 1), lines.raw.begin() + ptrdiff_t(last));
  text = join(lines);
  return true;
}

}  // namespace kpl::platform::profile
