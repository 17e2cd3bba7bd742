// Heap blocks from malloc; a failed allocation is fatal (error 203).
#include <cstdlib>
#include "util/fatal.h"
#include "util/memory.h"

void* MemAlloc(uint32_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) FATAL_ERROR(OutOfMemoryError);
  return block;
}

void MemFree(void* block) { std::free(block); }
