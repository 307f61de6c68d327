#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ColorQuad.h"

// File rows run across the columns the pixels are stored in. Converting a
// block of rows sixteen columns at a time keeps each column's part a short
// sequential run, and the sixteen pixels in between never leave the cache.
constexpr int32_t TileColumns = 16;

// unpack(rowBytes, x0, count, tile) decodes pixels x0 .. x0 + count - 1 of
// one file row into tile; the tile is then stored into the columns. Row i of
// `rows` is image row yBottom - i.
template <typename Unpack>
void UnpackIntoColumns(ColorQuad* const* columns, int32_t width, int32_t yBottom, int32_t count,
                       const uint8_t* rows, int64_t rowSize, Unpack unpack) {
    ColorQuad tile[TileColumns];
    for (int32_t x0 = 0; x0 < width; x0 += TileColumns) {
        const int32_t n = std::min(TileColumns, width - x0);
        for (int32_t i = 0; i < count; ++i) {
            unpack(rows + size_t(i) * size_t(rowSize), x0, n, tile);
            for (int32_t k = 0; k < n; ++k) columns[x0 + k][yBottom - i] = tile[k];
        }
    }
}

// pack(tile, x0, count, rowBytes) encodes the tile as pixels x0 .. x0 + count - 1
// of one file row.
template <typename Pack>
void PackFromColumns(const ColorQuad* const* columns, int32_t width, int32_t yBottom, int32_t count,
                     uint8_t* rows, int64_t rowSize, Pack pack) {
    ColorQuad tile[TileColumns];
    for (int32_t x0 = 0; x0 < width; x0 += TileColumns) {
        const int32_t n = std::min(TileColumns, width - x0);
        for (int32_t i = 0; i < count; ++i) {
            for (int32_t k = 0; k < n; ++k) tile[k] = columns[x0 + k][yBottom - i];
            pack(tile, x0, n, rows + size_t(i) * size_t(rowSize));
        }
    }
}
