#pragma once

#include <cstdint>

constexpr uint16_t BmpSignature = 19778;  // "BM" read as a little-endian 16-bit value
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t HeadersSize = FileHeaderSize + InfoHeaderSize;

// Fields without a published default start at 0 only so that nothing is ever
// read uninitialised; the reader reads and the writer sets every one of them.
struct FileHeader {
    uint16_t bfType = BmpSignature;
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;
};

struct InfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = BI_RGB;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 3780;
    int32_t biYPelsPerMeter = 3780;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
