#pragma once

#include <cstdint>
#include <cstring>

#include "ColorQuad.h"
#include "PaletteIndexCache.h"

// Conversions between one file row and one row of pixels, shared by the
// per-row operations of BMPImage and the block-wise reader and writer.
// `palette` has 256 entries: an index without an entry maps to white, alpha 0.
void UnpackRow1(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row);
void UnpackRow4(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row);
void UnpackRow8(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row);
// Leaves each pixel's alpha as it was.
void UnpackRow24(const uint8_t* in, int32_t width, ColorQuad* row);
void UnpackRow32(const uint8_t* in, int32_t width, ColorQuad* row);

// Each stores only the row's pixel bytes; the last byte of a 1- or 4-bit row
// has 0 in the positions without a pixel.
void PackRow1(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out);
void PackRow4(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out);
void PackRow8(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out);
void PackRow16(const ColorQuad* row, int32_t width, uint8_t* out);
void PackRow24(const ColorQuad* row, int32_t width, uint8_t* out);
void PackRow32(const ColorQuad* row, int32_t width, uint8_t* out);

// One 24-bit pixel: blue, green, red on disk, alpha 0 in memory. The word
// forms move four bytes: the read masks the fourth away, and the write leaves
// it for the next pixel to overwrite, so both need a fourth byte inside the
// buffer that is not the pixel's.
inline ColorQuad LoadPixel24(const uint8_t* in) { return ColorQuad{in[0], in[1], in[2], 0}; }

inline void StorePixel24(ColorQuad pixel, uint8_t* out) {
    out[0] = pixel.blue;
    out[1] = pixel.green;
    out[2] = pixel.red;
}

inline ColorQuad LoadPixel24Word(const uint8_t* in) {
    uint32_t word = 0;
    std::memcpy(&word, in, sizeof word);
    word &= ColourMask();
    ColorQuad pixel;
    std::memcpy(&pixel, &word, sizeof pixel);
    return pixel;
}

inline void StorePixel24Word(ColorQuad pixel, uint8_t* out) { std::memcpy(out, &pixel, sizeof pixel); }

// Pixel bytes of one row, without the trailing bytes.
int64_t PixelBytes(int32_t bitDepth, int32_t width);
