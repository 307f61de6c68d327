// Loads arbitrary bytes as a BMP file, frames and saves the image, and checks
// what a load promises: a refusal leaves the image reset (or, for a foreign
// signature, untouched), and an accepted image survives its own save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "FuzzSupport.h"

namespace {
// Bigger images are within the limits but make each run slow without
// reaching any code that smaller ones do not.
constexpr int64_t MaxFuzzPixels = int64_t{1} << 16;

int32_t LittleEndian32(const uint8_t* data, size_t size, size_t offset) {
    if (offset + 4 > size) return 0;
    return int32_t(uint32_t{data[offset]} | uint32_t{data[offset + 1]} << 8 | uint32_t{data[offset + 2]} << 16 |
                   uint32_t{data[offset + 3]} << 24);
}

bool DeclaresHugeImage(const uint8_t* data, size_t size) {
    const int64_t width = LittleEndian32(data, size, 18);
    const int64_t height = LittleEndian32(data, size, 22);
    return width > 0 && height > 0 && width * height > MaxFuzzPixels;
}

// A recognisable state for the image before the load, so that a load that
// must leave it alone can be checked.
void MakeBefore(BMPImage& image) {
    Require(image.SetDepth(32), "SetDepth(32)");
    Require(image.SetDimensions(3, 2), "SetDimensions(3, 2)");
    for (int32_t x = 0; x < 3; ++x)
        for (int32_t y = 0; y < 2; ++y) image.PixelAt(x, y) = ColorQuad{uint8_t(x), uint8_t(y), 7, 9};
    image.xPelsPerMeter = 1234;
    image.yPelsPerMeter = -5678;
}

void CheckUntouched(const BMPImage& image) {
    Require(image.bitDepth == 32 && image.Width() == 3 && image.Height() == 2, "foreign signature kept the size");
    Require(image.xPelsPerMeter == 1234 && image.yPelsPerMeter == -5678, "foreign signature kept the resolution");
    for (int32_t x = 0; x < 3; ++x)
        for (int32_t y = 0; y < 2; ++y)
            Require(image.PixelAt(x, y) == ColorQuad{uint8_t(x), uint8_t(y), 7, 9}, "foreign signature kept pixels");
}

bool HeadersWereRead(ReadError error) {
    return error == ReadError::UnsupportedCompression || error == ReadError::UnsupportedDepth ||
           error == ReadError::BadSize || error == ReadError::TooLarge || error == ReadError::OutOfMemory;
}

void CheckReset(const BMPImage& image, const uint8_t* data, size_t size) {
    Require(image.bitDepth == 1 && image.Width() == 1 && image.Height() == 1, "refusal resets to 1 x 1 at depth 1");
    Require(image.PixelAt(0, 0) == WhiteTransparent, "refusal leaves one white pixel");
    Require(image.PaletteColor(0) == ColorQuad{0, 0, 0, 0}, "refusal leaves the standard palette (black)");
    Require(image.PaletteColor(1) == ColorQuad{255, 255, 255, 0}, "refusal leaves the standard palette (white)");
    if (HeadersWereRead(image.LastReadError())) {
        Require(image.xPelsPerMeter == LittleEndian32(data, size, 38), "refusal keeps the file's x resolution");
        Require(image.yPelsPerMeter == LittleEndian32(data, size, 42), "refusal keeps the file's y resolution");
    } else {
        Require(image.xPelsPerMeter == 1234 && image.yPelsPerMeter == -5678, "early refusal keeps the resolution");
    }
}

// The pixel that a reload of the saved image must give back.
ColorQuad AfterSave(const BMPImage& image, ColorQuad pixel) {
    switch (image.bitDepth) {
    case 1:
    case 4:
    case 8: return image.PaletteColor(image.NearestPaletteIndex(pixel));
    case 16: return Without16BitLowBits(pixel);
    case 24: return ColorQuad{pixel.blue, pixel.green, pixel.red, 0};
    default: return pixel;
    }
}

uint32_t Packed(ColorQuad colour) {
    return uint32_t{colour.blue} | uint32_t{colour.green} << 8 | uint32_t{colour.red} << 16 |
           uint32_t{colour.alpha} << 24;
}

void CheckReload(const BMPImage& saved, const char* path) {
    std::unordered_map<uint32_t, ColorQuad> expected;  // a palette search per pixel would dominate the run
    BMPImage again;
    Require(again.LoadFile(path), "a saved image loads again");
    Require(again.bitDepth == saved.bitDepth, "reload keeps the depth");
    Require(again.Width() == saved.Width() && again.Height() == saved.Height(), "reload keeps the size");
    Require(again.xPelsPerMeter == (saved.xPelsPerMeter != 0 ? saved.xPelsPerMeter : 3780), "reload x resolution");
    Require(again.yPelsPerMeter == (saved.yPelsPerMeter != 0 ? saved.yPelsPerMeter : 3780), "reload y resolution");
    for (int32_t x = 0; x < saved.Width(); ++x)
        for (int32_t y = 0; y < saved.Height(); ++y) {
            const ColorQuad pixel = saved.PixelAt(x, y);
            auto known = expected.find(Packed(pixel));
            if (known == expected.end()) known = expected.emplace(Packed(pixel), AfterSave(saved, pixel)).first;
            Require(again.PixelAt(x, y) == known->second, "reload gives the saved pixels");
        }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (DeclaresHugeImage(data, size)) return 0;
    const std::string input = ScratchPath("input.bmp");
    const std::string output = ScratchPath("output.bmp");
    if (!WriteScratch(input, data, size)) return 0;

    BMPImage image;
    MakeBefore(image);
    if (!image.LoadFile(input.c_str())) {
        const bool foreign = size >= 2 && (data[0] != 'B' || data[1] != 'M');
        Require(foreign == (image.LastReadError() == ReadError::NotBmp), "only a foreign signature is NotBmp");
        if (foreign)
            CheckUntouched(image);
        else
            CheckReset(image, data, size);
        return 0;
    }
    Require(image.LastReadError() == ReadError::None, "a load that succeeds reports no error");
    ApplyCircularFrame(image);
    Require(image.SaveFile(output.c_str()), "a loaded image saves");
    CheckReload(image, output.c_str());
    std::remove(input.c_str());
    std::remove(output.c_str());
    return 0;
}
