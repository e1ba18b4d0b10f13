#include "kpl/support/huge.hpp"

#include <unistd.h>

namespace kpl {

int64_t HugeRead(int file, void* buffer, size_t bytes) {
  return ::read(file, buffer, bytes);
}

int64_t HugeWrite(int file, const void* buffer, size_t bytes) {
  return ::write(file, buffer, bytes);
}

}  // namespace kpl
