#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "BMPImage.h"
#include "CircularFrame.h"

namespace {
using Positions = std::set<std::pair<int32_t, int32_t>>;

// Every pixel a different colour, with alphas 0 and 255 both present.
BMPImage PaintedImage(int32_t width, int32_t height) {
    BMPImage image;
    EXPECT_TRUE(image.SetDimensions(width, height));
    for (int32_t x = 0; x < width; ++x)
        for (int32_t y = 0; y < height; ++y)
            image.PixelAt(x, y) =
                ColorQuad{uint8_t(x * 7 + 1), uint8_t(y * 13 + 1), uint8_t(x + y + 1), uint8_t((x + y) % 2 ? 255 : 0)};
    return image;
}

// The frame computed exactly as defined: per pixel, in double precision,
// with the distance multiplied by the row's inverse radius.
std::vector<bool> LiterallyBlackened(int32_t width, int32_t height) {
    const int32_t cx = width / 2;
    const int32_t cy = height / 2;
    const int32_t radius = cx >= cy ? cx : cy;
    std::vector<bool> black(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const volatile double dy = double(y) - double(cy);
        const volatile double inverseRadius = 1.0 / double(radius);
        for (int32_t x = 0; x < width; ++x) {
            const volatile double dx = double(x) - double(cx);
            const volatile double d = std::sqrt(std::pow(dy, 2.0) + std::pow(dx, 2.0));
            const volatile double product = d * inverseRadius;
            const volatile double k = 1.0 - product;
            black[size_t(y) * size_t(width) + size_t(x)] = k < 0.0;
        }
    }
    return black;
}

Positions BlackenedPositions(int32_t width, int32_t height) {
    BMPImage image = PaintedImage(width, height);
    ApplyCircularFrame(image);
    Positions black;
    for (int32_t x = 0; x < width; ++x)
        for (int32_t y = 0; y < height; ++y) {
            const ColorQuad p = image.PixelAt(x, y);
            if (p.blue == 0 && p.green == 0 && p.red == 0) black.insert({x, y});
        }
    return black;
}

struct PatternCase {
    int32_t width;
    int32_t height;
    Positions black;
};

class FramePattern : public testing::TestWithParam<PatternCase> {};
}  // namespace

TEST_P(FramePattern, BlackensExactlyTheListedPixels) {
    EXPECT_EQ(BlackenedPositions(GetParam().width, GetParam().height), GetParam().black);
}

INSTANTIATE_TEST_SUITE_P(
    CircularFrame, FramePattern,
    testing::Values(PatternCase{1, 1, {}}, PatternCase{1, 5, {}}, PatternCase{5, 1, {}}, PatternCase{1, 2, {}},
                    PatternCase{2, 2, {{0, 0}}}, PatternCase{3, 3, {{0, 0}, {2, 0}, {0, 2}, {2, 2}}},
                    PatternCase{4, 4, {{0, 0}, {1, 0}, {3, 0}, {0, 1}, {0, 3}}},
                    PatternCase{5, 5, {{0, 0}, {1, 0}, {3, 0}, {4, 0}, {0, 1}, {4, 1}, {0, 3}, {4, 3}, {0, 4},
                                       {1, 4}, {3, 4}, {4, 4}}},
                    PatternCase{6, 3, {{0, 0}, {0, 2}}}, PatternCase{3, 6, {{0, 0}, {2, 0}}}));

TEST(CircularFrame, KeepsRimPixelsOfATenByTenImage) {
    const Positions black = BlackenedPositions(10, 10);
    for (const auto& rim : {std::make_pair(8, 9), std::make_pair(1, 2), std::make_pair(0, 5), std::make_pair(2, 1),
                            std::make_pair(9, 8), std::make_pair(5, 0)})
        EXPECT_EQ(black.count(rim), 0u) << "(" << rim.first << ", " << rim.second << ") is on the rim";
    EXPECT_EQ(black.count({0, 4}), 1u);  // squared distance 26
}

