#include "core/memory.h"

#include <cstdlib>

namespace trosk {

void* allocmem(std::size_t size, const char*) { return std::malloc(size ? size : 1); }

void* alloczero(std::size_t size, const char*) { return std::calloc(size ? size : 1, 1); }

void* reallocmem(void* block, std::size_t size, const char*) {
  return std::realloc(block, size ? size : 1);
}

int freemem(void* block) {
  std::free(block);
  return 0;
}

}  // namespace trosk
