// Drives the image operations with sizes, depths, coordinates, palette
// entries and row bytes taken from the input, checking each result against
// what the operation promises.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "BMPImage.h"
#include "FuzzSupport.h"

namespace {
constexpr int32_t MaxSide = 40;

bool IsDepth(int32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }
bool IsPaletted(int32_t bits) { return bits == 1 || bits == 4 || bits == 8; }

ColorQuad TakeColour(FuzzedDataProvider& input) {
    ColorQuad colour{};
    colour.blue = input.ConsumeIntegral<uint8_t>();
    colour.green = input.ConsumeIntegral<uint8_t>();
    colour.red = input.ConsumeIntegral<uint8_t>();
    colour.alpha = input.ConsumeIntegral<uint8_t>();
    return colour;
}

int32_t Clamp(int32_t value, int32_t size) { return std::max(0, std::min(value, size - 1)); }

void SetDepth(BMPImage& image, FuzzedDataProvider& input) {
    const int32_t bits = input.ConsumeIntegralInRange<int32_t>(-1, 33);
    const int32_t before = image.bitDepth;
    const bool done = image.SetDepth(bits);
    Require(done == IsDepth(bits), "SetDepth accepts exactly the six depths");
    Require(image.bitDepth == (done ? bits : before), "SetDepth changes the depth only when it accepts it");
    Require((image.palette != nullptr) == IsPaletted(image.bitDepth), "a palette exactly at depths 1, 4, 8");
}

void SetDimensions(BMPImage& image, FuzzedDataProvider& input) {
    const int32_t width = input.ConsumeIntegralInRange<int32_t>(-1, MaxSide);
    const int32_t height = input.ConsumeIntegralInRange<int32_t>(-1, MaxSide);
    const int32_t oldWidth = image.Width();
    const int32_t oldHeight = image.Height();
    const bool done = image.SetDimensions(width, height);
    Require(done == (width >= 1 && height >= 1), "SetDimensions accepts every size of at least 1 x 1");
    if (!done) {
        Require(image.Width() == oldWidth && image.Height() == oldHeight, "a refused size changes nothing");
        return;
    }
    Require(image.Width() == width && image.Height() == height, "SetDimensions sets the size");
    for (int32_t x = 0; x < width; ++x)
        for (int32_t y = 0; y < height; ++y)
            Require(image.PixelAt(x, y) == WhiteTransparent, "a new size is white with alpha 0");
}

void SetPixel(BMPImage& image, FuzzedDataProvider& input) {
    const int32_t x = input.ConsumeIntegral<int32_t>();
    const int32_t y = input.ConsumeIntegral<int32_t>();
    const ColorQuad colour = TakeColour(input);
    image.PixelAt(x, y) = colour;
    const BMPImage& view = image;
    Require(view.PixelAt(Clamp(x, image.Width()), Clamp(y, image.Height())) == colour, "PixelAt clamps");
}

void SetPaletteColor(BMPImage& image, FuzzedDataProvider& input) {
    const int32_t index = input.ConsumeIntegralInRange<int32_t>(-2, 260);
    const ColorQuad colour = TakeColour(input);
    const bool inside = IsPaletted(image.bitDepth) && index >= 0 && index < image.ColorCount();
    Require(image.SetPaletteColor(index, colour) == inside, "SetPaletteColor takes exactly the palette's indices");
    Require(image.PaletteColor(index) == (inside ? colour : WhiteTransparent), "PaletteColor reads the entry back");
}

int32_t Distance(ColorQuad a, ColorQuad b) {
    const int32_t blue = int32_t{a.blue} - b.blue;
    const int32_t green = int32_t{a.green} - b.green;
    const int32_t red = int32_t{a.red} - b.red;
    return blue * blue + green * green + red * red;
}

void Nearest(const BMPImage& image, FuzzedDataProvider& input) {
    if (!IsPaletted(image.bitDepth)) return;  // a search over 2^24 entries is slow, and used by nothing
    const ColorQuad colour = TakeColour(input);
    const int32_t found = image.NearestPaletteIndex(colour);
    Require(found < image.ColorCount(), "NearestPaletteIndex stays inside the palette");
    const int32_t best = Distance(image.PaletteColor(found), colour);
    for (int32_t i = 0; i < image.ColorCount(); ++i) {
        const int32_t distance = Distance(image.PaletteColor(i), colour);
        Require(distance >= best, "no entry is nearer than the one found");
        if (i < found) Require(distance > best, "the first of equally near entries is found");
    }
}

struct RowCodec {
    int32_t depth;
    bool (BMPImage::*decode)(const uint8_t*, int32_t, int32_t);
    bool (BMPImage::*encode)(uint8_t*, int32_t, int32_t) const;
};

constexpr RowCodec Codecs[] = {
    {1, &BMPImage::DecodeRow1, &BMPImage::EncodeRow1},   {4, &BMPImage::DecodeRow4, &BMPImage::EncodeRow4},
    {8, &BMPImage::DecodeRow8, &BMPImage::EncodeRow8},   {24, &BMPImage::DecodeRow24, &BMPImage::EncodeRow24},
    {32, &BMPImage::DecodeRow32, &BMPImage::EncodeRow32},
};

int64_t PixelBytes(int32_t depth, int32_t width) { return (int64_t{depth} * width + 7) / 8; }

std::vector<ColorQuad> RowPixels(const BMPImage& image, int32_t y) {
    std::vector<ColorQuad> row;
    for (int32_t x = 0; x < image.Width(); ++x) row.push_back(image.PixelAt(x, y));
    return row;
}

const RowCodec* CodecOf(int32_t depth) {
    for (const RowCodec& codec : Codecs)
        if (codec.depth == depth) return &codec;
    return nullptr;
}

// What a row holds after its pixels went through the encoder and back.
ColorQuad Reencoded(const BMPImage& image, ColorQuad pixel) {
    return IsPaletted(image.bitDepth) ? image.PaletteColor(image.NearestPaletteIndex(pixel)) : pixel;
}

// Decodes bytes into a row, encodes it and decodes the result again, and
// checks that a short buffer is refused without touching image or buffer.
// Each depth goes through its own codec: the others are never used on it.
void RoundTripRow(BMPImage& image, FuzzedDataProvider& input) {
    const RowCodec* found = CodecOf(image.bitDepth);
    if (found == nullptr) return;
    const RowCodec& codec = *found;
    const int32_t y = input.ConsumeIntegralInRange<int32_t>(-2, MaxSide + 2);
    const int64_t needed = PixelBytes(codec.depth, image.Width());
    const int32_t length = input.ConsumeIntegralInRange<int32_t>(-1, int32_t(needed) + 3);
    std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(size_t(std::max(0, length)));
    bytes.resize(size_t(std::max(0, length)) + 1, 0xA5);  // one guard byte past the length
    const std::vector<ColorQuad> before = RowPixels(image, Clamp(y, image.Height()));

    const bool fits = length >= needed;
    Require((image.*codec.decode)(bytes.data(), length, y) == fits, "a decoder refuses exactly a short buffer");
    if (!fits) {
        Require(RowPixels(image, Clamp(y, image.Height())) == before, "a refused decode changes no pixel");
        const std::vector<uint8_t> untouched = bytes;
        Require(!(image.*codec.encode)(bytes.data(), length, y), "an encoder refuses a short buffer");
        Require(bytes == untouched, "a refused encode stores nothing");
        return;
    }
    const std::vector<ColorQuad> decoded = RowPixels(image, Clamp(y, image.Height()));
    std::vector<uint8_t> encoded(size_t(length) + 1, 0xA5);
    Require((image.*codec.encode)(encoded.data(), length, y), "an encoder takes a long enough buffer");
    for (size_t i = size_t(needed); i < encoded.size(); ++i) Require(encoded[i] == 0xA5, "an encoder stays in its row");
    Require((image.*codec.decode)(encoded.data(), length, y), "the encoded row decodes");
    const std::vector<ColorQuad> again = RowPixels(image, Clamp(y, image.Height()));
    for (size_t x = 0; x < decoded.size(); ++x)
        Require(again[x] == Reencoded(image, decoded[x]), "decode, encode, decode keeps the row");
}

// The whole image through a file: what comes back is what the writer can hold.
void SaveAndLoad(BMPImage& image) {
    const std::string path = ScratchPath("operations.bmp");
    if (!IsDepth(image.bitDepth)) return;
    Require(image.SaveFile(path.c_str()), "an image in memory saves");
    BMPImage again;
    Require(again.LoadFile(path.c_str()), "a saved image loads");
    Require(again.Width() == image.Width() && again.Height() == image.Height(), "save and load keep the size");
    for (int32_t x = 0; x < image.Width(); ++x)
        for (int32_t y = 0; y < image.Height(); ++y) {
            const ColorQuad pixel = image.PixelAt(x, y);
            ColorQuad expected = pixel;
            if (IsPaletted(image.bitDepth)) expected = image.PaletteColor(image.NearestPaletteIndex(pixel));
            if (image.bitDepth == 16) expected = Without16BitLowBits(pixel);
            if (image.bitDepth == 24) expected.alpha = 0;
            Require(again.PixelAt(x, y) == expected, "save and load keep what the depth holds");
        }
    std::remove(path.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    BMPImage image;
    for (int32_t step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange<int32_t>(0, 6)) {
        case 0: SetDepth(image, input); break;
        case 1: SetDimensions(image, input); break;
        case 2: SetPixel(image, input); break;
        case 3: SetPaletteColor(image, input); break;
        case 4: Nearest(image, input); break;
        case 5: RoundTripRow(image, input); break;
        default: SaveAndLoad(image); break;
        }
    }
    return 0;
}
