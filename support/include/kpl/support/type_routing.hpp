#pragma once
// Routing of the twenty exports by type index. Each module describes its types once, in a
// table of index ranges; the exports (defined once for every module) find the range, lock the
// instance block for the length of the call, and turn any failure into a 0 answer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "kpl/platform/blocks.hpp"
#include "kpl/platform/resources.h"

namespace kpl {

// One instance call's view of its block: locked for the call, never kept beyond it.
struct Instance {
  uint32_t variant;  // type index minus the first index of its range
  uint32_t handle;
  void* block;
  template <class Block>
  Block& as() const {
    return *static_cast<Block*>(block);
  }
};

// The calls one implementation answers. A null entry is a call the type does not answer:
// the export returns 0 (false, no icon, a null handle).
struct TypeOps {
  size_t blockBytes = 0;  // a handle of a smaller block is refused
  bool (*init)(uint32_t variant) = nullptr;
  bool (*done)(uint32_t variant) = nullptr;
  const char* (*name)(uint32_t variant) = nullptr;
  uint32_t (*flags)(uint32_t variant) = nullptr;
  uint32_t (*icon)(uint32_t variant, uint32_t index) = nullptr;
  uint32_t (*localInit)(uint32_t variant, uint32_t flags) = nullptr;
  bool (*setFormat)(const Instance&, const void* format) = nullptr;
  bool (*length)(const Instance&, int32_t length) = nullptr;
  bool (*dialog)(const Instance&, uint32_t parentWindow) = nullptr;
  bool (*setData)(const Instance&, void* first, int32_t firstSize, void* second,
                  int32_t secondSize) = nullptr;
  bool (*processStart)(const Instance&) = nullptr;
  bool (*process)(const Instance&) = nullptr;
  bool (*processEnd)(const Instance&) = nullptr;
  uint32_t (*getData)(const Instance&) = nullptr;
  bool (*saveData)(const Instance&, int32_t index, char* text) = nullptr;
  bool (*loadData)(const Instance&, int32_t index, char* text) = nullptr;
  // `instance` is null when the host passes a null handle.
  const char* (*localName)(uint32_t variant, const Instance* instance) = nullptr;
};

struct TypeRange {
  uint32_t first;
  uint32_t last;
  const TypeOps* ops;
};

struct ModuleTable {
  uint32_t count;  // what piCount answers
  std::span<const TypeRange> ranges;
};

// Defined by each module: its type table and its resources.
const ModuleTable& ThisModule();
const ModuleResources& ThisModuleResources();

// A type's 128-byte name buffer, filled from the module's string table.
class NameBuffer {
 public:
  const char* load(uint32_t stringId);
  char* data() { return text_; }

 private:
  char text_[128] = {};
};

// The nine icons of an effect type, alive from piInit to piDone.
class IconSet {
 public:
  static constexpr uint32_t kCount = 9;
  void load(uint32_t firstResourceId);  // replaces icons loaded before
  void destroy();
  uint32_t get(uint32_t index) const { return index < kCount ? handles_[index] : 0; }

 private:
  uint32_t handles_[kCount] = {};
};

// Allocates an instance block holding `initial`; 0 when the platform refuses.
template <class Block>
uint32_t NewInstanceBlock(uint32_t allocationFlags, const Block& initial) {
  OwnedBlock block(allocationFlags, sizeof(Block));
  if (!block) return 0;
  BlockLock lock(block.get());
  if (!lock) return 0;
  std::memcpy(lock.get(), &initial, sizeof(Block));
  return block.release();
}

}  // namespace kpl
