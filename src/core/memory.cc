#include "core/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
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

void prefault(void* block, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::size_t kWorthIt = std::size_t{1} << 20;
  if (!block || size < kWorthIt) return;
  auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  auto start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
  auto end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)size;
#endif
}

}  // namespace trosk
