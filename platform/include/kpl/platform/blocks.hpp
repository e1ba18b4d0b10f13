#pragma once
// RAII over global memory: a lock held for one scope, and a block owned until handed out.
#include <cstdint>
#include <utility>

#include "kpl/platform/memory.h"

namespace kpl {

class BlockLock {
 public:
  explicit BlockLock(uint32_t handle) : handle_(handle), address_(GlobalLock(handle)) {}
  ~BlockLock() {
    if (address_) GlobalUnlock(handle_);
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

  explicit operator bool() const { return address_ != nullptr; }
  void* get() const { return address_; }
  template <class T>
  T* as() const {
    return static_cast<T*>(address_);
  }

 private:
  uint32_t handle_;
  void* address_;
};

// Frees the block at scope end unless release() hands it on.
class OwnedBlock {
 public:
  OwnedBlock() = default;
  explicit OwnedBlock(uint32_t handle) : handle_(handle) {}
  OwnedBlock(uint32_t flags, size_t bytes) : handle_(GlobalAlloc(flags, bytes)) {}
  ~OwnedBlock() { reset(); }
  OwnedBlock(OwnedBlock&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
  OwnedBlock& operator=(OwnedBlock&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  uint32_t get() const { return handle_; }
  uint32_t release() { return std::exchange(handle_, 0); }
  void reset() {
    if (handle_) GlobalFree(std::exchange(handle_, 0));
  }

 private:
  uint32_t handle_ = 0;
};

}  // namespace kpl
