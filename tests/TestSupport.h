#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ColorQuad.h"

// Writes a BMP file field by field. Everything is valid by default; each
// setter changes one thing, so a test can break exactly what it means to.
class BmpBuilder {
public:
    BmpBuilder& Signature(uint16_t value) { bfType = value; return *this; }
    BmpBuilder& BitCount(uint16_t value) { biBitCount = value; return *this; }
    BmpBuilder& Size(int32_t width, int32_t height) { biWidth = width; biHeight = height; return *this; }
    BmpBuilder& Compression(uint32_t value) { biCompression = value; return *this; }
    // Length of the info header: 40, or 108 and 124 for the longer ones (zeros after the first 40 bytes).
    BmpBuilder& HeaderSize(uint32_t value) { biSize = value; return *this; }
    BmpBuilder& Resolution(int32_t x, int32_t y) { biXPelsPerMeter = x; biYPelsPerMeter = y; return *this; }
    // Entries written right after the info header.
    BmpBuilder& Palette(std::vector<ColorQuad> entries) { palette = std::move(entries); return *this; }
    // Three 4-byte masks written right after the info header (at 54 with a 40-byte header).
    BmpBuilder& Masks(uint32_t red, uint32_t green, uint32_t blue) { masks = {red, green, blue}; return *this; }
    // bfOffBits; by default the end of the palette or masks. A larger offset
    // inserts zero bytes before the rows; a smaller one is only written.
    BmpBuilder& Offset(uint32_t value) { bfOffBits = value; offsetSet = true; return *this; }
    // The pixel rows exactly as stored, bottom row first, padding included.
    BmpBuilder& Rows(std::vector<uint8_t> bytes) { rows = std::move(bytes); return *this; }
    BmpBuilder& TruncateTo(size_t bytes) { truncateTo = bytes; return *this; }

    std::vector<uint8_t> Build() const;

private:
    uint16_t bfType = 19778;
    uint32_t bfOffBits = 0;
    bool offsetSet = false;
    uint32_t biSize = 40;
    int32_t biWidth = 1;
    int32_t biHeight = 1;
    uint16_t biBitCount = 24;
    uint32_t biCompression = 0;
    int32_t biXPelsPerMeter = 2835;
    int32_t biYPelsPerMeter = 2835;
    std::vector<ColorQuad> palette;
    std::vector<uint32_t> masks;
    std::vector<uint8_t> rows;
    size_t truncateTo = SIZE_MAX;
};

// A file in a private temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes, const std::string& name = "image.bmp");
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();
    const char* Path() const { return path.c_str(); }

private:
    std::string folder;
    std::string path;
};

// A private temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
