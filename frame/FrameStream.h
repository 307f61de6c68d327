#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "BMPImage.h"
#include "Errors.h"

struct FrameFileResult {
    ReadError readError = ReadError::None;
    WriteError writeError = WriteError::None;
    int systemError = 0;  // errno of the failing system call, or 0
};

// Frames a file a block of rows at a time, straight from the input to the
// output, writing the same bytes as LoadFile, ApplyCircularFrame and SaveFile
// do. Holding the whole image costs more than the job: faulting in a fresh
// 256 MB pixel block takes longer than reading and writing the file, and
// every pixel would be turned into a full colour and back. Here each row is
// changed in place in the file's own form. Files it does not take (cut short,
// not a regular file, headers the reader refuses, radii beyond the exact
// integer test) go the image way.
class FrameStream {
public:
    // Reads and checks the headers and the palette or masks. False when the
    // file must go the image way; LoadFile then says why, if it refuses it.
    bool Open(const char* inputPath);
    // Whether writing to outputPath would overwrite the input while it is read.
    bool IsInput(const char* outputPath) const;
    // Frames the opened input into outputPath. A read error means the input
    // changed or failed after Open; the output is then incomplete.
    FrameFileResult WriteTo(const char* outputPath);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void FrameRow(uint8_t* row, int32_t y) const;
    void SetRange(uint8_t* row, int32_t from, int32_t to) const;
    void KeepRange(uint8_t* row, int32_t from, int32_t to) const;
    size_t PutHeaders(uint8_t* out) const;

    std::unique_ptr<std::FILE, FileCloser> input;
    uint64_t inputDevice = 0;
    uint64_t inputInode = 0;
    BMPImage image;  // holds the depth and the palette; its pixels are not used
    int32_t width = 0;
    int32_t height = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    int64_t rowSize = 0;
    // 16 bits: each channel's mask and the shift that leaves its top five bits.
    uint16_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    int32_t shifts[3] = {10, 5, 0};
    // 1, 4 and 8 bits: the index SaveFile writes for a pixel read with index
    // i, and for a pixel turned black.
    std::array<uint8_t, 256> indexOut{};
    bool indicesKept = true;
    uint8_t blackIndex = 0;
};

// Loads inputPath, applies the circular frame and saves the result to
// outputPath at the input's depth, streaming where it can. Nothing is written
// when the input cannot be loaded.
FrameFileResult FrameFile(const char* inputPath, const char* outputPath);
