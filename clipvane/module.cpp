// The module's one file type, its routing and its resources.
#include <cstring>
#include <new>

#include "avi_block.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/win_text2.hpp"

namespace kpl::clipvane {
namespace {

// Module-wide, as piLocalName hands out what piName loaded last.
NameBuffer typeName;

uint32_t newInstance(uint32_t, uint32_t mode) {
  // Larger than the stack should carry; built in place in the zeroed block instead.
  const uint32_t handle = AllocBlock(kSharedZeroed, sizeof(AviBlock));
  if (!handle) return 0;
  BlockLock lock(handle);
  if (!lock) {
    GlobalFree(handle);
    return 0;
  }
  auto* block = new (lock.get()) AviBlock{};
  block->flags = mode | kInstanceBits;
  block->pendingPosition = -1;
  return handle;
}

AviBlock& blockOf(const Instance& i) {
  return i.as<AviBlock>();
}

constexpr TypeOps kAvi = {
    .blockBytes = sizeof(AviBlock),
    .init = [](uint32_t) { return AVIFileInit(), true; },
    .done = [](uint32_t) { return AVIFileExit(), true; },
    .name = [](uint32_t) { return typeName.load(kNameString + uint32_t(LanguageOffset())); },
    .flags = [](uint32_t) { return kTypeFlags; },
    .localInit = newInstance,
    .setFormat = [](const Instance& i,
                    const void* format) { return SetFormat(blockOf(i), format); },
    .length =
        [](const Instance& i, int32_t position) {
          blockOf(i).pendingPosition = position;
          return true;
        },
    .setData =
        [](const Instance& i, void* first, int32_t firstSize, void*, int32_t) {
          blockOf(i).inputData = first;
          blockOf(i).inputSize = firstSize;
          return true;
        },
    .processStart =
        [](const Instance& i) {
          blockOf(i).videoPosition = blockOf(i).audioPosition = 0;
          return true;
        },
    .processEnd = [](const Instance& i) { return CloseInstance(blockOf(i)), true; },
    .getData =
        [](const Instance& i) {
          AviBlock& block = blockOf(i);
          if (!block.result) {
            char pattern[64] = {};
            LoadStringA(&ThisModuleResources(), kPatternString, pattern, sizeof pattern);
            block.result = NewPatternBlock(pattern);
          }
          return block.result;
        },
    .saveData = [](const Instance& i, int32_t mode,
                   char* fileName) { return SaveData(blockOf(i), mode, fileName); },
    .loadData = [](const Instance& i, int32_t mode,
                   char* fileName) { return LoadData(blockOf(i), mode, fileName); },
    .localName = [](uint32_t, const Instance*) -> const char* { return typeName.data(); },
};

const TypeRange kRanges[] = {{0, 0, &kAvi}};

const StringResource kStrings[] = {
    {kNameString, "AVI files (*.avi)"},
    {kNameString + 4500, "AVI filer (*.avi)"},
    {kPatternString, "*.avi"},
    {65000, "DAN:4500"},
    {65001, "<end>"},
};

}  // namespace
}  // namespace kpl::clipvane

namespace kpl {

const ModuleTable& ThisModule() {
  static const ModuleTable table{1, clipvane::kRanges};
  return table;
}

const ModuleResources& ThisModuleResources() {
  static const ModuleResources resources{clipvane::kStrings, std::size(clipvane::kStrings), nullptr,
                                         0};
  return resources;
}

}  // namespace kpl
