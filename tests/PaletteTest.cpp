#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "BMPImage.h"

namespace {
ColorQuad Grey(uint8_t level, uint8_t alpha = 0) { return ColorQuad{level, level, level, alpha}; }

BMPImage ImageAtDepth(int32_t depth) {
    BMPImage image;
    EXPECT_TRUE(image.SetDepth(depth));
    return image;
}

// Index of the first entry at the least distance, found the slow obvious way.
uint8_t NearestByFullSearch(const BMPImage& image, ColorQuad colour) {
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t i = 0; i < image.ColorCount(); ++i) {
        const ColorQuad entry = image.PaletteColor(i);
        const int32_t db = entry.blue - colour.blue;
        const int32_t dg = entry.green - colour.green;
        const int32_t dr = entry.red - colour.red;
        const int32_t distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return uint8_t(best);
}
}  // namespace

TEST(StandardPalette, OneBitIsBlackThenWhite) {
    const BMPImage image = ImageAtDepth(1);
    EXPECT_EQ(image.PaletteColor(0), Grey(0));
    EXPECT_EQ(image.PaletteColor(1), Grey(255));
}

TEST(StandardPalette, FourBitMatchesItsTableEntryByEntry) {
    const ColorQuad expected[16] = {
        {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
        {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {128, 128, 128, 0},
        {192, 192, 192, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
        {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
    const BMPImage image = ImageAtDepth(4);
    for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(image.PaletteColor(i), expected[i]) << "entry " << i;
}

TEST(StandardPalette, EightBitHasTheCubeTheLowEntriesAndTheFixedColours) {
    const BMPImage image = ImageAtDepth(8);
    const std::map<int32_t, ColorQuad> fixed = {
        {0, {0, 0, 0, 0}},         {1, {0, 0, 128, 0}},       {6, {128, 128, 0, 0}},
        {7, {192, 192, 192, 0}},   {8, {192, 220, 192, 0}},   {9, {240, 202, 166, 0}},
        {246, {240, 251, 255, 0}}, {247, {164, 160, 160, 0}}, {248, {128, 128, 128, 0}},
        {249, {0, 0, 255, 0}},     {250, {0, 255, 0, 0}},     {251, {0, 255, 255, 0}},
        {252, {255, 0, 0, 0}},     {253, {255, 0, 255, 0}},   {254, {255, 255, 0, 0}},
        {255, {255, 255, 255, 0}}};
    for (const auto& [index, colour] : fixed) EXPECT_EQ(image.PaletteColor(index), colour) << "entry " << index;
    for (int32_t i = 10; i <= 245; ++i) {
        const int32_t b = i / 64, g = (i / 8) % 8, r = i % 8;
        EXPECT_EQ(image.PaletteColor(i), (ColorQuad{uint8_t(64 * b), uint8_t(32 * g), uint8_t(32 * r), 0}))
            << "cube entry " << i;
    }
    EXPECT_EQ(image.PaletteColor(10), (ColorQuad{0, 32, 64, 0}));
    EXPECT_EQ(image.PaletteColor(245), (ColorQuad{192, 192, 160, 0}));
}

TEST(StandardPalette, EightBitHoldsExactlySixColoursTwice) {
    const BMPImage image = ImageAtDepth(8);
    std::map<std::tuple<int, int, int>, std::vector<int32_t>> where;
    for (int32_t i = 0; i < 256; ++i) {
        const ColorQuad c = image.PaletteColor(i);
        where[{c.blue, c.green, c.red}].push_back(i);
    }
    std::vector<std::vector<int32_t>> twice;
    for (const auto& entry : where) {
        if (entry.second.size() > 1) twice.push_back(entry.second);
    }
    const std::vector<std::vector<int32_t>> expected = {{2, 32}, {3, 36}, {4, 128}, {5, 132}, {6, 160}, {164, 248}};
    std::sort(twice.begin(), twice.end());
    EXPECT_EQ(twice, expected);
}

TEST(StandardPalette, EveryEntryHasAlphaZeroAndFillingIsOnlyForPalettedDepths) {
    for (int32_t depth : {1, 4, 8}) {
        BMPImage image = ImageAtDepth(depth);
        ASSERT_TRUE(image.SetPaletteColor(0, ColorQuad{1, 2, 3, 4}));
        EXPECT_TRUE(image.FillStandardPalette());
        EXPECT_EQ(image.PaletteColor(0), Grey(0));
        for (int32_t i = 0; i < image.ColorCount(); ++i) EXPECT_EQ(image.PaletteColor(i).alpha, 0);
    }
    for (int32_t depth : {16, 24, 32}) EXPECT_FALSE(ImageAtDepth(depth).FillStandardPalette());
}

struct NearestCase {
    int32_t depth;
    ColorQuad colour;
    uint8_t index;
};

class NearestPalette : public testing::TestWithParam<NearestCase> {};

TEST_P(NearestPalette, PicksTheLowestOfTheNearestEntries) {
    const BMPImage image = ImageAtDepth(GetParam().depth);
    EXPECT_EQ(image.NearestPaletteIndex(GetParam().colour), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    StandardPalette, NearestPalette,
    testing::Values(NearestCase{1, Grey(127), 0}, NearestCase{1, Grey(128), 1},
                    NearestCase{4, Grey(160), 7},  // as near grey 128 as grey 192
                    NearestCase{8, Grey(128), 164}, NearestCase{8, Grey(255), 255}, NearestCase{8, Grey(0), 0},
                    NearestCase{8, Grey(0, 255), 0}, NearestCase{8, ColorQuad{0, 128, 0, 9}, 2},
                    NearestCase{8, ColorQuad{128, 128, 0, 0}, 6}, NearestCase{4, ColorQuad{0, 0, 255, 77}, 9}));

TEST(NearestPalette, AgreesWithAFullSearchOnEveryPaletteAndManyColours) {
    for (int32_t depth : {1, 4, 8}) {
        BMPImage image = ImageAtDepth(depth);
        if (depth == 4) {
            ASSERT_TRUE(image.SetPaletteColor(12, Grey(0)));  // a duplicate black later on
        }
        for (int32_t c = 0; c < 4096; ++c) {
            const ColorQuad colour{uint8_t(c * 37), uint8_t(c * 11 + 5), uint8_t(c * 101 >> 3), uint8_t(c)};
            ASSERT_EQ(image.NearestPaletteIndex(colour), NearestByFullSearch(image, colour))
                << "depth " << depth << " colour " << c;
        }
    }
}

TEST(NearestPalette, IgnoresAlphaOfEntriesAndColour) {
    BMPImage image = ImageAtDepth(1);
    ASSERT_TRUE(image.SetPaletteColor(0, ColorQuad{0, 0, 0, 255}));
    EXPECT_EQ(image.NearestPaletteIndex(ColorQuad{10, 10, 10, 0}), 0);
    EXPECT_EQ(image.NearestPaletteIndex(ColorQuad{200, 200, 200, 255}), 1);
}
