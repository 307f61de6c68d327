#pragma once

#include <cstdint>

// Bytes one pixel row occupies on disk: 4 x ceil(depth x width / 32).
// Computed in 64 bits so that no accepted width can overflow; callers refuse
// what does not fit their own fields.
int64_t RowSize(int32_t bitDepth, int32_t width);
