#pragma once
// A process-wide table of objects named by 32-bit handles. Handles are never reused while the
// counter has not wrapped, so a stale handle is detected instead of reaching another object.
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

namespace kpl::platform {

template <class Object>
class HandleTable {
 public:
  // Handles run first, first + step, ...; each service takes its own range and step, so a
  // handle of one kind never passes for another.
  constexpr HandleTable(uint32_t first, uint32_t step)
      : first_(first), step_(step), next_(first - step) {}

  uint32_t add(Object object) {
    std::lock_guard guard(mutex_);
    do {
      next_ += step_;
      if (next_ < first_) next_ = first_;
    } while (objects_.count(next_));
    objects_.emplace(next_, std::move(object));
    return next_;
  }

  // Removes the object and hands it back, so it is released outside the lock.
  std::optional<Object> take(uint32_t handle) {
    std::lock_guard guard(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return std::nullopt;
    std::optional<Object> object(std::move(it->second));
    objects_.erase(it);
    return object;
  }

  // Calls use(Object*) under the lock, with null for a handle that names nothing.
  template <class Use>
  auto with(uint32_t handle, Use&& use) {
    std::lock_guard guard(mutex_);
    auto it = objects_.find(handle);
    return use(it == objects_.end() ? nullptr : &it->second);
  }

  size_t size() {
    std::lock_guard guard(mutex_);
    return objects_.size();
  }

 private:
  const uint32_t first_;
  const uint32_t step_;
  std::mutex mutex_;
  std::unordered_map<uint32_t, Object> objects_;
  uint32_t next_;
};

}  // namespace kpl::platform
