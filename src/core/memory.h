// Labelled allocation for the XML tree and the other C-shaped buffers of the
// engine. The label names the use for diagnostics; failures pass through.
#pragma once

#include <cstddef>

namespace trosk {

void* allocmem(std::size_t size, const char* label);
void* alloczero(std::size_t size, const char* label);
void* reallocmem(void* block, std::size_t size, const char* label);
// Frees a block (null is allowed). Returns 0.
int freemem(void* block);

}  // namespace trosk
