#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BMPImage.h"
#include "TestSupport.h"

// Little-endian fields of a file held in memory.
uint32_t U16At(const std::vector<uint8_t>& bytes, size_t offset);
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset);
int32_t I32At(const std::vector<uint8_t>& bytes, size_t offset);

// An image of the given depth (standard palette) and size whose pixel (x, y) is colour(x, y).
BMPImage MakeImage(int32_t depth, int32_t width, int32_t height,
                   const std::function<ColorQuad(int32_t x, int32_t y)>& colour);

// Saves the image as dir/name and returns the file's bytes; fails the test
// (and returns nothing) when SaveFile refuses.
std::vector<uint8_t> SaveToBytes(BMPImage& image, const TempDir& dir, const std::string& name = "out.bmp");

// Same size and the same four channels in every pixel; names the first pixel that differs.
::testing::AssertionResult SamePixels(const BMPImage& expected, const BMPImage& actual);

// A deterministic colour per call, spread over all 2^32 values.
class ColourSource {
public:
    explicit ColourSource(uint32_t seed) : state(seed) {}
    ColorQuad Next();

private:
    uint32_t state;
};
