// Heap blocks from the process heap; a failed allocation is fatal (error 203).
#include <windows.h>
#include "util/fatal.h"
#include "util/memory.h"

void* MemAlloc(uint32_t size) {
  void* block = HeapAlloc(GetProcessHeap(), 0, size);
  if (block == nullptr) FATAL_ERROR(OutOfMemoryError);
  return block;
}

void* MemTryAlloc(uint32_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void MemFree(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
