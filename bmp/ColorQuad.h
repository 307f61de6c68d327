#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// One pixel or palette entry, in the byte order of a palette entry on disk, so
// palette entries and 32-bit pixels move between file and memory as raw bytes.
struct ColorQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t alpha;
};

static_assert(sizeof(ColorQuad) == 4, "ColorQuad must be exactly four bytes");
static_assert(offsetof(ColorQuad, blue) == 0 && offsetof(ColorQuad, green) == 1 &&
                  offsetof(ColorQuad, red) == 2 && offsetof(ColorQuad, alpha) == 3,
              "ColorQuad channels must be blue, green, red, alpha with nothing between");

constexpr ColorQuad WhiteTransparent{255, 255, 255, 0};

inline bool operator==(ColorQuad a, ColorQuad b) {
    return a.blue == b.blue && a.green == b.green && a.red == b.red && a.alpha == b.alpha;
}
inline bool operator!=(ColorQuad a, ColorQuad b) { return !(a == b); }

// The blue, green and red bytes of a pixel read as one four-byte word, in
// either byte order: the word without alpha.
inline uint32_t ColourMask() {
    constexpr uint8_t colourBytes[4] = {0xFF, 0xFF, 0xFF, 0x00};
    uint32_t mask = 0;
    std::memcpy(&mask, colourBytes, sizeof mask);
    return mask;
}
