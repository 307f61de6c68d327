#include "FrameStream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "CircularFrame.h"
#include "Headers.h"
#include "Limits.h"
#include "RowSize.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#define VELMORA_FRAME_STREAM 1  // elsewhere a file's identity cannot be told, so every file goes the image way
#endif

namespace {
using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr int32_t DefaultPelsPerMeter = 3780;  // 96 dots per inch, as SaveFile writes
// The integer span test equals the frame's defining distance test below this radius.
constexpr int32_t ExactRadiusLimit = int32_t{1} << 24;
// Rows move this many bytes at a time: few system calls, and a block that
// stays in the cache between reading, framing and writing.
constexpr int64_t BlockBytes = int64_t{512} << 10;

uint32_t U16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

uint8_t* PutU16(uint8_t* out, uint32_t value) {
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    return out + 2;
}

uint8_t* PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
    return out + 4;
}

int64_t PaletteBytes(int32_t depth) {
    if (depth <= 8) return 4 * int64_t{IntegerPower(2, depth)};
    return depth == 16 ? 12 : 0;
}

int64_t FloorSqrt(int64_t value) {
    int64_t root = int64_t(std::sqrt(double(value)));
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return root;
}

int32_t ChannelShift(uint16_t mask) {
    int32_t shift = 0;
    while ((mask >> shift) > 31) ++shift;
    return shift;
}

uint32_t IndexAt(const uint8_t* row, int32_t depth, int32_t x) {
    if (depth == 8) return row[x];
    if (depth == 4) return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0Fu;
    return row[x / 8] >> (7 - x % 8) & 1u;
}

void SetIndexAt(uint8_t* row, int32_t depth, int32_t x, uint32_t index) {
    if (depth == 8) {
        row[x] = uint8_t(index);
    } else if (depth == 4) {
        const int shift = x % 2 == 0 ? 4 : 0;
        row[x / 2] = uint8_t((row[x / 2] & ~(0x0F << shift)) | index << shift);
    } else {
        const int shift = 7 - x % 8;
        row[x / 8] = uint8_t((row[x / 8] & ~(1 << shift)) | index << shift);
    }
}

bool Seek(std::FILE* file, int64_t offset) {
    return offset <= LONG_MAX && std::fseek(file, long(offset), SEEK_SET) == 0;
}
}  // namespace

