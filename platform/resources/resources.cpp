#include <algorithm>
#include <cstring>
#include <vector>

#include "../common/handle_table.hpp"
#include "kpl/platform/resources.h"

namespace {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | g << 8 | b << 16;
}

constexpr uint32_t kPalette16[16] = {
    rgb(0, 0, 0),       rgb(128, 0, 0),   rgb(0, 128, 0),   rgb(128, 128, 0),
    rgb(0, 0, 128),     rgb(128, 0, 128), rgb(0, 128, 128), rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(255, 255, 0),
    rgb(0, 0, 255),     rgb(255, 0, 255), rgb(0, 255, 255), rgb(255, 255, 255)};

struct Icon {
  int32_t width;
  int32_t height;
  std::vector<uint32_t> colours;
};

// Odd values in their own range, so an icon handle never passes for a memory block.
kpl::platform::HandleTable<Icon>& icons() {
  static kpl::platform::HandleTable<Icon> table(0x40000001, 2);
  return table;
}

template <class Resource>
const Resource* findById(const Resource* first, size_t count, uint32_t id) {
  if (!first) return nullptr;
  const Resource* last = first + count;
  const Resource* found = std::find_if(first, last, [id](const Resource& r) { return r.id == id; });
  return found == last ? nullptr : found;
}

}  // namespace

extern "C" {

int32_t LoadStringA(const ModuleResources* module, uint32_t id, char* buffer, int32_t bufferMax) {
  if (!buffer || bufferMax <= 0) return 0;
  buffer[0] = '\0';
  if (!module) return 0;
  const StringResource* entry = findById(module->strings, module->stringCount, id);
  if (!entry || !entry->text) return 0;
  const size_t length = std::min(
      {std::strlen(entry->text), kMaxStringResourceChars, static_cast<size_t>(bufferMax - 1)});
  std::memcpy(buffer, entry->text, length);
  buffer[length] = '\0';
  return static_cast<int32_t>(length);
}

uint32_t LoadIconA(const ModuleResources* module, uint32_t id) {
  if (!module) return 0;
  const IconResource* entry = findById(module->icons, module->iconCount, id);
  if (!entry || !entry->pixels) return 0;
  Icon icon{entry->width, entry->height, {}};
  icon.colours.reserve(size_t(entry->width) * entry->height);
  for (size_t i = 0; i < size_t(entry->width) * entry->height; ++i)
    icon.colours.push_back(kPalette16[entry->pixels[i] & 15]);
  return icons().add(std::move(icon));
}

int32_t DestroyIcon(uint32_t icon) {
  return icons().take(icon).has_value() ? 1 : 0;
}

int32_t GetIconSize(uint32_t icon, int32_t* width, int32_t* height) {
  return icons().with(icon, [&](const Icon* found) {
    if (!found) return 0;
    if (width) *width = found->width;
    if (height) *height = found->height;
    return 1;
  });
}

int32_t GetIconPixels(uint32_t icon, uint32_t* colours, size_t count) {
  return icons().with(icon, [&](const Icon* found) {
    if (!found || !colours || count < found->colours.size()) return 0;
    std::copy(found->colours.begin(), found->colours.end(), colours);
    return 1;
  });
}

size_t LiveIcons(void) {
  return icons().size();
}

const uint32_t* IconPalette16(void) {
  return kPalette16;
}
}
