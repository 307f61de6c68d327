#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "BMPImage.h"
#include "TestSupport.h"

namespace {
constexpr ColorQuad Red{0, 0, 255, 255};
constexpr ColorQuad Teal{128, 128, 0, 0};

// Gives every pixel a colour of its own, so a test sees which one moved.
void Paint(BMPImage& image) {
    for (int32_t x = 0; x < image.Width(); ++x)
        for (int32_t y = 0; y < image.Height(); ++y)
            image.PixelAt(x, y) = ColorQuad{uint8_t(x), uint8_t(y), uint8_t(x + y), uint8_t(7)};
}

void ExpectPainted(const BMPImage& image) {
    for (int32_t x = 0; x < image.Width(); ++x)
        for (int32_t y = 0; y < image.Height(); ++y)
            EXPECT_EQ(image.PixelAt(x, y), (ColorQuad{uint8_t(x), uint8_t(y), uint8_t(x + y), 7}))
                << "pixel (" << x << ", " << y << ")";
}
}  // namespace

TEST(Image, NewImageIsOneWhitePixelAtDepth24WithoutPalette) {
    const BMPImage image;
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
    EXPECT_EQ(image.bitDepth, 24);
    EXPECT_EQ(image.ColorCount(), 16777216);
    EXPECT_EQ(image.palette, nullptr);
    EXPECT_EQ(image.xPelsPerMeter, 0);
    EXPECT_EQ(image.yPelsPerMeter, 0);
    EXPECT_EQ(image.PixelAt(0, 0), WhiteTransparent);
    EXPECT_EQ(image.PaletteColor(0), WhiteTransparent);
}

TEST(Image, PaletteWritesAreRefusedWithoutPalette) {
    BMPImage image;
    EXPECT_FALSE(image.SetPaletteColor(0, Red));
    EXPECT_FALSE(image.FillStandardPalette());
    EXPECT_EQ(image.PaletteColor(0), WhiteTransparent);
}

TEST(Image, ColorCountFollowsDepth) {
    const std::pair<int32_t, int32_t> cases[] = {
        {1, 2}, {4, 16}, {8, 256}, {16, 65536}, {24, 16777216}, {32, 16777216}};
    BMPImage image;
    for (const auto& [depth, count] : cases) {
        ASSERT_TRUE(image.SetDepth(depth));
        EXPECT_EQ(image.ColorCount(), count) << "depth " << depth;
    }
}

TEST(Image, OutOfRangeCoordinatesClampToTheNearestEdgePixel) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(3, 2));
    struct Case { int32_t x, y, expectedX, expectedY; };
    const Case cases[] = {{-5, 1, 0, 1}, {7, 9, 2, 1}, {1, -1, 1, 0}, {INT32_MIN, INT32_MIN, 0, 0},
                          {INT32_MAX, INT32_MAX, 2, 1}, {3, 0, 2, 0}, {0, 2, 0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(&image.PixelAt(c.x, c.y), &image.PixelAt(c.expectedX, c.expectedY))
            << "(" << c.x << ", " << c.y << ")";
    }
    image.PixelAt(-5, 1) = Red;
    EXPECT_EQ(image.PixelAt(0, 1), Red);
    image.PixelAt(7, 9) = Teal;
    EXPECT_EQ(image.PixelAt(2, 1), Teal);
}

TEST(Image, PixelXYIsElementYOfColumnX) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(4, 3));
    Paint(image);
    for (int32_t x = 0; x < 4; ++x)
        for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(&image.columns[x][y], &image.PixelAt(x, y));
}

TEST(Image, SetDimensionsFillsEveryPixelWhiteWithAlphaZero) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(3, 2));
    for (int32_t x = 0; x < 3; ++x)
        for (int32_t y = 0; y < 2; ++y) EXPECT_EQ(image.PixelAt(x, y), WhiteTransparent);
    image.PixelAt(1, 1) = Red;
    ASSERT_TRUE(image.SetDimensions(3, 2));
    EXPECT_EQ(image.PixelAt(1, 1), WhiteTransparent);
}

