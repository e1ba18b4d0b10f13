// The registry calls over the store file: reads parse the file as it stands; changes lock it,
// read it again, change it and replace it atomically.
#include "kpl/platform/registry.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "../common/handle_table.hpp"
#include "../common/locked_file.hpp"
#include "../common/store_home.hpp"
#include "registry_tree.hpp"

namespace kpl::platform::registry {
namespace {

constexpr int32_t kErrorCantRead = 1012;

struct OpenKey {
  KeyPath path;
  uint32_t access = 0;
};

// Values that are 2 modulo 4, apart from memory blocks and icons.
HandleTable<OpenKey>& openKeys() {
  static HandleTable<OpenKey> table(0x60000002, 4);
  return table;
}

std::optional<OpenKey> resolve(HKEY key) {
  switch (key) {
    case HKEY_CLASSES_ROOT:
      return OpenKey{{"HKEY_CLASSES_ROOT"}, KEY_ALL_ACCESS};
    case HKEY_CURRENT_USER:
      return OpenKey{{"HKEY_CURRENT_USER"}, KEY_ALL_ACCESS};
    case HKEY_LOCAL_MACHINE:
      return OpenKey{{"HKEY_LOCAL_MACHINE"}, KEY_ALL_ACCESS};
    case HKEY_USERS:
      return OpenKey{{"HKEY_USERS"}, KEY_ALL_ACCESS};
    case HKEY_CURRENT_CONFIG:
      return OpenKey{{"HKEY_CURRENT_CONFIG"}, KEY_ALL_ACCESS};
    default:
      break;
  }
  return openKeys().with(
      key, [](const OpenKey* open) { return open ? std::optional<OpenKey>(*open) : std::nullopt; });
}

std::string storeFile() {
  return StorePath("registry.reg");
}

// A store file that cannot be read as one is moved aside (under the lock, so only one process
// does it and reports it) and a new store begins; it is never overwritten.
Tree setAsideUnreadable(const LockedFile& file, const std::string& why) {
  const std::string keptAs = file.setAside("unreadable");
  if (keptAs.empty())
    std::fprintf(stderr, "kpl: the registry store %s cannot be read (%s) nor moved aside\n",
                 storeFile().c_str(), why.c_str());
  else
    std::fprintf(stderr,
                 "kpl: the registry store %s cannot be read (%s); it was kept as %s and a new "
                 "store begun\n",
                 storeFile().c_str(), why.c_str(), keptAs.c_str());
  return Tree();
}

std::string describe(const Tree::ParseError& error) {
  return "line " + std::to_string(error.line) + ": " + error.reason;
}

// The tree under the lock: the file's content, or a new one when the file was set aside.
std::optional<Tree> readLocked(const LockedFile& file) {
  const FileText content = file.read();
  if (content.status == ReadStatus::kTooLarge)
    return setAsideUnreadable(file, "larger than any store grows");
  if (content.status != ReadStatus::kRead) return std::nullopt;
  Tree::ParseError error{};
  if (std::optional<Tree> tree = Tree::Parse(content.text, error)) return tree;
  return setAsideUnreadable(file, describe(error));
}

// The store as it stands, for reading.
std::optional<Tree> load() {
  const std::string path = storeFile();
  const FileText content = ReadStoreFile(path);
  if (content.status == ReadStatus::kAbsent) return Tree();
  if (content.status == ReadStatus::kRead) {
    Tree::ParseError error{};
    if (std::optional<Tree> tree = Tree::Parse(content.text, error)) return tree;
  } else if (content.status != ReadStatus::kTooLarge) {
    return std::nullopt;
  }
  // Unreadable: look again under the lock, where it is set aside if it still is.
  const std::optional<LockedFile> file = LockedFile::Acquire(path);
  if (!file) return std::nullopt;
  return readLocked(*file);
}

// Runs `change` on the store under the lock; writes the store when it reports a change.
int32_t modify(const std::function<int32_t(Tree&, bool& changed)>& change) {
  const std::optional<LockedFile> file = LockedFile::Acquire(storeFile());
  if (!file) return ERROR_CANTWRITE;
  std::optional<Tree> tree = readLocked(*file);
  if (!tree) return kErrorCantRead;
  bool changed = false;
  const int32_t result = change(*tree, changed);
  if (result != ERROR_SUCCESS || !changed) return result;
  return file->replace(tree->serialise()) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

KeyPath joined(KeyPath path, const KeyPath& below) {
  path.insert(path.end(), below.begin(), below.end());
  return path;
}

// Copies a value's data as the query calls answer it.
int32_t answerData(const Value& value, uint32_t* type, uint8_t* data, uint32_t* dataBytes) {
  const uint32_t needed = value.type == REG_DWORD ? 4u : uint32_t(value.text.size() + 1);
  if (type) *type = value.type;
  if (!data) {
    if (dataBytes) *dataBytes = needed;
    return ERROR_SUCCESS;
  }
  if (!dataBytes) return ERROR_INVALID_PARAMETER;
  const uint32_t room = *dataBytes;
  *dataBytes = needed;
  if (room < needed) return ERROR_MORE_DATA;
  if (value.type == REG_DWORD)
    std::memcpy(data, &value.number, 4);
  else
    std::memcpy(data, value.text.c_str(), needed);
  return ERROR_SUCCESS;
}

int32_t answerName(const std::string& name, char* buffer, uint32_t* chars) {
  if (!buffer || !chars) return ERROR_INVALID_PARAMETER;
  if (*chars < name.size() + 1) {
    *chars = uint32_t(name.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *chars = uint32_t(name.size());
  return ERROR_SUCCESS;
}

std::string valueName(const char* name) {
  return name ? name : "";
}

// Runs `body` with the opened key's stored content, or answers why it cannot.
template <class Body>
int32_t withStoredKey(HKEY key, uint32_t accessNeeded, Body&& body) {
  const std::optional<OpenKey> open = resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if ((open->access & accessNeeded) != accessNeeded) return ERROR_ACCESS_DENIED;
  const std::optional<Tree> tree = load();
  if (!tree) return kErrorCantRead;
  const Key* stored = tree->find(open->path);
  if (!stored) return open->path.size() == 1 ? ERROR_NO_MORE_ITEMS : ERROR_FILE_NOT_FOUND;
  return body(*stored);
}

template <class Body>
int32_t guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ERROR_INVALID_PARAMETER;
  }
}

}  // namespace
}  // namespace kpl::platform::registry

using namespace kpl::platform;
using namespace kpl::platform::registry;

extern "C" {

int32_t RegCreateKeyExA(HKEY key, const char* subKey, uint32_t, char*, uint32_t, uint32_t access,
                        const void*, HKEY* result, uint32_t* disposition) {
  return guarded([&]() -> int32_t {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = 0;
    const std::optional<OpenKey> parent = resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    const std::optional<KeyPath> below = SplitKeyPath(subKey);
    if (!below) return ERROR_INVALID_PARAMETER;
    const KeyPath path = joined(parent->path, *below);
    bool created = false;
    const int32_t status = modify([&](Tree& tree, bool& changed) -> int32_t {
      if (!tree.find(path) && !(parent->access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      if (!tree.findOrCreate(path, created)) return ERROR_INVALID_PARAMETER;
      changed = created;
      return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    *result = openKeys().add(OpenKey{path, access});
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

int32_t RegOpenKeyExA(HKEY key, const char* subKey, uint32_t, uint32_t access, HKEY* result) {
  return guarded([&]() -> int32_t {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = 0;
    const std::optional<OpenKey> parent = resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    const std::optional<KeyPath> below = SplitKeyPath(subKey);
    if (!below) return ERROR_FILE_NOT_FOUND;
    const KeyPath path = joined(parent->path, *below);
    if (path.size() > 1) {
      const std::optional<Tree> tree = load();
      if (!tree) return kErrorCantRead;
      if (!tree->find(path)) return ERROR_FILE_NOT_FOUND;
    }
    *result = openKeys().add(OpenKey{path, access});
    return ERROR_SUCCESS;
  });
}

int32_t RegQueryValueExA(HKEY key, const char* name, uint32_t*, uint32_t* type, uint8_t* data,
                         uint32_t* dataBytes) {
  return guarded([&]() -> int32_t {
    const int32_t status = withStoredKey(key, KEY_QUERY_VALUE, [&](const Key& stored) {
      const Value* value = stored.findValue(valueName(name));
      return value ? answerData(*value, type, data, dataBytes) : ERROR_FILE_NOT_FOUND;
    });
    return status == ERROR_NO_MORE_ITEMS ? ERROR_FILE_NOT_FOUND : status;
  });
}

int32_t RegSetValueExA(HKEY key, const char* name, uint32_t, uint32_t type, const uint8_t* data,
                       uint32_t dataBytes) {
  return guarded([&]() -> int32_t {
    const std::optional<OpenKey> open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Value value{valueName(name), type, {}, 0};
    if (value.name.size() > kMaxRegistryValueNameChars) return ERROR_INVALID_PARAMETER;
    if (dataBytes > kMaxRegistryValueBytes || (dataBytes && !data)) return ERROR_INVALID_PARAMETER;
    if (type == REG_DWORD) {
      if (dataBytes != 4) return ERROR_INVALID_PARAMETER;
      std::memcpy(&value.number, data, 4);
    } else if (type == REG_SZ) {
      const char* text = reinterpret_cast<const char*>(data);
      value.text.assign(text, text ? strnlen(text, dataBytes) : 0);
    } else {
      return ERROR_INVALID_PARAMETER;
    }
    return modify([&](Tree& tree, bool& changed) -> int32_t {
      bool created = false;
      // A key removed by hand while it was open comes back with the value.
      Key* stored = tree.findOrCreate(open->path, created);
      if (!stored) return ERROR_INVALID_PARAMETER;
      if (Value* existing = stored->findValue(value.name)) {
        value.name = existing->name;  // the stored spelling stays
        *existing = std::move(value);
      } else {
        stored->values.push_back(std::move(value));
      }
      changed = true;
      return ERROR_SUCCESS;
    });
  });
}

int32_t RegDeleteValueA(HKEY key, const char* name) {
  return guarded([&]() -> int32_t {
    const std::optional<OpenKey> open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return modify([&](Tree& tree, bool& changed) -> int32_t {
      Key* stored = tree.find(open->path);
      const Value* value = stored ? stored->findValue(valueName(name)) : nullptr;
      if (!value) return ERROR_FILE_NOT_FOUND;
      stored->values.erase(stored->values.begin() + (value - stored->values.data()));
      changed = true;
      return ERROR_SUCCESS;
    });
  });
}

int32_t RegEnumKeyExA(HKEY key, uint32_t index, char* name, uint32_t* nameChars, uint32_t*, char*,
                      uint32_t*, void*) {
  return guarded([&]() -> int32_t {
    return withStoredKey(key, KEY_ENUMERATE_SUB_KEYS, [&](const Key& stored) {
      if (index >= stored.subkeys.size()) return ERROR_NO_MORE_ITEMS;
      return answerName(stored.subkeys[index].name, name, nameChars);
    });
  });
}

int32_t RegEnumValueA(HKEY key, uint32_t index, char* name, uint32_t* nameChars, uint32_t*,
                      uint32_t* type, uint8_t* data, uint32_t* dataBytes) {
  return guarded([&]() -> int32_t {
    return withStoredKey(key, KEY_QUERY_VALUE, [&](const Key& stored) {
      if (index >= stored.values.size()) return ERROR_NO_MORE_ITEMS;
      const Value& value = stored.values[index];
      const int32_t named = answerName(value.name, name, nameChars);
      if (named != ERROR_SUCCESS) return named;
      return answerData(value, type, data, dataBytes);
    });
  });
}

int32_t RegCloseKey(HKEY key) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_CURRENT_CONFIG) return ERROR_SUCCESS;
  return openKeys().take(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

uint32_t RegOpenKeyCount(void) {
  return uint32_t(openKeys().size());
}

uint32_t RegGetStoreFileA(char* buffer, uint32_t bufferChars) {
  try {
    const std::string path = storeFile();
    if (!buffer || bufferChars < path.size() + 1) return 0;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return uint32_t(path.size());
  } catch (...) {
    return 0;
  }
}
}
