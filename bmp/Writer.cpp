#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "BMPImage.h"
#include "Headers.h"
#include "Limits.h"
#include "PaletteIndexCache.h"
#include "RowCodec.h"
#include "RowSize.h"
#include "RowWindow.h"

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }  // only after a failure already reported
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr int32_t DefaultPelsPerMeter = 3780;  // 96 dots per inch
// Little-endian fields, one at a time, each with its own width.
uint8_t* PutU16(uint8_t* out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    return out + 2;
}

uint8_t* PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
    return out + 4;
}

uint8_t* PutFileHeader(uint8_t* out, const FileHeader& header) {
    out = PutU16(out, header.bfType);
    out = PutU32(out, header.bfSize);
    out = PutU16(out, header.bfReserved1);
    out = PutU16(out, header.bfReserved2);
    return PutU32(out, header.bfOffBits);
}

uint8_t* PutInfoHeader(uint8_t* out, const InfoHeader& info) {
    out = PutU32(out, info.biSize);
    out = PutU32(out, uint32_t(info.biWidth));
    out = PutU32(out, uint32_t(info.biHeight));
    out = PutU16(out, info.biPlanes);
    out = PutU16(out, info.biBitCount);
    out = PutU32(out, info.biCompression);
    out = PutU32(out, info.biSizeImage);
    out = PutU32(out, uint32_t(info.biXPelsPerMeter));
    out = PutU32(out, uint32_t(info.biYPelsPerMeter));
    out = PutU32(out, info.biClrUsed);
    return PutU32(out, info.biClrImportant);
}

// At 1 and 16 bits rows are gathered into a window first and encoded whole:
// eight pixels share a byte at 1 bit, and at 16 bits the two-byte stores
// ran slower tile by tile. Pixels x0 .. x0 + count - 1 of one file
// row; the row's padding is left alone.
void PackPixels(int32_t depth, const ColorQuad* pixels, int32_t x0, int32_t count, PaletteIndexCache& indices,
                uint8_t* out) {
    switch (depth) {
    case 1: PackRow1(pixels, count, indices, out + x0 / 8); break;  // pieces start on whole bytes
    default: PackRow16(pixels, count, out + 2 * size_t(x0)); break;
    }
}

// At 4, 8, 24 and 32 bits sixteen columns at a time go straight into the
// file rows: each row of such a tile is a short contiguous run, and the
// column reads stay within a few cache lines. encode(column, n, i, out)
// stores row yBottom - i of the tile's n columns from out on; tiles start
// on whole bytes.
template <typename Encode>
void EncodeTilesWith(const ColorQuad* const* columns, int32_t depth, int32_t x0, int32_t span, int32_t yBottom,
                     int32_t count, uint8_t* rows, int64_t rowSize, Encode encode) {
    constexpr int32_t Tile = 16;
    const ColorQuad* column[Tile];
    for (int32_t k0 = x0; k0 < x0 + span; k0 += Tile) {
        const int32_t n = std::min(Tile, x0 + span - k0);
        for (int32_t k = 0; k < n; ++k) column[k] = columns[k0 + k] + yBottom;
        uint8_t* row = rows + size_t(k0) * size_t(depth) / 8;
        for (int32_t i = 0; i < count; ++i, row += rowSize) encode(column, n, i, row);
    }
}

void EncodeTiles(int32_t depth, const ColorQuad* const* columns, int32_t x0, int32_t span, bool rightEdge,
                 int32_t yBottom, int32_t count, PaletteIndexCache& indices, uint8_t* rows, int64_t rowSize) {
    using Columns = const ColorQuad* const*;
    switch (depth) {
    case 4:  // two pixels a byte, the left one in the high nibble
        EncodeTilesWith(columns, depth, x0, span, yBottom, count, rows, rowSize,
                        [&indices](Columns column, int32_t n, int32_t i, uint8_t* out) {
                            int32_t k = 0;
                            for (; k + 2 <= n; k += 2)
                                out[k / 2] = uint8_t(indices.IndexOf(column[k][-i]) << 4 |
                                                     indices.IndexOf(column[k + 1][-i]));
                            if (k < n) out[k / 2] = uint8_t(indices.IndexOf(column[k][-i]) << 4);
                        });
        break;
    case 8:
        EncodeTilesWith(columns, depth, x0, span, yBottom, count, rows, rowSize,
                        [&indices](Columns column, int32_t n, int32_t i, uint8_t* out) {
                            for (int32_t k = 0; k < n; ++k) out[k] = indices.IndexOf(column[k][-i]);
                        });
        break;
    case 24: {
        // Four bytes a pixel, left to right: each pixel's fourth byte is
        // overwritten by the next pixel. The image's last column, whose
        // fourth byte would land in the padding or the next row, goes last
        // and byte by byte.
        const int32_t whole = rightEdge ? span - 1 : span;
        EncodeTilesWith(columns, depth, x0, whole, yBottom, count, rows, rowSize,
                        [](Columns column, int32_t n, int32_t i, uint8_t* out) {
                            for (int32_t k = 0; k < n; ++k) StorePixel24Word(column[k][-i], out + 3 * size_t(k));
                        });
        if (rightEdge) {
            EncodeTilesWith(columns, depth, x0 + whole, 1, yBottom, count, rows, rowSize,
                            [](Columns column, int32_t n, int32_t i, uint8_t* out) {
                                for (int32_t k = 0; k < n; ++k) StorePixel24(column[k][-i], out + 3 * size_t(k));
                            });
        }
        break;
    }
    default:
        EncodeTilesWith(columns, depth, x0, span, yBottom, count, rows, rowSize,
                        [](Columns column, int32_t n, int32_t i, uint8_t* out) {
                            for (int32_t k = 0; k < n; ++k) std::memcpy(out + 4 * size_t(k), &column[k][-i], 4);
                        });
        break;
    }
}