TEST(Image, SetDimensionsKeepsDepthPaletteAndResolution) {
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(8));
    ASSERT_TRUE(image.SetPaletteColor(3, Red));
    image.xPelsPerMeter = 1000;
    image.yPelsPerMeter = -2;
    ASSERT_TRUE(image.SetDimensions(5, 7));
    EXPECT_EQ(image.bitDepth, 8);
    EXPECT_EQ(image.PaletteColor(3), Red);
    EXPECT_EQ(image.xPelsPerMeter, 1000);
    EXPECT_EQ(image.yPelsPerMeter, -2);
}

class RefusedDimensions : public testing::TestWithParam<std::pair<int32_t, int32_t>> {};

TEST_P(RefusedDimensions, LeaveSizeAndPixelsAsTheyWere) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(4, 3));
    Paint(image);
    EXPECT_FALSE(image.SetDimensions(GetParam().first, GetParam().second));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 3);
    ExpectPainted(image);
}

INSTANTIATE_TEST_SUITE_P(Image, RefusedDimensions,
                         testing::Values(std::make_pair(0, 5), std::make_pair(5, -1), std::make_pair(0, 0),
                                         std::make_pair(INT32_MIN, 1), std::make_pair(1, INT32_MIN)));

TEST(Image, SetDimensionsThatCannotBeAllocatedChangeNothing) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(4, 3));
    Paint(image);
    EXPECT_FALSE(image.SetDimensions(INT32_MAX, INT32_MAX));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 3);
    ExpectPainted(image);
}

class RefusedDepth : public testing::TestWithParam<int32_t> {};

TEST_P(RefusedDepth, LeavesDepthAndPaletteAsTheyWere) {
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(4));
    ASSERT_TRUE(image.SetPaletteColor(2, Red));
    EXPECT_FALSE(image.SetDepth(GetParam()));
    EXPECT_EQ(image.bitDepth, 4);
    EXPECT_EQ(image.ColorCount(), 16);
    EXPECT_EQ(image.PaletteColor(2), Red);
}

INSTANTIATE_TEST_SUITE_P(Image, RefusedDepth, testing::Values(0, 2, 12, 3, 15, 31, 64, -8, INT32_MIN));

TEST(Image, SetDepthReplacesThePaletteEvenAtTheSameDepth) {
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(8));
    ASSERT_TRUE(image.SetPaletteColor(3, Red));
    ASSERT_TRUE(image.SetDepth(8));
    EXPECT_EQ(image.PaletteColor(3), (ColorQuad{0, 128, 128, 0}));
}

TEST(Image, SetDepthToDirectColourRemovesThePaletteAndKeepsPixels) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(4, 3));
    ASSERT_TRUE(image.SetDepth(8));
    Paint(image);
    ASSERT_TRUE(image.SetDepth(24));
    EXPECT_EQ(image.palette, nullptr);
    EXPECT_EQ(image.PaletteColor(0), WhiteTransparent);
    EXPECT_EQ(image.ColorCount(), 16777216);
    ExpectPainted(image);
}

struct PaletteIndexCase {
    int32_t depth;
    int32_t index;
    bool inRange;
};

class PaletteIndex : public testing::TestWithParam<PaletteIndexCase> {};

TEST_P(PaletteIndex, OnlyIndicesInsideThePaletteAreStoredAndRead) {
    const PaletteIndexCase c = GetParam();
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(c.depth));
    EXPECT_EQ(image.SetPaletteColor(c.index, Red), c.inRange);
    if (c.inRange) {
        EXPECT_EQ(image.PaletteColor(c.index), Red);  // alpha included
    } else {
        EXPECT_EQ(image.PaletteColor(c.index), WhiteTransparent);
        for (int32_t i = 0; i < image.ColorCount(); ++i) EXPECT_NE(image.PaletteColor(i), Red);
    }
}

