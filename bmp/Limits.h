#pragma once

#include <cstdint>

namespace Limits {
// depth x width must fit the signed 32-bit row arithmetic of the BMP format.
constexpr int64_t MaxRowBits = INT32_MAX;
// 2^28 pixels is 1 GiB of pixel memory: a tiny file may declare far more, so refuse before allocating.
constexpr int64_t MaxPixels = int64_t{1} << 28;
// The header fields bfSize, bfOffBits and biSizeImage are unsigned 32-bit.
constexpr uint64_t MaxFileBytes = UINT32_MAX;
}  // namespace Limits
