#include "registry_tree.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

#include "kpl/platform/registry.h"

namespace kpl::platform::registry {
namespace {

constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

constexpr const char* kHeader =
    "; kpl registry store. Keys in brackets, then their values: \"name\"=\"text\",\n"
    "; \"name\"=dword:hex digits, @ for a key's default value.\n";

template <class K>
auto* findNamed(std::vector<K>& items, const std::string& wanted) {
  auto it = std::find_if(items.begin(), items.end(),
                         [&](const K& item) { return SameName(item.name, wanted); });
  return it == items.end() ? nullptr : &*it;
}

template <class K>
auto* findNamed(const std::vector<K>& items, const std::string& wanted) {
  auto it = std::find_if(items.begin(), items.end(),
                         [&](const K& item) { return SameName(item.name, wanted); });
  return it == items.end() ? nullptr : &*it;
}

void appendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at `at`, leaving `at` after the closing quote.
bool readQuoted(const std::string& line, size_t& at, std::string& text, std::string& why) {
  if (at >= line.size() || line[at] != '"') {
    why = "a quoted text was expected";
    return false;
  }
  for (++at; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++at >= line.size()) break;
    switch (line[at]) {
      case '\\':
        text += '\\';
        break;
      case '"':
        text += '"';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case 't':
        text += '\t';
        break;
      case 'x': {
        const int high = at + 1 < line.size() ? hexDigit(line[at + 1]) : -1;
        const int low = at + 2 < line.size() ? hexDigit(line[at + 2]) : -1;
        if (high < 0 || low < 0) {
          why = "a \\x escape needs two hexadecimal digits";
          return false;
        }
        text += static_cast<char>(high * 16 + low);
        at += 2;
        break;
      }
      default:
        why = "unknown escape in a quoted text";
        return false;
    }
  }
  why = "a quoted text is not closed";
  return false;
}

std::string trimmed(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

void serialiseKey(std::string& out, const Key& key, std::string& path, bool isTop) {
  const size_t before = path.size();
  if (!isTop) {
    if (!path.empty()) path += '\\';
    path += key.name;
    const bool isRoot = before == 0;
    if (!isRoot || !key.values.empty()) out += "\n[" + path + "]\n";
    for (const Value& value : key.values) {
      if (value.name.empty())
        out += '@';
      else
        appendQuoted(out, value.name);
      out += '=';
      if (value.type == REG_DWORD) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", value.number);
        out += digits;
      } else {
        appendQuoted(out, value.text);
      }
      out += '\n';
    }
  }
  for (const Key& sub : key.subkeys)
    serialiseKey(out, sub, path, false);
  path.resize(before);
}

}  // namespace

bool IsValidKeyName(const std::string& name) {
  if (name.empty() || name.size() > kMaxRegistryKeyNameChars) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '\\' || byte < 0x20 || byte == 0x7F;
  });
}

std::optional<KeyPath> SplitKeyPath(const char* text) {
  KeyPath path;
  if (!text) return path;
  std::string level;
  for (const char* c = text;; ++c) {
    if (*c == '\\' || *c == '\0') {
      if (!level.empty()) {
        if (!IsValidKeyName(level)) return std::nullopt;
        path.push_back(level);
      }
      level.clear();
      if (*c == '\0') break;
    } else {
      level += *c;
      if (level.size() > kMaxRegistryKeyNameChars) return std::nullopt;
    }
  }
  return path;
}

bool IsRootKeyName(const std::string& name) {
  return std::any_of(std::begin(kRootNames), std::end(kRootNames),
                     [&](const char* root) { return name == root; });
}

Key* Key::findSubkey(const std::string& wanted) {
  return findNamed(subkeys, wanted);
}
const Key* Key::findSubkey(const std::string& wanted) const {
  return findNamed(subkeys, wanted);
}
Value* Key::findValue(const std::string& wanted) {
  return findNamed(values, wanted);
}
const Value* Key::findValue(const std::string& wanted) const {
  return findNamed(values, wanted);
}

const Key* Tree::find(const KeyPath& path) const {
  if (path.empty() || !IsRootKeyName(path.front())) return nullptr;
  const Key* key = &top_;
  for (const std::string& level : path)
    if (!(key = key->findSubkey(level))) return nullptr;
  return key;
}

Key* Tree::find(const KeyPath& path) {
  return const_cast<Key*>(std::as_const(*this).find(path));
}

Key* Tree::findOrCreate(const KeyPath& path, bool& created) {
  created = false;
  if (path.empty() || !IsRootKeyName(path.front())) return nullptr;
  Key* key = &top_;
  for (const std::string& level : path) {
    Key* next = key->findSubkey(level);
    if (!next) {
      key->subkeys.push_back(Key{level, {}, {}});
      next = &key->subkeys.back();
      created = true;
    }
    key = next;
  }
  return key;
}

std::string Tree::serialise() const {
  std::string out = kHeader;
  std::string path;
  serialiseKey(out, top_, path, true);
  return out;
}

std::optional<Tree> Tree::Parse(const std::string& text, ParseError& error) {
  Tree tree;
  Key* current = nullptr;
  size_t lineNumber = 0;
  size_t start = 0;
  auto fail = [&](std::string reason) {
    error = {lineNumber, std::move(reason)};
    return std::nullopt;
  };
  if (text.find('\0') != std::string::npos) {
    lineNumber = size_t(std::count(text.begin(), text.begin() + text.find('\0'), '\n')) + 1;
    return fail("the file holds a zero byte");
  }
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = trimmed(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line[0] == ';') continue;

    if (line[0] == '[') {
      if (line.back() != ']') return fail("a key line must end with ']'");
      const std::string inner = line.substr(1, line.size() - 2);
      KeyPath path;
      size_t from = 0;
      for (;;) {
        const size_t slash = inner.find('\\', from);
        const std::string level = inner.substr(from, slash - from);
        if (!IsValidKeyName(level)) return fail("'" + level + "' is not a valid key name");
        path.push_back(level);
        if (slash == std::string::npos) break;
        from = slash + 1;
      }
      if (!IsRootKeyName(path.front())) return fail("'" + path.front() + "' is not a root key");
      bool created = false;
      current = tree.findOrCreate(path, created);
      continue;
    }

    if (!current) return fail("a value line stands before any key line");
    Value value;
    size_t at = 0;
    std::string why;
    if (line[0] == '@') {
      at = 1;
    } else {
      if (!readQuoted(line, at, value.name, why)) return fail(why);
      if (value.name.empty()) return fail("a value name is empty (write @ for the default value)");
      if (value.name.size() > kMaxRegistryValueNameChars) return fail("a value name is too long");
    }
    if (at >= line.size() || line[at] != '=') return fail("'=' was expected after the value name");
    ++at;
    if (line.compare(at, 6, "dword:") == 0) {
      const std::string digits = line.substr(at + 6);
      const char* first = digits.data();
      const char* last = first + digits.size();
      const auto [stop, fault] = std::from_chars(first, last, value.number, 16);
      if (digits.empty() || digits.size() > 8 || fault != std::errc() || stop != last)
        return fail("a dword needs one to eight hexadecimal digits");
      value.type = REG_DWORD;
    } else {
      if (!readQuoted(line, at, value.text, why)) return fail(why);
      if (at != line.size()) return fail("text follows the closing quote");
      if (value.text.size() >= kMaxRegistryValueBytes) return fail("a text value is too long");
      value.type = REG_SZ;
    }
    if (Value* existing = current->findValue(value.name))
      *existing = std::move(value);
    else
      current->values.push_back(std::move(value));
  }
  return tree;
}

}  // namespace kpl::platform::registry
