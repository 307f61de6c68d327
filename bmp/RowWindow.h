#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ColorQuad.h"

// File rows run across the columns the pixels are stored in. At some depths
// a block of rows moves between the columns and a small row-major window,
// where the row codecs run over long runs of pixels. A window holds `count`
// rows of `span` pixels: row i is image row yBottom - i, from column x0 on.
struct RowWindow {
    int32_t rows = 1;  // rows per window
    int32_t span = 1;  // pixels per window row
};

// At most this many pixels: the window stays in the cache while it moves.
constexpr int64_t WindowPixels = int64_t{512} << 10;
constexpr int32_t MaxWindowRows = 64;

// Rows as many as fit; a row wider than the window is split at multiples
// of eight pixels, so that 1- and 4-bit pieces start on whole bytes.
inline RowWindow WindowFor(int32_t width) {
    RowWindow window;
    window.rows = int32_t(std::max<int64_t>(1, std::min<int64_t>(MaxWindowRows, WindowPixels / width)));
    window.span = int32_t(std::min<int64_t>(width, WindowPixels));
    return window;
}

// Window to columns: each column receives `count` consecutive pixels.
inline void StoreRows(ColorQuad* const* columns, int32_t x0, int32_t span, int32_t yBottom, int32_t count,
                      const ColorQuad* window) {
    for (int32_t k = 0; k < span; ++k) {
        ColorQuad* column = columns[x0 + k] + yBottom;
        const ColorQuad* source = window + k;
        for (int32_t i = 0; i < count; ++i) column[-i] = source[size_t(i) * size_t(span)];
    }
}

// Columns to window, sixteen columns at a time: the sixteen reads of each
// row stay within a few cache lines of each column.
inline void LoadRows(const ColorQuad* const* columns, int32_t x0, int32_t span, int32_t yBottom, int32_t count,
                     ColorQuad* window) {
    constexpr int32_t Tile = 16;
    for (int32_t k0 = 0; k0 < span; k0 += Tile) {
        const int32_t n = std::min(Tile, span - k0);
        for (int32_t i = 0; i < count; ++i) {
            ColorQuad* target = window + size_t(i) * size_t(span) + size_t(k0);
            for (int32_t k = 0; k < n; ++k) target[k] = columns[x0 + k0 + k][yBottom - i];
        }
    }
}
