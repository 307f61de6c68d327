#pragma once

#include <cstddef>

#include "ColorQuad.h"

// Owns one contiguous block of pixels. The block is not filled: large blocks
// come straight from the system as zero pages, and a reader that is about to
// overwrite every pixel should not pay for touching them twice.
class PixelBuffer {
public:
    PixelBuffer() = default;
    ~PixelBuffer();
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;

    // An empty buffer when the memory cannot be had; never throws.
    static PixelBuffer Allocate(size_t pixelCount);

    ColorQuad* Data() const { return data; }
    size_t Capacity() const { return capacity; }  // pixels
    explicit operator bool() const { return data != nullptr; }

private:
    void* block = nullptr;  // what the allocator returned
    ColorQuad* data = nullptr;
    size_t capacity = 0;
};
