#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "BMPImage.h"
#include "Headers.h"
#include "Limits.h"
#include "ReadExact.h"
#include "RowCodec.h"
#include "RowSize.h"
#include "RowWindow.h"

bool ReadExact(void* buffer, int32_t itemSize, int32_t itemCount, std::FILE* stream) {
    if (itemSize < 0 || itemCount < 0 || std::feof(stream)) return false;
    return std::fread(buffer, size_t(itemSize), size_t(itemCount), stream) >= size_t(itemCount);
}

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }  // a file only read loses nothing
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads little-endian fields; a field keeps its value when its read fails.
bool ReadU16(std::FILE* file, uint16_t& value) {
    uint8_t b[2];
    if (!ReadExact(b, 2, 1, file)) return false;
    value = uint16_t(b[0] | b[1] << 8);
    return true;
}

bool ReadU32(std::FILE* file, uint32_t& value) {
    uint8_t b[4];
    if (!ReadExact(b, 4, 1, file)) return false;
    value = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    return true;
}

bool ReadI32(std::FILE* file, int32_t& value) {
    uint32_t raw = 0;
    if (!ReadU32(file, raw)) return false;
    value = int32_t(raw);
    return true;
}

// The stream with the number of bytes consumed so far, so that the pixel rows
// can be found at bfOffBits whatever came before them.
class Input {
public:
    explicit Input(std::FILE* stream) : file(stream) {}

    // Bytes that arrived; a short count means the end of the file (or an error).
    size_t Read(void* buffer, size_t bytes) {
        if (std::feof(file) || std::ferror(file)) return 0;
        const size_t got = std::fread(buffer, 1, bytes, file);
        position += int64_t(got);
        return got;
    }

    void SkipTo(int64_t offset) {
        uint8_t scratch[4096];
        while (position < offset) {
            const size_t step = size_t(std::min<int64_t>(offset - position, int64_t{sizeof scratch}));
            if (Read(scratch, step) != step) return;
        }
    }

    std::FILE* file;
    int64_t position = HeadersSize;
};

struct Masks {
    uint16_t mask[3] = {0x7C00, 0x03E0, 0x001F};  // red, green, blue: 5-5-5 unless the file says otherwise
    int32_t shift[3] = {0, 0, 0};
};

int32_t MaskShift(uint16_t mask) {
    int32_t shift = 0;
    while ((mask >> shift) > 31) ++shift;
    return shift;
}

ColorQuad Decode16(uint16_t word, const Masks& m) {
    auto channel = [&](int i) { return uint8_t(((word & m.mask[i]) >> m.shift[i]) * 8); };
    return ColorQuad{channel(2), channel(1), channel(0), 0};
}

uint16_t Word16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

// Column by column, straight from the file rows: each column receives a run
// of `count` pixels, and everything a pixel's position decides (its byte and
// bit) is worked out once for the whole run.
template <typename Decode>
void DecodeInto(ColorQuad* const* columns, int32_t xBegin, int32_t xEnd, int32_t yBottom, int32_t count,
                const uint8_t* rows, int64_t rowSize, Decode decode) {
    for (int32_t x = xBegin; x < xEnd; ++x) {
        ColorQuad* column = columns[x] + yBottom;
        const uint8_t* row = rows;
        for (int32_t i = 0; i < count; ++i, row += rowSize) column[-i] = decode(row, x);
    }
}

void DecodeColumns(int32_t depth, ColorQuad* const* columns, int32_t width, int32_t yBottom, int32_t count,
                   const uint8_t* rows, int64_t rowSize, const ColorQuad* table) {
    switch (depth) {
    case 1:
        DecodeInto(columns, 0, width, yBottom, count, rows, rowSize,
                   [table](const uint8_t* row, int32_t x) { return table[row[x >> 3] >> (7 - (x & 7)) & 1]; });
        break;
    case 4:
        DecodeInto(columns, 0, width, yBottom, count, rows, rowSize, [table](const uint8_t* row, int32_t x) {
            return table[row[x >> 1] >> (x & 1 ? 0 : 4) & 0x0F];
        });
        break;
    case 8:
        DecodeInto(columns, 0, width, yBottom, count, rows, rowSize,
                   [table](const uint8_t* row, int32_t x) { return table[row[x]]; });
        break;
    case 24:
        // One four-byte load a pixel, masked; the last column goes byte by
        // byte, so that nothing past a row is read. 24-bit pixels have alpha 0.
        DecodeInto(columns, 0, width - 1, yBottom, count, rows, rowSize,
                   [](const uint8_t* row, int32_t x) { return LoadPixel24Word(row + 3 * size_t(x)); });
        DecodeInto(columns, width - 1, width, yBottom, count, rows, rowSize,
                   [](const uint8_t* row, int32_t x) { return LoadPixel24(row + 3 * size_t(x)); });
        break;
    default:
        DecodeInto(columns, 0, width, yBottom, count, rows, rowSize, [](const uint8_t* row, int32_t x) {
            const uint8_t* p = row + 4 * size_t(x);
            return ColorQuad{p[0], p[1], p[2], p[3]};
        });
        break;
    }
}

