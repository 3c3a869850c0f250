#include "pdf/memory.h"

#include <cstdlib>

namespace {

void* HeapAllocate(const HeapTable*, std::size_t bytes) { return std::malloc(bytes); }
void* HeapReallocate(const HeapTable*, void* block, std::size_t bytes) { return std::realloc(block, bytes); }
void HeapFree(const HeapTable*, void* block) { std::free(block); }

constexpr HeapTable kProcessHeap = {HeapAllocate, HeapAllocate, HeapReallocate, HeapReallocate, {nullptr, nullptr},
                                    HeapFree};
constexpr MemoryManager kProcessManager = {&kProcessHeap};

}  // namespace

const MemoryManager& ProcessMemoryManager() { return kProcessManager; }

void* ZlibAlloc(void* opaque, unsigned items, unsigned size) {
  const auto* manager = static_cast<const MemoryManager*>(opaque);
  // Two 32-bit counts multiply without overflow in the 64-bit size.
  const std::size_t bytes = static_cast<std::size_t>(items) * size;
  return manager->heap->allocate(manager->heap, bytes);
}

void ZlibFree(void* opaque, void* block) {
  if (!block) return;
  const auto* manager = static_cast<const MemoryManager*>(opaque);
  manager->heap->free(manager->heap, block);
}
