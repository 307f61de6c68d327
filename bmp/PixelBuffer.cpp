#include "PixelBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
// Large images are aligned to 2 MiB so the kernel can back them with huge
// pages: faulting in hundreds of megabytes 4 KiB at a time costs as much as
// reading the file.
constexpr size_t HugePageSize = size_t{2} << 20;

void AdviseHugePages(void* start, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(start, bytes, MADV_HUGEPAGE);
    // Faults the whole block in with one call: on this kind of virtual
    // machine a page fault costs far more than the kernel's own populate
    // loop, and the reader is about to write every pixel anyway. Kernels
    // before 5.14 refuse the advice; the pages then come in on first touch.
    constexpr int PopulateWrite = 23;  // MADV_POPULATE_WRITE, missing from older headers
    madvise(start, bytes, PopulateWrite);
#else
    (void)start;
    (void)bytes;
#endif
}
}  // namespace

PixelBuffer::~PixelBuffer() { std::free(block); }

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : block(std::exchange(other.block, nullptr)),
      data(std::exchange(other.data, nullptr)),
      capacity(std::exchange(other.capacity, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        std::free(block);
        block = std::exchange(other.block, nullptr);
        data = std::exchange(other.data, nullptr);
        capacity = std::exchange(other.capacity, 0);
    }
    return *this;
}

PixelBuffer PixelBuffer::Allocate(size_t pixelCount) {
    PixelBuffer buffer;
    if (pixelCount == 0 || pixelCount > SIZE_MAX / sizeof(ColorQuad)) return buffer;
    const size_t bytes = pixelCount * sizeof(ColorQuad);
    const bool huge = bytes >= HugePageSize;
    const size_t extra = huge ? HugePageSize : 0;
    if (bytes > SIZE_MAX - extra) return buffer;
    buffer.block = std::malloc(bytes + extra);
    if (buffer.block == nullptr) return buffer;
    uintptr_t address = reinterpret_cast<uintptr_t>(buffer.block);
    if (huge) {
        address = (address + HugePageSize - 1) & ~(uintptr_t{HugePageSize} - 1);
        AdviseHugePages(reinterpret_cast<void*>(address), bytes & ~(HugePageSize - 1));
    }
    buffer.data = reinterpret_cast<ColorQuad*>(address);
    buffer.capacity = pixelCount;
    return buffer;
}
