#pragma once
// piInit .. piDone around the use of a type: its resources (the icons) live for the session.
#include <cstdint>

#include "module_loader.hpp"

namespace kplhost {

class TypeSession {
 public:
  TypeSession(const Module& module, uint32_t type)
      : module_(module), type_(type), started_((module.piInit(type) & 0xFF) != 0) {}
  // A type that refused piInit is not ended either.
  ~TypeSession() {
    if (started_) module_.piDone(type_);
  }
  TypeSession(const TypeSession&) = delete;
  TypeSession& operator=(const TypeSession&) = delete;

  // False when piInit refused the type (its low byte is 1 for success).
  bool started() const { return started_; }

 private:
  const Module& module_;
  uint32_t type_;
  bool started_;
};

}  // namespace kplhost
