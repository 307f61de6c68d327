#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "BMPImage.h"
#include "ColumnTiles.h"
#include "Headers.h"
#include "Limits.h"
#include "ReadExact.h"
#include "RowCodec.h"
#include "RowSize.h"

bool ReadExact(void* buffer, int32_t itemSize, int32_t itemCount, std::FILE* stream) {
    if (itemSize < 0 || itemCount < 0 || std::feof(stream)) return false;
    return std::fread(buffer, size_t(itemSize), size_t(itemCount), stream) >= size_t(itemCount);
}

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }  // a file only read loses nothing
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Rows move from the file into the columns this many at a time (at most),
// through one I/O buffer.
constexpr int64_t BlockBytes = int64_t{2048} << 10;
constexpr int32_t MaxBlockRows = 64;

int32_t BlockRows(int32_t width) {
    return int32_t(std::max<int64_t>(1, std::min<int64_t>(MaxBlockRows, BlockBytes / (4 * int64_t{width}))));
}

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

// Whole rows at depths other than 16, straight from the file's bytes into the columns.
void UnpackRows(ColorQuad* const* columns, int32_t depth, int32_t width, int32_t yBottom, int32_t count,
                const uint8_t* rows, int64_t rowSize, const ColorQuad* table) {
    auto unpack = [&](const uint8_t* in, int32_t x0, int32_t n, ColorQuad* tile) {
        switch (depth) {
        case 1: UnpackRow1(in + x0 / 8, n, table, tile); break;  // tiles start on whole bytes
        case 4: UnpackRow4(in + x0 / 2, n, table, tile); break;
        case 8: UnpackRow8(in + x0, n, table, tile); break;
        case 24:
            for (int32_t k = 0; k < n; ++k) {
                const uint8_t* p = in + 3 * size_t(x0 + k);
                tile[k] = ColorQuad{p[0], p[1], p[2], 0};  // 24-bit pixels have alpha 0
            }
            break;
        default: UnpackRow32(in + 4 * size_t(x0), n, tile); break;
        }
    };
    UnpackIntoColumns(columns, width, yBottom, count, rows, rowSize, unpack);
}

// Whole 16-bit rows; the caller replays word by word only where the file ends early.
// `colours` holds the decoded colour of each of the 65536 words.
void UnpackRows16(ColorQuad* const* columns, int32_t width, int32_t yBottom, int32_t count, const uint8_t* rows,
                  int64_t rowSize, const ColorQuad* colours) {
    auto unpack = [&](const uint8_t* in, int32_t x0, int32_t n, ColorQuad* tile) {
        for (int32_t k = 0; k < n; ++k) tile[k] = colours[Word16(in + 2 * size_t(x0 + k))];
    };
    UnpackIntoColumns(columns, width, yBottom, count, rows, rowSize, unpack);
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

    const int32_t blockRows = BlockRows(width);
    const int64_t rowSize = RowSize(depth, width);
    std::unique_ptr<uint8_t[]> io(new (std::nothrow) uint8_t[size_t(rowSize * blockRows)]);
    // Only 16-bit rows that the file cuts short are replayed word by word
    // into a block of pixels. Not cleared: a row is set when it arrives, and a
    // tiny file that declares one huge row must not pay for touching it.
    std::unique_ptr<ColorQuad[]> block;
    if (depth == 16) block.reset(new (std::nothrow) ColorQuad[size_t(width) * size_t(blockRows)]);
    if (!io || (depth == 16 && !block)) {
        Reset();
        return ReadError::OutOfMemory;
    }

    std::array<ColorQuad, 256> table{};
    for (int32_t i = 0; i < 256; ++i) table[i] = PaletteColor(i);
    // A 16-bit pixel's colour depends only on its word: decode each word once.
    std::unique_ptr<ColorQuad[]> wordColours;
    if (depth == 16) {
        wordColours.reset(new (std::nothrow) ColorQuad[65536]);
        if (!wordColours) {
            Reset();
            return ReadError::OutOfMemory;
        }
        for (uint32_t w = 0; w < 65536; ++w) wordColours[w] = Decode16(uint16_t(w), masks);
    }
    uint16_t word = 0;  // at 16 bits a missing word repeats the last one read
    int32_t y = height - 1;  // the next row to fill, counting down as the file runs bottom up
    while (y >= 0) {
        const int32_t rows = std::min(blockRows, y + 1);
        const size_t got = input.Read(io.get(), size_t(rowSize) * size_t(rows));
        int32_t decoded = rows;
        if (depth == 16 && got == size_t(rowSize) * size_t(rows)) {
            UnpackRows16(columns.get(), width, y, rows, io.get(), rowSize, wordColours.get());
            word = Word16(io.get() + size_t(rows - 1) * size_t(rowSize) + 2 * size_t(width - 1));
        } else if (depth == 16) {
            const size_t trailing = size_t(rowSize - 2 * int64_t{width});
            size_t p = 0;
            for (int32_t i = 0; i < rows; ++i) {
                ColorQuad* row = block.get() + size_t(i) * size_t(width);
                for (int32_t x = 0; x < width; ++x) {
                    if (p + 2 <= got) {
                        word = Word16(io.get() + p);
                        p += 2;
                    } else {
                        p = got;
                    }
                    row[x] = wordColours[word];
                }
                p = std::min(p + trailing, got);
            }
            CopyRowsIn(y, rows, block.get());
        } else {
            decoded = int32_t(got / size_t(rowSize));  // a short row ends the image
            UnpackRows(columns.get(), depth, width, y, decoded, io.get(), rowSize, table.data());
        }
        y -= decoded;
        if (decoded < rows) break;
    }
    // Rows the file did not deliver stay white with alpha 0.
    for (int32_t x = 0; x < width && y >= 0; ++x) std::fill_n(columns[x], size_t(y) + 1, WhiteTransparent);
    return ReadError::None;
}