bool FrameStream::Open(const char* inputPath) {
#if defined(VELMORA_FRAME_STREAM)
    struct stat status {};
    if (inputPath == nullptr || stat(inputPath, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    input.reset(std::fopen(inputPath, "rb"));
    if (!input || fstat(fileno(input.get()), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    inputDevice = uint64_t(status.st_dev);
    inputInode = uint64_t(status.st_ino);
    const int64_t fileBytes = int64_t(status.st_size);

    uint8_t head[HeadersSize];
    if (std::fread(head, 1, sizeof head, input.get()) != sizeof head || U16(head) != BmpSignature) return false;
    const int64_t offBits = U32(head + 10);
    const uint32_t infoSize = U32(head + 14);
    width = int32_t(U32(head + 18));
    height = int32_t(U32(head + 22));
    const int32_t depth = int32_t(U16(head + 28));
    const uint32_t compression = U32(head + 30);
    xPelsPerMeter = int32_t(U32(head + 38));
    yPelsPerMeter = int32_t(U32(head + 42));

    // What the reader or the writer refuses, or handles in a way of its own, goes the image way.
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && depth == 16)) return false;
    if (width <= 0 || height <= 0 || !image.SetDepth(depth)) return false;
    if (int64_t{depth} * width > Limits::MaxRowBits || int64_t{width} * height > Limits::MaxPixels) return false;
    if (std::max(width / 2, height / 2) >= ExactRadiusLimit) return false;
    rowSize = RowSize(depth, width);
    if (HeadersSize + PaletteBytes(depth) + rowSize * height > int64_t(Limits::MaxFileBytes)) return false;

    int64_t position = HeadersSize;
    if (depth <= 8) {
        // Longer info headers (108, 124 bytes) put the palette after themselves.
        int64_t paletteStart = HeadersSize;
        if (infoSize > InfoHeaderSize && FileHeaderSize + int64_t{infoSize} <= offBits)
            paletteStart = FileHeaderSize + int64_t{infoSize};
        const int64_t entries = image.ColorCount();
        const int64_t count = std::min(entries, std::max<int64_t>(0, (offBits - paletteStart) / 4));
        uint8_t raw[256 * 4];
        if (!Seek(input.get(), paletteStart) || std::fread(raw, 4, size_t(count), input.get()) != size_t(count))
            return false;
        std::memcpy(image.palette.get(), raw, size_t(count) * 4);
        for (int64_t i = count; i < entries; ++i) image.palette[i] = WhiteTransparent;
        position = paletteStart + 4 * count;
    } else if (depth == 16 && compression == BI_BITFIELDS) {
        uint8_t raw[12];
        if (std::fread(raw, 1, sizeof raw, input.get()) != sizeof raw) return false;
        for (int i = 0; i < 3; ++i) masks[i] = uint16_t(U16(raw + 4 * i));
        position += sizeof raw;
    }
    for (int i = 0; i < 3; ++i) shifts[i] = ChannelShift(masks[i]);
    if (depth <= 8) {
        for (int32_t i = 0; i < image.ColorCount(); ++i) {
            indexOut[size_t(i)] = image.NearestPaletteIndex(image.PaletteColor(i));
            indicesKept = indicesKept && indexOut[size_t(i)] == i;
        }
        blackIndex = image.NearestPaletteIndex(ColorQuad{0, 0, 0, 0});
    }
    const int64_t rowStart = std::max(position, offBits);
    // A file cut short leaves rows white in ways only the reader reproduces.
    return fileBytes >= rowStart + rowSize * height && Seek(input.get(), rowStart);
#else
    (void)inputPath;
    return false;
#endif
}

bool FrameStream::IsInput(const char* outputPath) const {
#if defined(VELMORA_FRAME_STREAM)
    struct stat status {};
    return outputPath != nullptr && stat(outputPath, &status) == 0 && uint64_t(status.st_dev) == inputDevice &&
           uint64_t(status.st_ino) == inputInode;
#else
    (void)outputPath;
    return true;
#endif
}

// Row y as SaveFile writes it after ApplyCircularFrame: black outside the
// circle, that is where (x - cx)^2 + (y - cy)^2 > R^2, which for radii below
// 2^24 is exactly what ApplyCircularFrame blackens; inside, each pixel as
// loading and saving turn it.
void FrameStream::FrameRow(uint8_t* row, int32_t y) const {
    const int64_t cx = width / 2;
    const int64_t cy = height / 2;
    const int64_t radius = std::max(cx, cy);
    const int64_t dy = y - cy;
    int32_t left = width;
    int32_t right = width;
    if (dy * dy <= radius * radius) {
        const int64_t reach = FloorSqrt(radius * radius - dy * dy);
        left = int32_t(std::max<int64_t>(0, cx - reach));
        right = int32_t(std::min<int64_t>(width, cx + reach + 1));
    }
    SetRange(row, 0, left);
    KeepRange(row, left, right);
    SetRange(row, right, width);

    // SaveFile stores 0 in the bits after the last pixel and in the padding.
    const int32_t depth = image.bitDepth;
    const int64_t pixelBits = int64_t{depth} * width;
    const int64_t pixelBytes = (pixelBits + 7) / 8;
    if (pixelBits % 8 != 0) row[pixelBytes - 1] &= uint8_t(0xFF << (8 - pixelBits % 8));
    std::memset(row + pixelBytes, 0, size_t(rowSize - pixelBytes));
}

// Turns pixels from to to - 1 black.
void FrameStream::SetRange(uint8_t* row, int32_t from, int32_t to) const {
    if (from >= to) return;
    const int32_t depth = image.bitDepth;
    const size_t count = size_t(to - from);
    switch (depth) {
    case 32:
        for (int32_t x = from; x < to; ++x) std::memset(row + 4 * size_t(x), 0, 3);  // alpha stays
        return;
    case 24: std::memset(row + 3 * size_t(from), 0, 3 * count); return;
    case 16: std::memset(row + 2 * size_t(from), 0, 2 * count); return;
    case 8: std::memset(row + from, blackIndex, count); return;
    default: break;
    }
    // 1 and 4 bits: single pixels up to a byte boundary, then whole bytes.
    const int32_t perByte = 8 / depth;
    int32_t x = from;
    for (; x < to && x % perByte != 0; ++x) SetIndexAt(row, depth, x, blackIndex);
    const int32_t wholeEnd = x + (to - x) / perByte * perByte;
    const uint8_t pattern = uint8_t(depth == 4 ? blackIndex * 0x11 : blackIndex * 0xFF);
    std::memset(row + x / perByte, pattern, size_t((wholeEnd - x) / perByte));
    for (x = wholeEnd; x < to; ++x) SetIndexAt(row, depth, x, blackIndex);
}

// Pixels from to to - 1 keep their colour: at 24 and 32 bits their bytes stay;
// at 16 bits the word is rewritten as 5-6-5 from the five bits per channel
// that loading keeps; a palette index becomes the index of the nearest entry
// to its colour, which is itself unless the palette repeats a colour.
void FrameStream::KeepRange(uint8_t* row, int32_t from, int32_t to) const {
    const int32_t depth = image.bitDepth;
    if (depth == 16) {
        for (int32_t x = from; x < to; ++x) {
            uint8_t* p = row + 2 * size_t(x);
            const uint32_t word = uint32_t{p[0]} | uint32_t{p[1]} << 8;
            const uint32_t red = (word & masks[0]) >> shifts[0];
            const uint32_t green = (word & masks[1]) >> shifts[1];
            const uint32_t blue = (word & masks[2]) >> shifts[2];
            const uint32_t out = red << 11 | green << 6 | blue;
            p[0] = uint8_t(out);
            p[1] = uint8_t(out >> 8);
        }
    } else if (depth <= 8 && !indicesKept) {
        for (int32_t x = from; x < to; ++x) SetIndexAt(row, depth, x, indexOut[IndexAt(row, depth, x)]);
    }
}

size_t FrameStream::PutHeaders(uint8_t* out) const {
    const int32_t depth = image.bitDepth;
    const int64_t paletteBytes = PaletteBytes(depth);
    const int64_t imageBytes = rowSize * height;
    uint8_t* end = PutU16(out, BmpSignature);
    end = PutU32(end, uint32_t(HeadersSize + paletteBytes + imageBytes));
    end = PutU16(end, 0);
    end = PutU16(end, 0);
    end = PutU32(end, uint32_t(HeadersSize + paletteBytes));
    end = PutU32(end, InfoHeaderSize);
    end = PutU32(end, uint32_t(width));
    end = PutU32(end, uint32_t(height));
    end = PutU16(end, 1);
    end = PutU16(end, uint32_t(depth));
    end = PutU32(end, depth == 16 ? BI_BITFIELDS : BI_RGB);
    end = PutU32(end, uint32_t(imageBytes));
    end = PutU32(end, uint32_t(xPelsPerMeter != 0 ? xPelsPerMeter : DefaultPelsPerMeter));
    end = PutU32(end, uint32_t(yPelsPerMeter != 0 ? yPelsPerMeter : DefaultPelsPerMeter));
    end = PutU32(end, 0);
    end = PutU32(end, 0);
    if (depth <= 8) {
        std::memcpy(end, image.palette.get(), size_t(paletteBytes));
        end += paletteBytes;
    } else if (depth == 16) {
        for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) end = PutU32(end, mask);
    }
    return size_t(end - out);
}

FrameFileResult FrameStream::WriteTo(const char* outputPath) {
    FrameFileResult result;
    if (outputPath == nullptr || !input) {
        result.writeError = WriteError::OpenFailed;
        return result;
    }
    const int32_t blockRows = int32_t(std::max<int64_t>(1, BlockBytes / rowSize));
    std::unique_ptr<uint8_t[]> io(new (std::nothrow) uint8_t[size_t(rowSize) * size_t(blockRows)]);
    if (!io) {
        result.writeError = WriteError::OutOfMemory;
        return result;
    }
    FileHandle output(std::fopen(outputPath, "wb"), &std::fclose);
    if (!output) {
        result.writeError = WriteError::OpenFailed;
        result.systemError = errno;
        return result;
    }
    uint8_t head[HeadersSize + 256 * 4];
    const size_t headBytes = PutHeaders(head);
    if (std::fwrite(head, 1, headBytes, output.get()) != headBytes) {
        result.writeError = WriteError::WriteFailed;
        result.systemError = errno;
        return result;
    }
    for (int32_t y = height - 1; y >= 0;) {
        const int32_t rows = std::min(blockRows, y + 1);
        const size_t bytes = size_t(rowSize) * size_t(rows);
        if (std::fread(io.get(), 1, bytes, input.get()) != bytes) {
            result.readError = ReadError::ReadFailed;
            result.systemError = std::ferror(input.get()) ? errno : 0;
            return result;
        }
        for (int32_t i = 0; i < rows; ++i) FrameRow(io.get() + size_t(i) * size_t(rowSize), y - i);
        if (std::fwrite(io.get(), 1, bytes, output.get()) != bytes) {
            result.writeError = WriteError::WriteFailed;
            result.systemError = errno;
            return result;
        }
        y -= rows;
    }
    if (std::fclose(output.release()) != 0) {
        result.writeError = WriteError::CloseFailed;
        result.systemError = errno;
    }
    return result;
}

FrameFileResult FrameFile(const char* inputPath, const char* outputPath) {
    FrameFileResult result;
    {
        FrameStream stream;
        if (stream.Open(inputPath) && !stream.IsInput(outputPath)) {
            return stream.WriteTo(outputPath);
        }
    }
    BMPImage image;
    if (!image.LoadFile(inputPath)) {
        result.readError = image.LastReadError();
        result.systemError = image.LastSystemError();
        return result;
    }
    ApplyCircularFrame(image);
    if (!image.SaveFile(outputPath)) {
        result.writeError = image.LastWriteError();
        result.systemError = image.LastSystemError();
    }
    return result;
}
