#pragma once

#include <cstdint>

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

// Pixel bytes of one row, without the trailing bytes.
int64_t PixelBytes(int32_t bitDepth, int32_t width);
