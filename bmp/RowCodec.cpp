#include "RowCodec.h"

#include <cstring>

void UnpackRow1(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    const ColorQuad colours[2] = {palette[0], palette[1]};
    int32_t x = 0;
    for (; x + 8 <= width; x += 8, ++in)  // a whole byte at a time: no shift that depends on x
        for (int32_t i = 0; i < 8; ++i) row[x + i] = colours[(*in >> (7 - i)) & 1];
    for (int32_t i = 0; x < width; ++x, ++i) row[x] = colours[(*in >> (7 - i)) & 1];
}

void UnpackRow4(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    int32_t x = 0;
    for (; x + 2 <= width; x += 2, ++in) {
        row[x] = palette[*in >> 4];
        row[x + 1] = palette[*in & 0x0F];
    }
    if (x < width) row[x] = palette[*in >> 4];
}

void UnpackRow8(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    for (int32_t x = 0; x < width; ++x) row[x] = palette[in[x]];
}

void UnpackRow24(const uint8_t* in, int32_t width, ColorQuad* row) {
    // Four bytes at a time; the last pixel alone, so no byte past the row is read.
    for (int32_t x = 0; x < width; ++x, in += 3) {
        ColorQuad pixel = x + 1 < width ? LoadPixel24Word(in) : LoadPixel24(in);
        pixel.alpha = row[x].alpha;
        row[x] = pixel;
    }
}

void UnpackRow32(const uint8_t* in, int32_t width, ColorQuad* row) {
    std::memcpy(row, in, size_t(width) * sizeof(ColorQuad));
}

namespace {
uint32_t PackByte1(const ColorQuad* pixels, int32_t count, PaletteIndexCache& indices) {
    uint32_t byte = 0;
    for (int32_t i = 0; i < count; ++i) byte |= uint32_t{indices.IndexOf(pixels[i])} << (7 - i);
    return byte;
}
}  // namespace

void PackRow1(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out) {
    // A pixel of the first palette colour is index 0 and, failing that, one of
    // the second is index 1: whole bytes of such pixels need no lookup.
    const uint32_t first = PaletteIndexCache::Key(indices.Colour(0));
    const uint32_t second = PaletteIndexCache::Key(indices.Colour(1));
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        uint32_t byte = 0;
        uint32_t other = 0;
        for (int32_t i = 0; i < 8; ++i) {
            const uint32_t rgb = PaletteIndexCache::Key(row[x + i]);
            byte |= uint32_t{rgb != first} << (7 - i);
            other |= uint32_t{rgb != first && rgb != second};
        }
        out[x >> 3] = uint8_t(other != 0 ? PackByte1(row + x, 8, indices) : byte);
    }
    if (x < width) out[x >> 3] = uint8_t(PackByte1(row + x, width - x, indices));
}

void PackRow4(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out) {
    int32_t x = 0;
    for (; x + 2 <= width; x += 2) out[x >> 1] = uint8_t(indices.IndexOf(row[x]) << 4 | indices.IndexOf(row[x + 1]));
    if (x < width) out[x >> 1] = uint8_t(indices.IndexOf(row[x]) << 4);
}

void PackRow8(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x) out[x] = indices.IndexOf(row[x]);
}

void PackRow16(const ColorQuad* row, int32_t width, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x, out += 2) {
        const uint32_t v = uint32_t{row[x].red} >> 3 << 11 | uint32_t{row[x].green} >> 2 << 5 | uint32_t{row[x].blue} >> 3;
        out[0] = uint8_t(v);
        out[1] = uint8_t(v >> 8);
    }
}

void PackRow24(const ColorQuad* row, int32_t width, uint8_t* out) {
    // Four bytes at a time, left to right; the last pixel alone, so nothing
    // past the row is written.
    int32_t x = 0;
    for (; x + 1 < width; ++x, out += 3) StorePixel24Word(row[x], out);
    if (x < width) StorePixel24(row[x], out);
}

void PackRow32(const ColorQuad* row, int32_t width, uint8_t* out) {
    std::memcpy(out, row, size_t(width) * sizeof(ColorQuad));
}

int64_t PixelBytes(int32_t bitDepth, int32_t width) { return (int64_t{bitDepth} * width + 7) / 8; }