int64_t PaletteBytes(int32_t depth) {
    if (depth <= 8) return 4 * int64_t{IntegerPower(2, depth)};
    return depth == 16 ? 12 : 0;
}
}  // namespace

bool BMPImage::SaveFile(const char* path) {
    lastWriteError = Save(path);
    return lastWriteError == WriteError::None;
}

WriteError BMPImage::Save(const char* path) {
    lastSystemError = 0;
    if (path == nullptr) return WriteError::OpenFailed;
    const int32_t depth = bitDepth;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return WriteError::UnsupportedDepth;
    if (int64_t{depth} * width > Limits::MaxRowBits) return WriteError::TooLarge;
    const int64_t rowSize = RowSize(depth, width);
    const int64_t imageBytes = rowSize * height;
    const int64_t paletteBytes = PaletteBytes(depth);
    if (HeadersSize + paletteBytes + imageBytes > int64_t(Limits::MaxFileBytes)) return WriteError::TooLarge;

    // Everything that can fail for want of memory is had before the file exists.
    const RowWindow window = WindowFor(width);
    std::unique_ptr<uint8_t[]> io(new (std::nothrow) uint8_t[size_t(rowSize * window.rows)]());
    const bool tiles = depth == 4 || depth == 8 || depth == 24 || depth == 32;
    std::unique_ptr<ColorQuad[]> pixelRows;
    if (!tiles) pixelRows.reset(new (std::nothrow) ColorQuad[size_t(window.span) * size_t(window.rows)]);
    std::unique_ptr<ColorQuad[]> standardPalette;
    if (depth <= 8 && !palette) standardPalette.reset(new (std::nothrow) ColorQuad[IntegerPower(2, depth)]);
    if (!io || (!tiles && !pixelRows) || (depth <= 8 && !palette && !standardPalette)) return WriteError::OutOfMemory;

    FileHandle file(std::fopen(path, "wb"));
    if (!file) {
        lastSystemError = errno;
        return WriteError::OpenFailed;
    }
    if (standardPalette) {
        palette = std::move(standardPalette);  // the image keeps the palette it was written with
        FillStandardPalette();
    }

    FileHeader fileHeader;
    fileHeader.bfSize = uint32_t(HeadersSize + paletteBytes + imageBytes);
    fileHeader.bfOffBits = uint32_t(HeadersSize + paletteBytes);
    InfoHeader info;
    info.biSize = InfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = uint16_t(depth);
    info.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
    info.biSizeImage = uint32_t(imageBytes);
    info.biXPelsPerMeter = xPelsPerMeter != 0 ? xPelsPerMeter : DefaultPelsPerMeter;
    info.biYPelsPerMeter = yPelsPerMeter != 0 ? yPelsPerMeter : DefaultPelsPerMeter;
    info.biClrUsed = 0;
    info.biClrImportant = 0;

    uint8_t head[HeadersSize + 256 * 4];
    uint8_t* end = PutInfoHeader(PutFileHeader(head, fileHeader), info);
    if (depth <= 8) {
        std::memcpy(end, palette.get(), size_t(paletteBytes));  // entries are stored as their four bytes
        end += paletteBytes;
    } else if (depth == 16) {
        for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) end = PutU32(end, mask);
    }
    bool written = std::fwrite(head, 1, size_t(end - head), file.get()) == size_t(end - head);

    PaletteIndexCache indices(*this);
    for (int32_t y = height - 1; written && y >= 0;) {
        const int32_t rows = std::min(window.rows, y + 1);
        for (int32_t x0 = 0; x0 < width; x0 += window.span) {
            const int32_t span = std::min(window.span, width - x0);
            if (tiles) {
                EncodeTiles(depth, columns.get(), x0, span, x0 + span == width, y, rows, indices, io.get(), rowSize);
            } else {
                LoadRows(columns.get(), x0, span, y, rows, pixelRows.get());
                for (int32_t i = 0; i < rows; ++i)
                    PackPixels(depth, pixelRows.get() + size_t(i) * size_t(span), x0, span, indices,
                               io.get() + size_t(i) * size_t(rowSize));
            }
        }
        const size_t bytes = size_t(rowSize) * size_t(rows);
        written = std::fwrite(io.get(), 1, bytes, file.get()) == bytes;
        y -= rows;
    }
    if (!written) {
        lastSystemError = errno;
        return WriteError::WriteFailed;
    }
    if (std::fclose(file.release()) != 0) {
        lastSystemError = errno;
        return WriteError::CloseFailed;
    }
    return WriteError::None;
}
