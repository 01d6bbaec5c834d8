#include "Memory.h"

#include <cstdlib>

namespace xq {
namespace {
int allocations_before_failure = -1;
} // namespace

void* AllocateBytes(size_t n) {
    if (allocations_before_failure >= 0 && allocations_before_failure-- == 0) return nullptr;
    return std::calloc(n ? n : 1, 1);
}

void FreeBytes(void* p) {
    std::free(p);
}

void FailAllocation(int index) {
    allocations_before_failure = index;
}

} // namespace xq
