#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "BMPImage.h"

// Remembers NearestPaletteIndex per colour. The answer depends only on blue,
// green and red, and the pixels of a paletted image are nearly all palette
// colours, so a small table answers almost every pixel. Colours are never
// evicted: with a direct-mapped table two palette colours that share a slot
// pushed each other out on every pixel, and each miss scans the palette.
class PaletteIndexCache {
public:
    explicit PaletteIndexCache(const BMPImage& source) : image(source) {}

    uint8_t IndexOf(ColorQuad colour) {
        const uint32_t key = uint32_t{colour.blue} | uint32_t{colour.green} << 8 | uint32_t{colour.red} << 16;
        if (key == lastKey) return lastIndex;
        if (key == previousKey) {  // two colours in turn, as in dithered or 1-bit images
            std::swap(lastKey, previousKey);
            std::swap(lastIndex, previousIndex);
            return lastIndex;
        }
        previousKey = lastKey;
        previousIndex = lastIndex;
        uint32_t position = (key * 2654435761u) >> (32 - SlotBits);
        for (;;) {
            Slot& slot = slots[position];
            if (slot.tag == key + 1) {
                lastIndex = slot.index;
                break;
            }
            if (slot.tag == 0) {
                lastIndex = image.NearestPaletteIndex(colour);
                if (used < MaxUsed) {  // a full table still answers, uncached
                    slot.tag = key + 1;
                    slot.index = lastIndex;
                    ++used;
                }
                break;
            }
            position = (position + 1) & (SlotCount - 1);
        }
        lastKey = key;
        return lastIndex;
    }

private:
    static constexpr int SlotBits = 12;
    static constexpr uint32_t SlotCount = uint32_t{1} << SlotBits;
    static constexpr uint32_t MaxUsed = SlotCount / 4 * 3;  // keeps probe runs short
    struct Slot {
        uint32_t tag = 0;  // colour + 1, so that 0 marks an empty slot
        uint8_t index = 0;
    };

    const BMPImage& image;
    std::array<Slot, SlotCount> slots{};
    uint32_t used = 0;
    uint32_t lastKey = UINT32_MAX;  // no colour has this key
    uint8_t lastIndex = 0;
    uint32_t previousKey = UINT32_MAX;
    uint8_t previousIndex = 0;
};
