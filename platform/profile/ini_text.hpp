#pragma once
// The text of an INI file: "[section]" lines, "key=value" lines below them, ";" comments.
// Sections and keys are matched without regard to case; the first match counts. Edits keep
// every other line (comments included) as it was.
#include <optional>
#include <string>
#include <vector>

namespace kpl::platform::profile {

std::optional<std::string> FindValue(const std::string& text, const std::string& section,
                                     const std::string& key);
std::vector<std::string> SectionNames(const std::string& text);
std::vector<std::string> KeyNames(const std::string& text, const std::string& section);

// Sets (or, with no value, removes) a key; answers whether the text changed.
bool SetValue(std::string& text, const std::string& section, const std::string& key,
              const std::optional<std::string>& value);
// Removes a section with its keys; answers whether the text changed.
bool RemoveSection(std::string& text, const std::string& section);

// Texts a line of the file can carry: no line breaks, no "=" in a key (nor a leading "[" or
// ";"), no "]" in a section.
bool IsValidSection(const std::string& section);
bool IsValidKey(const std::string& key);
bool IsValidValue(const std::string& value);

}  // namespace kpl::platform::profile
