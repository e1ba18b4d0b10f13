#include "kpl/support/ini_mgr.hpp"

#include <charconv>
#include <cstring>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "kpl/platform/message_box.h"
#include "kpl/platform/profile.h"
#include "kpl/platform/text.h"

namespace kpl {

bool TypedRegistryValues = false;

namespace {

constexpr size_t kMaxNameChars = 255;
constexpr size_t kDynamicTextBufferBytes = 16384;
constexpr size_t kNumberBufferBytes = 256;

struct SettingEntry {
  std::string section;
  std::string key;
  uint16_t flags;
  void* variable;
  uint16_t maximumLength;

  uint16_t kind() const { return flags & kSettingKindMask; }
  bool hexadecimal() const { return flags & kSettingHexadecimal; }
};

bool isTextKind(uint16_t kind) {
  return kind == KindFixedText || kind == KindCountedText || kind == KindDynamicText;
}
bool isIntegerKind(uint16_t kind) {
  return kind >= KindInt32 && kind <= KindUInt8;
}
bool isFloatKind(uint16_t kind) {
  return kind >= KindReal64 && kind <= KindFloat64;
}
bool isTruthKind(uint16_t kind) {
  return kind == KindBool32 || kind == KindBool8;
}
bool isKnownKind(uint16_t kind) {
  return isTextKind(kind) || isIntegerKind(kind) || isFloatKind(kind) || isTruthKind(kind);
}

// Bytes the variable occupies (text kinds: the buffer; the dynamic text has none fixed).
size_t widthOf(uint16_t kind, uint16_t maximumLength) {
  switch (kind) {
    case KindFixedText:
    case KindCountedText:
      return size_t(maximumLength) + 1;
    case KindInt8:
    case KindUInt8:
    case KindBool8:
      return 1;
    case KindUInt16:
      return 2;
    case KindReal64:
    case KindFloat64:
      return 8;
    case KindDynamicText:
      return 0;
    default:
      return 4;
  }
}

// The variable's number, as the registry keeps it and as its decimal text shows it.
int64_t numberOf(const SettingEntry& entry) {
  const void* v = entry.variable;
  switch (entry.kind()) {
    case KindInt8:
      return *static_cast<const int8_t*>(v);
    case KindUInt16:
      return *static_cast<const uint16_t*>(v);
    case KindUInt8:
      return *static_cast<const uint8_t*>(v);
    case KindBool8:
      return *static_cast<const uint8_t*>(v) != 0;
    case KindBool32:
      return *static_cast<const int32_t*>(v) != 0;
    default:
      return *static_cast<const int32_t*>(v);
  }
}

void storeNumber(const SettingEntry& entry, int32_t value) {
  void* v = entry.variable;
  switch (entry.kind()) {
    case KindInt8:
      *static_cast<int8_t*>(v) = int8_t(value);
      break;
    case KindUInt16:
      *static_cast<uint16_t*>(v) = uint16_t(value);
      break;
    case KindUInt8:
      *static_cast<uint8_t*>(v) = uint8_t(value);
      break;
    default:
      *static_cast<int32_t*>(v) = value;
      break;
  }
}

// Blanks, a sign, then decimal digits, or hexadecimal ones after "$" (or "0x"); nothing else.
std::optional<int32_t> parseInteger(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  const auto [stop, fault] =
      std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (fault != std::errc() || stop != text.data() + text.size()) return std::nullopt;
  if (base == 16) {
    // Hexadecimal digits give the bit pattern of the 32-bit number.
    if (magnitude > UINT32_MAX) return std::nullopt;
    const uint32_t bits = uint32_t(magnitude);
    return int32_t(negative ? 0u - bits : bits);
  }
  const int64_t value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  if (magnitude > uint64_t(INT32_MAX) + 1 || value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  return int32_t(value);
}

template <class Float>
std::optional<Float> parseFloat(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  if (text.starts_with("+")) text.remove_prefix(1);
  Float value{};
  const auto [stop, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || fault != std::errc() || stop != text.data() + text.size())
    return std::nullopt;
  return value;
}

template <class Float>
std::string floatText(Float value) {
  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

std::string hexText(uint64_t bits, size_t width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(width * 2, '0');
  for (size_t i = 0; i < text.size(); ++i)
    text[text.size() - 1 - i] = kDigits[(bits >> (4 * i)) & 15];
  return text;
}

// The text form of the variable, as the INI file and the untyped registry keep it.
std::string textOf(const SettingEntry& entry) {
  const void* v = entry.variable;
  switch (entry.kind()) {
    case KindFixedText:
      return std::string(static_cast<const char*>(v),
                         strnlen(static_cast<const char*>(v), entry.maximumLength));
    case KindCountedText: {
      const auto* counted = static_cast<const unsigned char*>(v);
      const size_t length =
          std::min<size_t>(counted[0], std::min<size_t>(entry.maximumLength, 255));
      return std::string(reinterpret_cast<const char*>(counted + 1), length);
    }
    case KindDynamicText:
      return *static_cast<const std::string*>(v);
    case KindReal64:
    case KindFloat64:
      return floatText(*static_cast<const double*>(v));
    case KindFloat32:
      return floatText(*static_cast<const float*>(v));
    case KindBool32:
    case KindBool8:
      return numberOf(entry) ? "1" : "0";
    default:
      break;
  }
  const int64_t number = numberOf(entry);
  if (entry.hexadecimal()) return hexText(uint64_t(number), widthOf(entry.kind(), 0));
  return std::to_string(number);
}

// Converts a stored text into the variable; false when it is not a value of the kind (the
// variable is then left as it was).
bool convertInto(const SettingEntry& entry, std::string text) {
  void* v = entry.variable;
  switch (entry.kind()) {
    case KindFixedText: {
      const size_t length = std::min<size_t>(text.size(), entry.maximumLength);
      std::memcpy(v, text.data(), length);
      static_cast<char*>(v)[length] = '\0';
      return true;
    }
    case KindCountedText: {
      const size_t room = std::min<size_t>(entry.maximumLength, 255);
      const size_t length = std::min(text.size(), room);
      auto* counted = static_cast<unsigned char*>(v);
      counted[0] = static_cast<unsigned char>(length);
      std::memcpy(counted + 1, text.data(), length);
      return true;
    }
    case KindDynamicText:
      *static_cast<std::string*>(v) = std::move(text);
      return true;
    case KindReal64:
    case KindFloat64:
      if (const auto value = parseFloat<double>(text)) {
        *static_cast<double*>(v) = *value;
        return true;
      }
      return false;
    case KindFloat32:
      if (const auto value = parseFloat<float>(text)) {
        *static_cast<float*>(v) = *value;
        return true;
      }
      return false;
    case KindBool32:
    case KindBool8: {
      CharLowerBuffA(text.data(), uint32_t(text.size()));
      const bool truth = text == "1" || text == "true" || text == "on" || text == "yes";
      if (entry.kind() == KindBool32)
        *static_cast<int32_t*>(v) = truth ? -1 : 0;
      else
        *static_cast<uint8_t*>(v) = truth ? 1 : 0;
      return true;
    }
    default:
      if (const auto value = parseInteger(text)) {
        storeNumber(entry, *value);
        return true;
      }
      return false;
  }
}

void copyDefault(const SettingEntry& entry, const void* defaultValue) {
  if (!defaultValue) return;
  if (entry.kind() == KindDynamicText) {
    auto& variable = *static_cast<std::string*>(entry.variable);
    const char* text = static_cast<const char*>(defaultValue);
    if (text != variable.c_str()) variable.assign(text);
    return;
  }
  // The default may be the variable itself.
  std::memmove(entry.variable, defaultValue, widthOf(entry.kind(), entry.maximumLength));
}

// An open registry key, closed at scope end.
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = 0;
};

// Module-wide state of the store. Its end, when the module is unloaded, writes what is kept.
class SettingsStore {
 public:
  ~SettingsStore() {
    try {
      freeSettings();
    } catch (...) {
    }
  }

  void setRegistryRoot(HKEY root, const char* path) {
    root_ = root;
    rootPath_ = std::string(path ? path : "");
  }

  void setApplicationName(const char* name) {
    if (!name || !*name) {
      applicationName_.reset();
      return;
    }
    std::string copy(name, strnlen(name, kMaxNameChars));
    if (!rootPath_) {
      CharLowerBuffA(copy.data(), uint32_t(copy.size()));
      if (copy.find(".ini") == std::string::npos) copy += ".ini";
    }
    applicationName_ = std::move(copy);
  }

  void registerSetting(const char* section, const char* key, uint16_t flags, void* variable,
                       const void* defaultValue, uint16_t maximumLength) {
    if (!variable || !isKnownKind(flags & kSettingKindMask)) return;
    SettingEntry entry{section ? section : "", key ? key : "", flags, variable, maximumLength};
    if (!applicationName_) {
      // Refusing the registration keeps the host and the user's work alive; the variable
      // still gets its default, as for a value that is not stored.
      MessageBoxA(0, "INI MANAGER ERROR: Use SetApplicationName(<name>) to set application name!",
                  "INI MANAGER", MB_OK);
      if (!(flags & kSettingWriteNow)) copyDefault(entry, defaultValue);
      return;
    }
    if (flags & kSettingWriteNow) {
      write(entry);
      return;
    }
    if (!read(entry)) copyDefault(entry, defaultValue);
    if (!(flags & kSettingReadOnly)) entries_.push_back(std::move(entry));
  }

  void saveSettings() {
    for (const SettingEntry& entry : entries_)
      write(entry);
  }

  void freeSettings() {
    if (!shutDown_) {
      while (!entries_.empty()) {
        write(entries_.front());
        entries_.pop_front();
      }
      rootPath_.reset();
      applicationName_.reset();
    }
    shutDown_ = true;
  }

 private:
  std::string sectionPath(const SettingEntry& entry) const {
    return rootPath_->substr(0, kMaxNameChars) + "\\" + *applicationName_ + "\\" + entry.section;
  }
  bool typedRegistry() const { return rootPath_ && TypedRegistryValues; }

  // The stored text, or none when the value is absent (or stored as the not-found marker).
  std::optional<std::string> fetch(const SettingEntry& entry) const {
    const uint16_t kind = entry.kind();
    size_t bufferBytes = kNumberBufferBytes;
    if (kind == KindDynamicText)
      bufferBytes = kDynamicTextBufferBytes;
    else if (isTextKind(kind))
      bufferBytes = std::max<size_t>(widthOf(kind, entry.maximumLength), 6);
    std::vector<char> buffer(bufferBytes + 1, '\0');
    std::strcpy(buffer.data(), kSettingNotFound);

    if (!rootPath_) {
      GetPrivateProfileStringA(entry.section.c_str(), entry.key.c_str(), kSettingNotFound,
                               buffer.data(), uint32_t(bufferBytes), applicationName_->c_str());
    } else if (!TypedRegistryValues) {
      KeyHandle key;
      const std::string path = sectionPath(entry) + "\\" + entry.key;
      uint32_t type = 0, bytes = uint32_t(bufferBytes);
      if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS ||
          RegQueryValueExA(key.get(), nullptr, nullptr, &type,
                           reinterpret_cast<uint8_t*>(buffer.data()), &bytes) != ERROR_SUCCESS ||
          type != REG_SZ)
        return std::nullopt;
    } else {
      KeyHandle key;
      if (RegOpenKeyExA(root_, sectionPath(entry).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return std::nullopt;
      uint32_t type = 0;
      if (isIntegerKind(kind) || isTruthKind(kind)) {
        int32_t number = 0;
        uint32_t bytes = sizeof number;
        if (RegQueryValueExA(key.get(), entry.key.c_str(), nullptr, &type,
                             reinterpret_cast<uint8_t*>(&number), &bytes) != ERROR_SUCCESS ||
            type != REG_DWORD || bytes != sizeof number)
          return std::nullopt;
        return std::to_string(number);
      }
      uint32_t bytes = uint32_t(bufferBytes);
      if (RegQueryValueExA(key.get(), entry.key.c_str(), nullptr, &type,
                           reinterpret_cast<uint8_t*>(buffer.data()), &bytes) != ERROR_SUCCESS ||
          type != REG_SZ)
        return std::nullopt;
    }
    std::string text(buffer.data());
    if (text == kSettingNotFound) return std::nullopt;
    return text;
  }

  bool read(const SettingEntry& entry) const {
    std::optional<std::string> text = fetch(entry);
    if (!text) return false;
    // Hexadecimal digits are marked as such; typed registry numbers are already decimal.
    if (entry.hexadecimal() && isIntegerKind(entry.kind()) && !typedRegistry()) *text = "$" + *text;
    return convertInto(entry, std::move(*text));
  }

  void write(const SettingEntry& entry) const {
    if (entry.flags & kSettingReadOnly) return;
    if (!applicationName_) return;
    const uint16_t kind = entry.kind();

    if (!rootPath_) {
      WritePrivateProfileStringA(entry.section.c_str(), entry.key.c_str(), textOf(entry).c_str(),
                                 applicationName_->c_str());
    } else if (TypedRegistryValues) {
      KeyHandle key;
      if (RegCreateKeyExA(root_, sectionPath(entry).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return;
      if (isIntegerKind(kind) || isTruthKind(kind)) {
        const uint32_t number = uint32_t(numberOf(entry));
        RegSetValueExA(key.get(), entry.key.c_str(), 0, REG_DWORD,
                       reinterpret_cast<const uint8_t*>(&number), sizeof number);
      } else {
        const std::string text = textOf(entry);
        RegSetValueExA(key.get(), entry.key.c_str(), 0, REG_SZ,
                       reinterpret_cast<const uint8_t*>(text.c_str()), uint32_t(text.size() + 1));
      }
    } else {
      KeyHandle key;
      const std::string path = sectionPath(entry) + "\\" + entry.key;
      if (RegCreateKeyExA(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
        MessageBoxA(0, "Unable to create key in registration database", "Error accessing REGEDIT",
                    MB_OK);
        return;
      }
      const std::string text = textOf(entry);
      RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                     uint32_t(text.size()));
    }
  }

  HKEY root_ = 0;
  std::optional<std::string> rootPath_;
  std::optional<std::string> applicationName_;
  std::list<SettingEntry> entries_;
  bool shutDown_ = false;
};

SettingsStore& store() {
  static SettingsStore instance;
  return instance;
}

}  // namespace

void SetRegistryRoot(HKEY rootKey, const char* rootPath) {
  store().setRegistryRoot(rootKey, rootPath);
}

void SetApplicationName(const char* name) {
  store().setApplicationName(name);
}

void RegisterSetting(const char* section, const char* key, uint16_t flags, void* variable,
                     const void* defaultValue, uint16_t maximumLength) {
  store().registerSetting(section, key, flags, variable, defaultValue, maximumLength);
}

void SaveSettings() {
  store().saveSettings();
}

void FreeSettings() {
  store().freeSettings();
}

}  // namespace kpl
