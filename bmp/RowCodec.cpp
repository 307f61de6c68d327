#include "RowCodec.h"

#include <cstring>

void UnpackRow1(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    for (int32_t x = 0; x < width; ++x) row[x] = palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
}

void UnpackRow4(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    for (int32_t x = 0; x < width; ++x) row[x] = palette[(x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4];
}

void UnpackRow8(const uint8_t* in, int32_t width, const ColorQuad* palette, ColorQuad* row) {
    for (int32_t x = 0; x < width; ++x) row[x] = palette[in[x]];
}

void UnpackRow24(const uint8_t* in, int32_t width, ColorQuad* row) {
    for (int32_t x = 0; x < width; ++x, in += 3) {
        row[x].blue = in[0];
        row[x].green = in[1];
        row[x].red = in[2];
    }
}

void UnpackRow32(const uint8_t* in, int32_t width, ColorQuad* row) {
    std::memcpy(row, in, size_t(width) * sizeof(ColorQuad));
}

void PackRow1(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out) {
    for (int32_t x = 0; x < width; x += 8) {
        uint32_t byte = 0;
        const int32_t end = width - x < 8 ? width - x : 8;
        for (int32_t i = 0; i < end; ++i) byte += uint32_t{indices.IndexOf(row[x + i])} << (7 - i);
        out[x >> 3] = uint8_t(byte);
    }
}

void PackRow4(const ColorQuad* row, int32_t width, PaletteIndexCache& indices, uint8_t* out) {
    for (int32_t x = 0; x < width; x += 2) {
        uint32_t byte = uint32_t{indices.IndexOf(row[x])} * 16;
        if (x + 1 < width) byte += indices.IndexOf(row[x + 1]);
        out[x >> 1] = uint8_t(byte);
    }
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
    for (int32_t x = 0; x < width; ++x, out += 3) {
        out[0] = row[x].blue;
        out[1] = row[x].green;
        out[2] = row[x].red;
    }
}

void PackRow32(const ColorQuad* row, int32_t width, uint8_t* out) {
    std::memcpy(out, row, size_t(width) * sizeof(ColorQuad));
}

int64_t PixelBytes(int32_t bitDepth, int32_t width) { return (int64_t{bitDepth} * width + 7) / 8; }
