// kplhost registry: what modules remember in the per-user store, shown and changed by hand.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "arg_parser.hpp"
#include "commands.hpp"
#include "errors.hpp"
#include "kpl/platform/registry.h"

namespace kplhost {
namespace {

constexpr std::string_view kUsage = R"(Usage: kplhost registry list [KEY]
       kplhost registry get KEY [NAME]
       kplhost registry set KEY NAME VALUE [--type text|dword]

Shows and changes the per-user store in which modules remember settings from one run to the
next (the codec an AVI file was last written with, ...). The store is a text file in
$KPL_HOME, else $XDG_CONFIG_HOME/kpl, else ~/.config/kpl.

KEY is a key path such as
  'HKEY_CURRENT_USER\Software\Tessalbrook\FilePlugIns\AviPlugIn\Parameters'
HKCU, HKLM, HKCR, HKU and HKCC stand for the root keys. NAME @ is the key's default value.

  list   KEY (default HKEY_CURRENT_USER) and every key below it, with their values
  get    one value: a text as it stands, a number in decimal
  set    stores VALUE, creating the key when missing: as text, or with --type dword as a
         32-bit number (decimal, or hexadecimal after 0x). Without --type a value keeps
         the type it has; a new one is text. A VALUE that begins with '-' follows '--'.

Options:
  --type T     text or dword (set only)
  -h, --help   show this help
)";

constexpr OptionSpec kOptions[] = {{"type"}};

struct RootName {
  const char* full;
  const char* shortName;
  HKEY key;
};
constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

struct KeyPath {
  const RootName* root;
  std::string below;  // without leading backslashes
  std::string display() const { return below.empty() ? root->full : root->full + ("\\" + below); }
};

KeyPath parseKeyPath(const std::string& text) {
  const size_t slash = text.find('\\');
  const std::string first = text.substr(0, slash);
  for (const RootName& root : kRoots) {
    std::string upper = first;
    for (char& c : upper)
      c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper != root.full && upper != root.shortName) continue;
    std::string below = slash == std::string::npos ? "" : text.substr(slash + 1);
    while (below.starts_with("\\"))
      below.erase(0, 1);
    return {&root, below};
  }
  throw UsageError("registry: '" + text +
                   "' does not start with a root key such as HKEY_CURRENT_USER (or HKCU)");
}

// An open key, closed at scope end.
class OpenKey {
 public:
  OpenKey(const KeyPath& path, uint32_t access, bool create) {
    const int32_t status =
        create ? RegCreateKeyExA(path.root->key, path.below.c_str(), 0, nullptr, 0, access, nullptr,
                                 &key_, nullptr)
               : RegOpenKeyExA(path.root->key, path.below.c_str(), 0, access, &key_);
    if (status == ERROR_FILE_NOT_FOUND) throw Failure("no key " + path.display());
    if (status != ERROR_SUCCESS)
      throw Failure("cannot " + std::string(create ? "create" : "open") + " key " + path.display() +
                    " (error " + std::to_string(status) + ")");
  }
  ~OpenKey() { RegCloseKey(key_); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = 0;
};

struct StoredValue {
  std::string name;
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;

  std::string text() const {
    return std::string(reinterpret_cast<const char*>(data.data()),
                       data.empty() ? 0 : data.size() - 1);
  }
  int32_t number() const {
    int32_t value = 0;
    if (data.size() == sizeof value) std::memcpy(&value, data.data(), sizeof value);
    return value;
  }
};

std::string hexNumber(uint32_t value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "0x%08X", value);
  return digits;
}

// A text with its control characters made visible, in quotes.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::vector<StoredValue> valuesOf(HKEY key) {
  std::vector<StoredValue> values;
  for (uint32_t index = 0;; ++index) {
    std::vector<char> name(kMaxRegistryValueNameChars + 1);
    uint32_t nameChars = uint32_t(name.size()), type = 0, bytes = 0;
    int32_t status =
        RegEnumValueA(key, index, name.data(), &nameChars, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS)
      throw Failure("cannot list values (error " + std::to_string(status) + ")");
    StoredValue value{name.data(), type, std::vector<uint8_t>(bytes)};
    nameChars = uint32_t(name.size());
    status = RegEnumValueA(key, index, name.data(), &nameChars, nullptr, &value.type,
                           value.data.data(), &bytes);
    if (status != ERROR_SUCCESS) continue;  // changed meanwhile by another process
    value.data.resize(bytes);
    values.push_back(std::move(value));
  }
  return values;
}

