#include "kpl/support/type_routing.hpp"

namespace kpl {

const char* NameBuffer::load(uint32_t stringId) {
  LoadStringA(&ThisModuleResources(), stringId, text_, sizeof text_);
  return text_;
}

void IconSet::load(uint32_t firstResourceId) {
  destroy();
  for (uint32_t i = 0; i < kCount; ++i)
    handles_[i] = LoadIconA(&ThisModuleResources(), firstResourceId + i);
}

void IconSet::destroy() {
  for (uint32_t& handle : handles_) {
    if (handle) DestroyIcon(handle);
    handle = 0;
  }
}

}  // namespace kpl
