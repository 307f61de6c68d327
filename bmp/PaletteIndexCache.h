#pragma once

#include <array>
#include <cstdint>

#include "BMPImage.h"

// Remembers NearestPaletteIndex per colour. The answer depends only on blue,
// green and red, and the pixels of a paletted image are nearly all palette
// colours, so a small direct-mapped table answers almost every pixel.
class PaletteIndexCache {
public:
    explicit PaletteIndexCache(const BMPImage& source) : image(source) {}

    uint8_t IndexOf(ColorQuad colour) {
        const uint32_t key = uint32_t{colour.blue} | uint32_t{colour.green} << 8 | uint32_t{colour.red} << 16;
        if (key == lastKey) return lastIndex;
        Slot& slot = slots[(key * 2654435761u) >> (32 - SlotBits)];
        if (slot.tag != key + 1) {
            slot.tag = key + 1;
            slot.index = image.NearestPaletteIndex(colour);
        }
        lastKey = key;
        lastIndex = slot.index;
        return lastIndex;
    }

private:
    static constexpr int SlotBits = 10;
    struct Slot {
        uint32_t tag = 0;  // colour + 1, so that 0 marks an empty slot
        uint8_t index = 0;
    };

    const BMPImage& image;
    std::array<Slot, size_t{1} << SlotBits> slots{};
    uint32_t lastKey = UINT32_MAX;
    uint8_t lastIndex = 0;
};
