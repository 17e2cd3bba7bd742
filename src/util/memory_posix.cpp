// Heap blocks from malloc; a failed allocation is fatal (error 203).
#include <cstdlib>
#include "util/fatal.h"
#include "util/memory.h"

void* MemAlloc(uint32_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) FATAL_ERROR(OutOfMemoryError);
  return block;
}

uint32_t MemTryAllocLimit = 0xFFFFFFFF;

void* MemTryAlloc(uint32_t size) { return size > MemTryAllocLimit ? nullptr : std::malloc(size == 0 ? 1 : size); }

void MemFree(void* block) { std::free(block); }
