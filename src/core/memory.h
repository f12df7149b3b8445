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

// Maps the pages of a large buffer about to be filled, in one call: a read
// of megabytes then costs one system call instead of a page fault for each
// 4 KiB it writes. Smaller buffers, and systems without the call, are left
// to fault as usual.
void prefault(void* block, std::size_t size);

}  // namespace trosk