std::vector<std::string> subkeysOf(HKEY key) {
  std::vector<std::string> names;
  for (uint32_t index = 0;; ++index) {
    char name[kMaxRegistryKeyNameChars + 1];
    uint32_t chars = sizeof name;
    const int32_t status =
        RegEnumKeyExA(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  return names;
}

void listKey(const KeyPath& path, bool& any) {
  const OpenKey key(path, KEY_READ, false);
  const std::vector<StoredValue> values = valuesOf(key.get());
  if (!path.below.empty() || !values.empty()) {
    any = true;
    std::cout << "\n" << path.display() << "\n";
    for (const StoredValue& value : values) {
      const std::string name = value.name.empty() ? "@" : value.name;
      std::cout << "  " << name << std::string(name.size() < 16 ? 16 - name.size() : 1, ' ');
      if (value.type == REG_DWORD)
        std::cout << "REG_DWORD  " << value.number() << " (" << hexNumber(uint32_t(value.number()))
                  << ")\n";
      else
        std::cout << "REG_SZ     " << quoted(value.text()) << "\n";
    }
  }
  for (const std::string& sub : subkeysOf(key.get()))
    listKey({path.root, path.below.empty() ? sub : path.below + "\\" + sub}, any);
}

std::optional<StoredValue> query(const OpenKey& key, const std::string& name) {
  const char* valueName = name == "@" ? nullptr : name.c_str();
  StoredValue value{name, REG_NONE, {}};
  uint32_t bytes = 0;
  int32_t status = RegQueryValueExA(key.get(), valueName, nullptr, &value.type, nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  value.data.resize(bytes);
  if (status == ERROR_SUCCESS)
    status =
        RegQueryValueExA(key.get(), valueName, nullptr, &value.type, value.data.data(), &bytes);
  if (status != ERROR_SUCCESS)
    throw Failure("cannot read value " + name + " (error " + std::to_string(status) + ")");
  value.data.resize(bytes);
  return value;
}

uint32_t parseDword(const std::string& text) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const std::string digits = hex ? text.substr(2) : text;
  try {
    size_t used = 0;
    const long long value = std::stoll(digits, &used, hex ? 16 : 10);
    if (used == digits.size() && !digits.empty() && value >= INT32_MIN && value <= UINT32_MAX &&
        !(hex && (digits[0] == '-' || digits[0] == '+')))
      return uint32_t(value);
  } catch (const std::exception&) {
  }
  throw UsageError("registry: '" + text +
                   "' is not a 32-bit number (decimal, or hexadecimal after 0x)");
}

int runList(const ParsedArgs& parsed) {
  if (parsed.positionals.size() > 2) throw UsageError("registry list: takes at most one KEY");
  const KeyPath path =
      parseKeyPath(parsed.positionals.size() == 2 ? parsed.positionals[1] : "HKEY_CURRENT_USER");
  char store[4096];
  RegGetStoreFileA(store, sizeof store);
  std::cout << "store " << store << "\n";
  bool any = false;
  listKey(path, any);
  if (!any) std::cout << "\n(no keys or values below " << path.display() << ")\n";
  return 0;
}

int runGet(const ParsedArgs& parsed) {
  if (parsed.positionals.size() < 2 || parsed.positionals.size() > 3)
    throw UsageError("registry get: name a KEY and at most one NAME (see kplhost registry --help)");
  const KeyPath path = parseKeyPath(parsed.positionals[1]);
  const std::string name = parsed.positionals.size() == 3 ? parsed.positionals[2] : "@";
  const OpenKey key(path, KEY_READ, false);
  const std::optional<StoredValue> value = query(key, name);
  if (!value)
    throw Failure(name == "@" ? "key " + path.display() + " has no default value"
                              : "no value " + name + " in key " + path.display());
  if (value->type == REG_DWORD)
    std::cout << value->number() << "\n";
  else
    std::cout << value->text() << "\n";
  return 0;
}

int runSet(const ParsedArgs& parsed) {
  if (parsed.positionals.size() != 4)
    throw UsageError("registry set: name KEY, NAME and VALUE (see kplhost registry --help)");
  const KeyPath path = parseKeyPath(parsed.positionals[1]);
  const std::string& name = parsed.positionals[2];
  const std::string& text = parsed.positionals[3];
  std::optional<uint32_t> type;
  if (const auto given = parsed.value("type")) {
    if (*given == "text" || *given == "sz" || *given == "REG_SZ")
      type = REG_SZ;
    else if (*given == "dword" || *given == "REG_DWORD")
      type = REG_DWORD;
    else
      throw UsageError("registry set: --type is text or dword, not '" + *given + "'");
  }
  const OpenKey key(path, KEY_READ | KEY_WRITE, true);
  if (!type) {
    const std::optional<StoredValue> existing = query(key, name);
    type = existing && existing->type == REG_DWORD ? REG_DWORD : REG_SZ;
  }
  const char* valueName = name == "@" ? nullptr : name.c_str();
  int32_t status;
  if (*type == REG_DWORD) {
    const uint32_t number = parseDword(text);
    status = RegSetValueExA(key.get(), valueName, 0, REG_DWORD,
                            reinterpret_cast<const uint8_t*>(&number), sizeof number);
  } else {
    if (text.size() >= kMaxRegistryValueBytes) throw UsageError("registry set: VALUE is too long");
    status =
        RegSetValueExA(key.get(), valueName, 0, REG_SZ,
                       reinterpret_cast<const uint8_t*>(text.c_str()), uint32_t(text.size() + 1));
  }
  if (status != ERROR_SUCCESS)
    throw Failure("cannot store value " + name + " in key " + path.display() + " (error " +
                  std::to_string(status) + ")");
  return 0;
}

}  // namespace

int RunRegistryCommand(std::span<const std::string> args) {
  const ParsedArgs parsed = ParseArgs("registry", args, kOptions);
  if (parsed.help) {
    std::cout << kUsage;
    return 0;
  }
  if (parsed.positionals.empty())
    throw UsageError("registry: name an action: list, get or set (see kplhost registry --help)");
  const std::string& action = parsed.positionals[0];
  if (action != "set" && parsed.has("type"))
    throw UsageError("registry: --type goes with set only");
  if (action == "list") return runList(parsed);
  if (action == "get") return runGet(parsed);
  if (action == "set") return runSet(parsed);
  throw UsageError("registry: unknown action '" + action + "' (list, get or set)");
}

}  // namespace kplhost
