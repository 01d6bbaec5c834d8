// Allocation of the library's byte buffers, with a hook that lets tests make one allocation fail.
#pragma once

#include <cstddef>

namespace xq {

// Allocates n bytes (at least one) set to zero; null when memory is short. Release with
// FreeBytes.
void* AllocateBytes(size_t n);
void FreeBytes(void* p);

// Testing aid: the allocation `index` places ahead (0 = the next one) fails; every other one
// goes through. A negative index (the default) lets all allocations through.
void FailAllocation(int index);

} // namespace xq
