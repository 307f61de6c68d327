#include "BMPImage.h"

namespace {
ColorQuad Colour(int32_t blue, int32_t green, int32_t red) {
    return ColorQuad{uint8_t(blue), uint8_t(green), uint8_t(red), 0};
}

void FillTwoColours(ColorQuad* palette) {
    palette[0] = Colour(0, 0, 0);
    palette[1] = Colour(255, 255, 255);
}

// The eight half-intensity colours: entry 4b + 2g + r.
void FillDarkColours(ColorQuad* palette) {
    for (int32_t b = 0; b < 2; ++b)
        for (int32_t g = 0; g < 2; ++g)
            for (int32_t r = 0; r < 2; ++r) palette[4 * b + 2 * g + r] = Colour(128 * b, 128 * g, 128 * r);
}

void FillSixteenColours(ColorQuad* palette) {
    FillDarkColours(palette);
    for (int32_t b = 0; b < 2; ++b)
        for (int32_t g = 0; g < 2; ++g)
            for (int32_t r = 0; r < 2; ++r) palette[8 + 4 * b + 2 * g + r] = Colour(255 * b, 255 * g, 255 * r);
    palette[8] = Colour(192, 192, 192);
}

void FillColourCube(ColorQuad* palette) {
    for (int32_t b = 0; b < 4; ++b)
        for (int32_t g = 0; g < 8; ++g)
            for (int32_t r = 0; r < 8; ++r) palette[64 * b + 8 * g + r] = Colour(64 * b, 32 * g, 32 * r);
    FillDarkColours(palette);

    struct Fixed { int32_t index, blue, green, red; };
    static const Fixed fixed[] = {
        {7, 192, 192, 192},   {8, 192, 220, 192},   {9, 240, 202, 166},   {246, 240, 251, 255},
        {247, 164, 160, 160}, {248, 128, 128, 128}, {249, 0, 0, 255},     {250, 0, 255, 0},
        {251, 0, 255, 255},   {252, 255, 0, 0},     {253, 255, 0, 255},   {254, 255, 255, 0},
        {255, 255, 255, 255},
    };
    for (const Fixed& entry : fixed) palette[entry.index] = Colour(entry.blue, entry.green, entry.red);
}
}  // namespace

bool BMPImage::FillStandardPalette() {
    if (!palette) return false;
    switch (bitDepth) {
    case 1: FillTwoColours(palette.get()); return true;
    case 4: FillSixteenColours(palette.get()); return true;
    case 8: FillColourCube(palette.get()); return true;
    default: return false;
    }
}
