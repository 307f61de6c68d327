#pragma once

#include <cstdint>

// While it lives, the nothrow allocation numbered failAt (0 = the next one)
// returns null. The library asks for memory with the nothrow forms of new
// wherever it handles a refusal, so a test can walk an operation through each
// of its allocations in turn.
class FailingAllocation {
public:
    explicit FailingAllocation(int64_t failAt);
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    ~FailingAllocation();
    // Whether the operation got as far as the allocation meant to fail.
    bool Happened() const;
};
