#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "BMPImage.h"

// Remembers NearestPaletteIndex per colour. The answer depends only on blue,
// green and red, and the pixels of a paletted image are nearly all palette
// colours, so a small table answers almost every pixel. Colours are never
// evicted: with a direct-mapped table two palette colours that share a slot
// pushed each other out on every pixel, and each miss scans the palette.
//
// A hit costs one probe and no other state: noisy rows change colour at
// every pixel, and remembering the last colour only added branches that
// such rows mispredict.
class PaletteIndexCache {
public:
    explicit PaletteIndexCache(const BMPImage& source) : image(source) {}

    uint8_t IndexOf(ColorQuad colour) {
        const uint32_t key = Key(colour);
        const Slot& home = slots[Home(key)];
        if (home.tag == key + 1) return uint8_t(home.index);
        return Probe(colour, key);
    }

    ColorQuad Colour(int32_t index) const { return image.PaletteColor(index); }

    // Blue, green and red as one number, from a single load of the pixel.
    static uint32_t Key(ColorQuad colour) {
        uint32_t word = 0;
        std::memcpy(&word, &colour, sizeof word);
        return word & ColourMask();
    }

private:
    static constexpr int SlotBits = 12;
    static constexpr uint32_t SlotCount = uint32_t{1} << SlotBits;
    static constexpr uint32_t MaxUsed = SlotCount / 4 * 3;  // keeps probe runs short
    struct Slot {
        uint32_t tag = 0;  // colour + 1, so that 0 marks an empty slot
        uint32_t index = 0;
    };

    static uint32_t Home(uint32_t key) { return (key * 2654435761u) >> (32 - SlotBits); }

    // Colours past their home slot, and colours not seen yet.
    uint8_t Probe(ColorQuad colour, uint32_t key) {
        for (uint32_t position = Home(key);; position = (position + 1) & (SlotCount - 1)) {
            Slot& slot = slots[position];
            if (slot.tag == key + 1) return uint8_t(slot.index);
            if (slot.tag == 0) {
                const uint8_t index = image.NearestPaletteIndex(colour);
                if (used < MaxUsed) {  // a full table still answers, uncached
                    slot.tag = key + 1;
                    slot.index = index;
                    ++used;
                }
                return index;
            }
        }
    }

    const BMPImage& image;
    std::array<Slot, SlotCount> slots{};
    uint32_t used = 0;
};
