#include "AllocationFailureSupport.h"

#include <atomic>
#include <new>

namespace {
std::atomic<int64_t> allocationsBeforeFailure{-1};  // -1: nothing armed
std::atomic<bool> failureHappened{false};

bool ShouldFail() {
    int64_t left = allocationsBeforeFailure.load();
    while (left >= 0) {
        if (allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
            if (left != 0) return false;
            failureHappened = true;
            return true;
        }
    }
    return false;
}
}  // namespace

FailingAllocation::FailingAllocation(int64_t failAt) {
    failureHappened = false;
    allocationsBeforeFailure = failAt;
}

FailingAllocation::~FailingAllocation() { allocationsBeforeFailure = -1; }

bool FailingAllocation::Happened() const { return failureHappened; }

// The replacements hand everything else to the ordinary forms, so every block
// is still released by the matching delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (ShouldFail()) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (ShouldFail()) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
