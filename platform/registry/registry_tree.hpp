#pragma once
// The registry's content in memory, and its text form on disk:
//
//   [HKEY_CURRENT_USER\Software\Maker\Application\Section]
//   "Name"="text"
//   "Count"=dword:0000001a
//   @="the key's default value"
//
// Keys and value names keep their case but are matched without regard to it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "../common/same_name.hpp"

namespace kpl::platform::registry {

struct Value {
  std::string name;   // empty: the key's default value
  uint32_t type = 0;  // REG_SZ or REG_DWORD
  std::string text;
  uint32_t number = 0;
};

struct Key {
  std::string name;
  std::vector<Value> values;
  std::vector<Key> subkeys;

  Key* findSubkey(const std::string& wanted);
  const Key* findSubkey(const std::string& wanted) const;
  Value* findValue(const std::string& wanted);
  const Value* findValue(const std::string& wanted) const;
};

// A key's place: the root key's name, then one name per level.
using KeyPath = std::vector<std::string>;

class Tree {
 public:
  const Key* find(const KeyPath& path) const;
  Key* find(const KeyPath& path);
  // Finds the key, creating the missing levels; `created` tells whether any level was new.
  // Null when the path does not start at a root key.
  Key* findOrCreate(const KeyPath& path, bool& created);

  std::string serialise() const;
  // Null (with the line and the reason) when the text is not a store.
  struct ParseError {
    size_t line;
    std::string reason;
  };
  static std::optional<Tree> Parse(const std::string& text, ParseError& error);

 private:
  Key top_;  // its subkeys are the root keys in use
};

using platform::SameName;
// A name one level of a key path may carry: 1 to 255 characters, no backslash, no control
// characters.
bool IsValidKeyName(const std::string& name);
// Splits "A\B\C" into levels, ignoring empty ones; null when a level is not a valid name.
std::optional<KeyPath> SplitKeyPath(const char* text);
// The names of the predefined root keys.
bool IsRootKeyName(const std::string& name);

}  // namespace kpl::platform::registry
