// The heap through which the compression library allocates: a table of heap operations, and one manager record
// for the whole driver that points to the process heap's table. Tests give FlateEncode a manager of their own.
#pragma once

#include <cstddef>

struct HeapTable {
  using Allocate = void* (*)(const HeapTable* table, std::size_t bytes);
  using Reallocate = void* (*)(const HeapTable* table, void* block, std::size_t bytes);
  using Free = void (*)(const HeapTable* table, void* block);

  Allocate allocate;        // the slot the compression library uses
  Allocate allocateAlso;    // a second allocate slot of the same kind
  Reallocate reallocate;
  Reallocate reallocateAlso;
  void* unused[2];
  Free free;
};

struct MemoryManager {
  const HeapTable* heap;
};

// The driver's manager over the process heap; it never changes.
const MemoryManager& ProcessMemoryManager();

// The compression library's allocation callbacks; `opaque` is the MemoryManager. ZlibAlloc takes items x size
// bytes through the first allocate slot (null when the product cannot be had); ZlibFree frees a non-null block.
void* ZlibAlloc(void* opaque, unsigned items, unsigned size);
void ZlibFree(void* opaque, void* block);