TEST(CircularFrame, KeepsTheMiddleOfEveryEdge) {
    for (const auto& [width, height] : {std::make_pair(7, 7), std::make_pair(8, 8), std::make_pair(9, 4),
                                        std::make_pair(4, 9), std::make_pair(100, 3), std::make_pair(2, 31)}) {
        const Positions black = BlackenedPositions(width, height);
        const int32_t cx = width / 2, cy = height / 2;
        for (const auto& edge : {std::make_pair(cx, 0), std::make_pair(cx, height - 1), std::make_pair(0, cy),
                                 std::make_pair(width - 1, cy)})
            EXPECT_EQ(black.count(edge), 0u) << width << " x " << height;
    }
}

TEST(CircularFrame, BlackensOnlyColourChannelsAndKeepsEverythingElse) {
    BMPImage image = PaintedImage(9, 9);
    ASSERT_TRUE(image.SetDepth(8));
    ASSERT_TRUE(image.SetPaletteColor(0, ColorQuad{1, 2, 3, 4}));
    image.xPelsPerMeter = 123;
    const BMPImage before = PaintedImage(9, 9);
    ApplyCircularFrame(image);
    EXPECT_EQ(image.PaletteColor(0), (ColorQuad{1, 2, 3, 4}));
    EXPECT_EQ(image.bitDepth, 8);
    EXPECT_EQ(image.xPelsPerMeter, 123);
    int32_t blackened = 0;
    for (int32_t x = 0; x < 9; ++x)
        for (int32_t y = 0; y < 9; ++y) {
            const ColorQuad was = before.PixelAt(x, y);
            const ColorQuad now = image.PixelAt(x, y);
            EXPECT_EQ(now.alpha, was.alpha);
            if (now != was) {
                ++blackened;
                EXPECT_EQ(now, (ColorQuad{0, 0, 0, was.alpha}));
            }
        }
    EXPECT_GT(blackened, 0);
}

TEST(CircularFrame, RunningTwiceEqualsRunningOnce) {
    BMPImage once = PaintedImage(13, 8);
    BMPImage twice = PaintedImage(13, 8);
    ApplyCircularFrame(once);
    ApplyCircularFrame(twice);
    ApplyCircularFrame(twice);
    for (int32_t x = 0; x < 13; ++x)
        for (int32_t y = 0; y < 8; ++y) EXPECT_EQ(once.PixelAt(x, y), twice.PixelAt(x, y));
}

TEST(CircularFrame, EqualsTheDoublePrecisionDefinitionOnManyShapes) {
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (int32_t width = 1; width <= 48; ++width)
        for (int32_t height = 1; height <= 48; ++height) sizes.push_back({width, height});
    for (int32_t length : {97, 128, 255, 256, 1000, 1023, 4097})
        for (int32_t side : {1, 2, 3, 64, 99})
            sizes.insert(sizes.end(), {{length, side}, {side, length}});
    sizes.insert(sizes.end(), {{500, 500}, {501, 501}, {640, 480}, {479, 641}, {2047, 2048}, {3, 20000}, {20000, 2}});

    for (const auto& [width, height] : sizes) {
        BMPImage image = PaintedImage(width, height);
        ApplyCircularFrame(image);
        const std::vector<bool> expected = LiterallyBlackened(width, height);
        int32_t mismatches = 0;
        for (int32_t y = 0; y < height && mismatches < 5; ++y)
            for (int32_t x = 0; x < width && mismatches < 5; ++x) {
                const ColorQuad p = image.PixelAt(x, y);
                const bool isBlack = p.blue == 0 && p.green == 0 && p.red == 0;
                if (isBlack != expected[size_t(y) * size_t(width) + size_t(x)]) {
                    ++mismatches;
                    ADD_FAILURE() << width << " x " << height << ": pixel (" << x << ", " << y << ")";
                }
            }
    }
}