INSTANTIATE_TEST_SUITE_P(Image, PaletteIndex,
                         testing::Values(PaletteIndexCase{1, 0, true}, PaletteIndexCase{1, 1, true},
                                         PaletteIndexCase{1, 2, false}, PaletteIndexCase{4, 15, true},
                                         PaletteIndexCase{4, 16, false}, PaletteIndexCase{8, 255, true},
                                         PaletteIndexCase{8, 256, false}, PaletteIndexCase{8, -1, false},
                                         PaletteIndexCase{1, INT32_MIN, false},
                                         PaletteIndexCase{8, INT32_MAX, false}));

TEST(Image, MovingHandsOverPixelsAndPalette) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(4, 3));
    ASSERT_TRUE(image.SetDepth(4));
    ASSERT_TRUE(image.SetPaletteColor(5, Red));
    Paint(image);
    BMPImage moved(std::move(image));
    EXPECT_EQ(moved.Width(), 4);
    EXPECT_EQ(moved.bitDepth, 4);
    EXPECT_EQ(moved.PaletteColor(5), Red);
    ExpectPainted(moved);
    BMPImage assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Height(), 3);
    ExpectPainted(assigned);
}

TEST(IntegerPower, MultipliesExponentTimesAndGivesOneBelowOne) {
    struct Case { int32_t base, exponent, result; };
    const Case cases[] = {{2, 0, 1}, {2, -3, 1}, {3, 4, 81}, {2, 1, 2}, {2, 8, 256}, {2, 24, 16777216},
                          {2, 30, 1073741824}, {-2, 3, -8}, {0, 0, 1}, {5, INT32_MIN, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(IntegerPower(c.base, c.exponent), c.result) << c.base << "^" << c.exponent;
}

TEST(Image, ALoadIntoAnImageThatHeldALargerOneEqualsALoadIntoANewImage) {
    // 7 x 6 at 24 bits, cut inside the third row from the bottom: the rows
    // above it must come out white, not as what the storage held before.
    std::vector<uint8_t> rows;
    for (int32_t i = 0; i < 6 * 24; ++i) rows.push_back(uint8_t(i * 5 + 1));
    const std::vector<uint8_t> file = BmpBuilder().Size(7, 6).Rows(rows).TruncateTo(54 + 2 * 24 + 10).Build();
    TempFile input(file);

    BMPImage fresh;
    ASSERT_TRUE(fresh.LoadFile(input.Path()));
    BMPImage reused;
    ASSERT_TRUE(reused.SetDimensions(8, 9));
    Paint(reused);
    ASSERT_TRUE(reused.LoadFile(input.Path()));
    ASSERT_EQ(reused.Width(), 7);
    ASSERT_EQ(reused.Height(), 6);
    for (int32_t x = 0; x < 7; ++x)
        for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(reused.PixelAt(x, y), fresh.PixelAt(x, y)) << x << ", " << y;
    EXPECT_EQ(reused.PixelAt(0, 0), WhiteTransparent);
}

TEST(Image, SmallerSizesAfterLargerOnesStillFillAndSeparateTheirColumns) {
    BMPImage image;
    ASSERT_TRUE(image.SetDimensions(40, 30));
    Paint(image);
    for (const auto& [width, height] : {std::make_pair(30, 30), std::make_pair(1, 1), std::make_pair(40, 30)}) {
        ASSERT_TRUE(image.SetDimensions(width, height));
        for (int32_t x = 0; x < width; ++x) {
            if (x > 0) {
                EXPECT_EQ(image.columns[x] - image.columns[x - 1], height);
            }
            for (int32_t y = 0; y < height; ++y) EXPECT_EQ(image.PixelAt(x, y), WhiteTransparent);
        }
    }
}
