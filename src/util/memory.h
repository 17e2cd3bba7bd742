// Heap blocks for the decoders and the extraction run. A failed allocation ends the
// program with the fatal report and error number 203, so callers never see a null pointer.
#pragma once
#include <cstdint>

void* MemAlloc(uint32_t size);
// The same, but null when the heap has no such block: for blocks whose size an archive decides.
void* MemTryAlloc(uint32_t size);
void MemFree(void* block);
#ifndef _WIN32
// POSIX builds: MemTryAlloc refuses blocks larger than this, so that tests can make an
// archive's block fail to be allocated. No limit unless a test sets one.
extern uint32_t MemTryAllocLimit;
#endif

// Releases a block however the scope that owns it is left.
class MemBlock {
public:
  explicit MemBlock(uint32_t size) : block_(static_cast<uint8_t*>(MemAlloc(size))) {}
  ~MemBlock() { MemFree(block_); }
  MemBlock(const MemBlock&) = delete;
  MemBlock& operator=(const MemBlock&) = delete;
  uint8_t* get() const { return block_; }
private:
  uint8_t* block_;
};
