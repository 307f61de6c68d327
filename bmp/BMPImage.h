#pragma once

#include <cstdint>
#include <memory>

#include "ColorQuad.h"
#include "Errors.h"
#include "PixelBuffer.h"

// Base raised to exponent by repeated multiplication; 1 for an exponent of 0 or less.
int32_t IntegerPower(int32_t base, int32_t exponent);

// An image of full-colour pixels, held column by column, with the bit depth it
// is stored at in a file and, at depths 1, 4 and 8, the palette it uses there.
class BMPImage {
public:
    BMPImage();
    ~BMPImage() = default;
    BMPImage(const BMPImage&) = delete;
    BMPImage& operator=(const BMPImage&) = delete;
    BMPImage(BMPImage&& other) noexcept;
    BMPImage& operator=(BMPImage&& other) noexcept;

    int32_t Width() const { return width; }
    int32_t Height() const { return height; }

    // Out-of-range coordinates are clamped to the nearest edge pixel.
    ColorQuad& PixelAt(int32_t x, int32_t y);
    const ColorQuad& PixelAt(int32_t x, int32_t y) const;

    int32_t ColorCount() const;
    bool SetDepth(int32_t bits);
    // Every pixel becomes white with alpha 0. False, changing nothing, for a
    // size below 1 or when the memory cannot be had.
    bool SetDimensions(int32_t newWidth, int32_t newHeight);

    ColorQuad PaletteColor(int32_t index) const;
    bool SetPaletteColor(int32_t index, ColorQuad colour);
    bool FillStandardPalette();
    uint8_t NearestPaletteIndex(const ColorQuad& colour) const;

    bool LoadFile(const char* path);
    bool SaveFile(const char* path);
    // Why the last LoadFile or SaveFile failed; errno of the failing system call, or 0.
    ReadError LastReadError() const { return lastReadError; }
    WriteError LastWriteError() const { return lastWriteError; }
    int LastSystemError() const { return lastSystemError; }

    bool DecodeRow1(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y);
    bool DecodeRow4(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y);
    bool DecodeRow8(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y);
    bool DecodeRow24(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y);
    bool DecodeRow32(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y);

    bool EncodeRow32(uint8_t* buffer, int32_t length, int32_t y) const;
    bool EncodeRow24(uint8_t* buffer, int32_t length, int32_t y) const;
    bool EncodeRow8(uint8_t* buffer, int32_t length, int32_t y) const;
    bool EncodeRow4(uint8_t* buffer, int32_t length, int32_t y) const;
    bool EncodeRow1(uint8_t* buffer, int32_t length, int32_t y) const;

    // Move `count` rows between the columns and a row-major block whose row i
    // is image row yBottom - i: the order rows have in a file. Moving many
    // rows at once keeps the column-major storage cache-friendly.
    void CopyRowsOut(int32_t yBottom, int32_t count, ColorQuad* block) const;
    void CopyRowsIn(int32_t yBottom, int32_t count, const ColorQuad* block);

    int32_t bitDepth = 24;
    int32_t width = 1;
    int32_t height = 1;
    // columns[x] points at column x, height pixels top to bottom; all columns
    // lie one after the other in one block.
    std::unique_ptr<ColorQuad*[]> columns;
    std::unique_ptr<ColorQuad[]> palette;  // ColorCount() entries at depths 1, 4 and 8, else none
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;

private:
    // Storage for a new size, pixels not yet set; false when it cannot be had.
    bool Resize(int32_t newWidth, int32_t newHeight);
    void Reset();
    ReadError Load(const char* path);
    WriteError Save(const char* path);

    PixelBuffer pixels;
    ReadError lastReadError = ReadError::None;
    WriteError lastWriteError = WriteError::None;
    int lastSystemError = 0;
};