// The 16-bit words of `rows` file rows, of which `got` bytes arrived, as
// pixels x0 .. x0 + span - 1 of each row. A missing word repeats the last one
// read before it; returns the last word read. `colours` holds the colour of
// each of the 65536 words.
uint16_t UnpackWords(const uint8_t* in, size_t got, int64_t rowSize, int32_t rows, int32_t x0, int32_t span,
                     const ColorQuad* colours, uint16_t word, ColorQuad* window) {
    for (int32_t i = 0; i < rows; ++i) {
        ColorQuad* pixels = window + size_t(i) * size_t(span);
        size_t p = size_t(i) * size_t(rowSize) + 2 * size_t(x0);
        if (p + 2 * size_t(span) <= got) {
            for (int32_t k = 0; k < span; ++k) pixels[k] = colours[Word16(in + p + 2 * size_t(k))];
            word = Word16(in + p + 2 * size_t(span - 1));
            continue;
        }
        for (int32_t k = 0; k < span; ++k, p += 2) {
            if (p + 2 <= got) word = Word16(in + p);
            pixels[k] = colours[word];
        }
    }
    return word;
}
}  // namespace

bool BMPImage::LoadFile(const char* path) {
    lastReadError = Load(path);
    return lastReadError == ReadError::None;
}

ReadError BMPImage::Load(const char* path) {
    lastSystemError = 0;
    FileHandle file(path != nullptr ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        lastSystemError = path != nullptr ? errno : 0;
        Reset();
        return ReadError::OpenFailed;
    }
    std::FILE* stream = file.get();

    FileHeader fileHeader;
    bool complete = ReadU16(stream, fileHeader.bfType);
    if (fileHeader.bfType != BmpSignature) return ReadError::NotBmp;  // not ours: leave the image alone
    complete &= ReadU32(stream, fileHeader.bfSize);
    complete &= ReadU16(stream, fileHeader.bfReserved1);
    complete &= ReadU16(stream, fileHeader.bfReserved2);
    complete &= ReadU32(stream, fileHeader.bfOffBits);
    InfoHeader info;
    complete &= ReadU32(stream, info.biSize);
    complete &= ReadI32(stream, info.biWidth);
    complete &= ReadI32(stream, info.biHeight);
    complete &= ReadU16(stream, info.biPlanes);
    complete &= ReadU16(stream, info.biBitCount);
    complete &= ReadU32(stream, info.biCompression);
    complete &= ReadU32(stream, info.biSizeImage);
    complete &= ReadI32(stream, info.biXPelsPerMeter);
    complete &= ReadI32(stream, info.biYPelsPerMeter);
    complete &= ReadU32(stream, info.biClrUsed);
    complete &= ReadU32(stream, info.biClrImportant);
    if (!complete) {
        // A directory opens but cannot be read: say so rather than "truncated".
        const bool failed = std::ferror(stream) != 0;
        lastSystemError = failed ? errno : 0;
        Reset();
        return failed ? ReadError::ReadFailed : ReadError::TruncatedHeader;
    }

    xPelsPerMeter = info.biXPelsPerMeter;
    yPelsPerMeter = info.biYPelsPerMeter;

    const uint32_t compression = info.biCompression;
    const int32_t depth = info.biBitCount;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && depth == 16)) {
        Reset();
        return ReadError::UnsupportedCompression;
    }
    if (!SetDepth(depth)) {
        const bool known = depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
        Reset();
        return known ? ReadError::OutOfMemory : ReadError::UnsupportedDepth;
    }
    if (info.biWidth <= 0 || info.biHeight <= 0) {
        Reset();
        return ReadError::BadSize;
    }
    if (int64_t{depth} * info.biWidth > Limits::MaxRowBits ||
        int64_t{info.biWidth} * info.biHeight > Limits::MaxPixels) {
        Reset();
        return ReadError::TooLarge;
    }
    if (!Resize(info.biWidth, info.biHeight)) {
        Reset();
        return ReadError::OutOfMemory;
    }

    Input input(stream);
    const int64_t offBits = fileHeader.bfOffBits;
    if (depth <= 8) {
        // Longer info headers (108, 124 bytes) put the palette after themselves.
        int64_t paletteStart = HeadersSize;
        if (info.biSize > InfoHeaderSize && FileHeaderSize + int64_t{info.biSize} <= offBits)
            paletteStart = FileHeaderSize + int64_t{info.biSize};
        const int64_t entries = ColorCount();
        const int64_t count = std::min(entries, std::max<int64_t>(0, (offBits - paletteStart) / 4));
        input.SkipTo(paletteStart);
        uint8_t raw[256 * 4];
        const size_t whole = input.Read(raw, size_t(count) * 4) / 4;  // a cut entry keeps its colour
        std::memcpy(palette.get(), raw, whole * 4);
        for (int64_t i = count; i < entries; ++i) palette[size_t(i)] = WhiteTransparent;  // at most 256 entries
    }
    Masks masks;
    if (depth == 16 && compression == BI_BITFIELDS) {
        uint8_t raw[12];
        const size_t got = input.Read(raw, sizeof raw);
        for (size_t i = 0; i < 3; ++i)
            if (got >= 4 * i + 2) masks.mask[i] = uint16_t(raw[4 * i] | raw[4 * i + 1] << 8);
    }
    for (int i = 0; i < 3; ++i) masks.shift[i] = MaskShift(masks.mask[i]);
    input.SkipTo(offBits);

    const RowWindow window = WindowFor(width);
    const int64_t rowSize = RowSize(depth, width);
    std::unique_ptr<uint8_t[]> io(new (std::nothrow) uint8_t[size_t(rowSize * window.rows)]);
    // At 16 bits each word is decoded once, into a table, and rows the file
    // cuts short are replayed word by word through a window of pixels.
    std::unique_ptr<ColorQuad[]> wordColours;
    std::unique_ptr<ColorQuad[]> pixelRows;
    if (depth == 16) {
        wordColours.reset(new (std::nothrow) ColorQuad[65536]);
        pixelRows.reset(new (std::nothrow) ColorQuad[size_t(window.span) * size_t(window.rows)]);
    }
    if (!io || (depth == 16 && (!wordColours || !pixelRows))) {
        Reset();
        return ReadError::OutOfMemory;
    }
    std::array<ColorQuad, 256> table{};
    for (int32_t i = 0; i < 256; ++i) table[i] = PaletteColor(i);
    if (depth == 16)
        for (uint32_t w = 0; w < 65536; ++w) wordColours[w] = Decode16(uint16_t(w), masks);

    uint16_t word = 0;  // at 16 bits a missing word repeats the last one read
    int32_t y = height - 1;  // the next row to fill, counting down as the file runs bottom up
    while (y >= 0) {
        const int32_t rows = std::min(window.rows, y + 1);
        const size_t got = input.Read(io.get(), size_t(rowSize) * size_t(rows));
        int32_t decoded = rows;
        if (depth != 16) {
            decoded = int32_t(got / size_t(rowSize));  // a short row ends the image
            DecodeColumns(depth, columns.get(), width, y, decoded, io.get(), rowSize, table.data());
        } else if (got == size_t(rowSize) * size_t(rows)) {
            const ColorQuad* colours = wordColours.get();
            DecodeInto(columns.get(), 0, width, y, rows, io.get(), rowSize,
                       [colours](const uint8_t* row, int32_t x) { return colours[Word16(row + 2 * size_t(x))]; });
            word = Word16(io.get() + size_t(rows - 1) * size_t(rowSize) + 2 * size_t(width - 1));
        } else {
            for (int32_t x0 = 0; x0 < width; x0 += window.span) {
                const int32_t span = std::min(window.span, width - x0);
                word = UnpackWords(io.get(), got, rowSize, rows, x0, span, wordColours.get(), word, pixelRows.get());
                StoreRows(columns.get(), x0, span, y, rows, pixelRows.get());
            }
        }
        y -= decoded;
        if (decoded < rows) break;
    }
    // Rows the file did not deliver stay white with alpha 0.
    for (int32_t x = 0; x < width && y >= 0; ++x) std::fill_n(columns[x], size_t(y) + 1, WhiteTransparent);
    return ReadError::None;
}
