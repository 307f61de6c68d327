#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "AllocationFailureSupport.h"
#include "BMPImage.h"
#include "PaletteIndexCache.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace {
constexpr ColorQuad Black{0, 0, 0, 0};
constexpr ColorQuad White{255, 255, 255, 255};

ColorQuad Grey(uint8_t level) { return ColorQuad{level, level, level, 0}; }

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
    if (offset + count > bytes.size()) return {};
    return std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(offset), bytes.begin() + std::ptrdiff_t(offset + count));
}

// Offset of the pixel rows as the file itself states it.
size_t RowsStart(const std::vector<uint8_t>& file) { return U32At(file, 10); }

// The bytes of the index-th row in the file (0 = the first stored, the bottom row).
std::vector<uint8_t> StoredRow(const std::vector<uint8_t>& file, size_t rowSize, size_t index) {
    return Slice(file, RowsStart(file) + index * rowSize, rowSize);
}

size_t ExpectedRowSize(int32_t depth, int32_t width) { return size_t((int64_t{depth} * width + 31) / 32 * 4); }

// Test names such as Depth24_37x23, for cases with a depth and a size.
template <typename Case>
std::string DepthAndSize(const ::testing::TestParamInfo<Case>& test) {
    return "Depth" + std::to_string(test.param.depth) + "_" + std::to_string(test.param.width) + "x" +
           std::to_string(test.param.height);
}

template <typename Case>
std::string DepthAndIndex(const ::testing::TestParamInfo<Case>& test) {
    return "Depth" + std::to_string(test.param.depth) + "_" + std::to_string(test.index);
}

// ---------------------------------------------------------------------------
// A 1 x 1 image: every header field and the one row, at every depth.

struct OneByOneCase {
    int32_t depth;
    ColorQuad pixel;
    uint32_t bfSize;
    uint32_t bfOffBits;
    uint32_t compression;
    std::vector<uint8_t> row;
};

void PrintTo(const OneByOneCase& c, std::ostream* out) { *out << "depth " << c.depth; }

class OneByOne : public ::testing::TestWithParam<OneByOneCase> {};

TEST_P(OneByOne, WritesEveryHeaderFieldAndTheRow) {
    const OneByOneCase& c = GetParam();
    BMPImage image = MakeImage(c.depth, 1, 1, [&](int32_t, int32_t) { return c.pixel; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    ASSERT_EQ(file.size(), c.bfSize);
    EXPECT_EQ(image.LastWriteError(), WriteError::None);

    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32At(file, 2), c.bfSize);
    EXPECT_EQ(U16At(file, 6), 0u);
    EXPECT_EQ(U16At(file, 8), 0u);
    EXPECT_EQ(U32At(file, 10), c.bfOffBits);
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(I32At(file, 18), 1);
    EXPECT_EQ(I32At(file, 22), 1);
    EXPECT_EQ(U16At(file, 26), 1u);
    EXPECT_EQ(U16At(file, 28), uint32_t(c.depth));
    EXPECT_EQ(U32At(file, 30), c.compression);
    EXPECT_EQ(U32At(file, 34), 4u);
    EXPECT_EQ(I32At(file, 38), 3780);
    EXPECT_EQ(I32At(file, 42), 3780);
    EXPECT_EQ(U32At(file, 46), 0u);
    EXPECT_EQ(U32At(file, 50), 0u);
    EXPECT_EQ(StoredRow(file, 4, 0), c.row);
}

// Grey 128 is nearest to index 1 of the 1-bit palette, grey 160 ties between
// 4-bit entries 7 and 8 (the lower wins), and 8-bit grey 128 is entry 164, not 248.
INSTANTIATE_TEST_SUITE_P(
    AllDepths, OneByOne,
    ::testing::Values(OneByOneCase{1, Grey(128), 66, 62, 0, {0x80, 0, 0, 0}},
                      OneByOneCase{1, Grey(127), 66, 62, 0, {0x00, 0, 0, 0}},
                      OneByOneCase{4, Grey(160), 122, 118, 0, {0x70, 0, 0, 0}},
                      OneByOneCase{4, White, 122, 118, 0, {0xF0, 0, 0, 0}},
                      OneByOneCase{8, Grey(128), 1082, 1078, 0, {164, 0, 0, 0}},
                      OneByOneCase{8, ColorQuad{0, 0, 0, 200}, 1082, 1078, 0, {0, 0, 0, 0}},
                      // v = 25 << 11 | 25 << 5 | 5 = 0xCB25; alpha takes no part
                      OneByOneCase{16, ColorQuad{40, 100, 200, 7}, 70, 66, 3, {0x25, 0xCB, 0, 0}},
                      OneByOneCase{24, ColorQuad{40, 100, 200, 7}, 58, 54, 0, {40, 100, 200, 0}},
                      OneByOneCase{32, ColorQuad{40, 100, 200, 7}, 58, 54, 0, {40, 100, 200, 7}}),
    DepthAndIndex<OneByOneCase>);

// ---------------------------------------------------------------------------
// Row sizes and padding: an opaque white image has every pixel bit set at
// every depth (indices 1, 15 and 255, 0xFFFF, 0xFF bytes), so a row must be
// depth x width one bits followed by nothing but zero bits.

struct PaddingCase {
    int32_t depth;
    int32_t width;
};

class RowPadding : public ::testing::TestWithParam<PaddingCase> {};

TEST_P(RowPadding, PixelBitsThenZerosUpToAMultipleOfFourBytes) {
    const auto [depth, width] = GetParam();
    const int32_t height = 2;
    BMPImage image = MakeImage(depth, width, height, [](int32_t, int32_t) { return White; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    const size_t rowSize = ExpectedRowSize(depth, width);
    ASSERT_EQ(file.size(), RowsStart(file) + rowSize * height);
    EXPECT_EQ(U32At(file, 34), rowSize * height);
    EXPECT_EQ(U32At(file, 2), file.size());

    std::vector<uint8_t> expected(rowSize, 0);
    for (int64_t bit = 0; bit < int64_t{depth} * width; ++bit) expected[size_t(bit / 8)] |= uint8_t(0x80 >> (bit % 8));
    for (int32_t i = 0; i < height; ++i) EXPECT_EQ(StoredRow(file, rowSize, size_t(i)), expected) << "row " << i;
}

std::vector<PaddingCase> PaddingCases() {
    std::vector<PaddingCase> cases;
    for (int32_t depth : {1, 4, 8, 16, 24, 32})
        for (int32_t width : {1, 2, 3, 4, 5, 9, 33}) cases.push_back({depth, width});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(DepthsAndWidths, RowPadding, ::testing::ValuesIn(PaddingCases()),
                         [](const ::testing::TestParamInfo<PaddingCase>& testCase) {
                             return "Depth" + std::to_string(testCase.param.depth) + "Width" +
                                    std::to_string(testCase.param.width);
                         });

// ---------------------------------------------------------------------------
// Packing of several pixels into one byte, and the order of the rows.

TEST(WriterPacking, OneBitRowOfWidthNine) {
    const std::vector<int> indices = {1, 0, 1, 1, 0, 0, 1, 0, 1};
    BMPImage image = MakeImage(1, 9, 1, [&](int32_t x, int32_t) { return indices[size_t(x)] ? White : Black; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(StoredRow(file, 4, 0), (std::vector<uint8_t>{0xB2, 0x80, 0, 0}));
}

TEST(WriterPacking, FourBitRowOfWidthThree) {
    // Entries 9, 10 and 12 of the 4-bit palette: red, green and blue at full strength.
    const std::vector<ColorQuad> colours = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    BMPImage image = MakeImage(4, 3, 1, [&](int32_t x, int32_t) { return colours[size_t(x)]; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(StoredRow(file, 4, 0), (std::vector<uint8_t>{0x9A, 0xC0, 0, 0}));
}

TEST(WriterPacking, FourBitRowOfWidthFiveEndsWithAnEmptyLowNibble) {
    BMPImage image = MakeImage(4, 5, 1, [](int32_t x, int32_t) { return x % 2 ? Black : White; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(StoredRow(file, 4, 0), (std::vector<uint8_t>{0xF0, 0xF0, 0xF0, 0}));
}

TEST(WriterPacking, SixteenBitsAreFiveSixFiveLowByteFirst) {
    const std::vector<ColorQuad> colours = {
        {0, 0, 255, 0},       // red: 0xF800
        {0, 255, 0, 0},       // green: 0x07E0
        {255, 0, 0, 0},       // blue: 0x001F
        {7, 3, 7, 255},       // below one step of every channel: 0
        {255, 255, 255, 0},   // white, whatever its alpha
        {8, 4, 8, 0},         // one step of every channel: 0x0821
        {0x87, 0x45, 0x23, 0}  // red 4, green 17, blue 16: 0x2230
    };
    BMPImage image = MakeImage(16, int32_t(colours.size()), 1, [&](int32_t x, int32_t) { return colours[size_t(x)]; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(U32At(file, 30), 3u);
    EXPECT_EQ(U32At(file, 10), 66u);
    EXPECT_EQ(Slice(file, 54, 12), (std::vector<uint8_t>{0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0x00, 0, 0}));
    EXPECT_EQ(StoredRow(file, 16, 0), (std::vector<uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x00, 0x00, 0xFF,
                                                             0xFF, 0x21, 0x08, 0x30, 0x22, 0, 0}));
}

struct RowOrderCase {
    int32_t depth;
    std::vector<ColorQuad> topToBottom;
    std::vector<uint8_t> firstBytesBottomFirst;  // the first byte of each stored row
};

void PrintTo(const RowOrderCase& c, std::ostream* out) { *out << "depth " << c.depth; }

class WriterRowOrder : public ::testing::TestWithParam<RowOrderCase> {};

TEST_P(WriterRowOrder, BottomRowIsStoredFirst) {
    const RowOrderCase& c = GetParam();
    const int32_t height = int32_t(c.topToBottom.size());
    BMPImage image = MakeImage(c.depth, 1, height, [&](int32_t, int32_t y) { return c.topToBottom[size_t(y)]; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    ASSERT_EQ(file.size(), RowsStart(file) + 4 * size_t(height));
    for (int32_t i = 0; i < height; ++i)
        EXPECT_EQ(file[RowsStart(file) + 4 * size_t(i)], c.firstBytesBottomFirst[size_t(i)]) << "stored row " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Depths, WriterRowOrder,
    ::testing::Values(RowOrderCase{1, {White, Black, Black}, {0x00, 0x00, 0x80}},
                      RowOrderCase{8, {Grey(128), White, Black}, {0, 255, 164}},
                      RowOrderCase{24, {ColorQuad{10, 0, 0, 0}, ColorQuad{20, 0, 0, 0}, ColorQuad{30, 0, 0, 0}},
                                   {30, 20, 10}},
                      RowOrderCase{32, {ColorQuad{1, 0, 0, 0}, ColorQuad{2, 0, 0, 0}, ColorQuad{3, 0, 0, 0},
                                        ColorQuad{4, 0, 0, 0}},
                                   {4, 3, 2, 1}}),
    DepthAndIndex<RowOrderCase>);

// Images taller than one block of rows, and wider than one block allows rows
// for, come out row for row as the plain per-row encoders give them.
struct BlockCase {
    int32_t depth;
    int32_t width;
    int32_t height;
};

class WriterBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(WriterBlocks, EveryRowMatchesItsEncoder) {
    const auto [depth, width, height] = GetParam();
    ColourSource colours(0x9E3779B9u);
    BMPImage image = MakeImage(depth, width, height, [&](int32_t, int32_t) { return colours.Next(); });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    const size_t rowSize = ExpectedRowSize(depth, width);
    ASSERT_EQ(file.size(), RowsStart(file) + rowSize * size_t(height));
    std::vector<uint8_t> expected(rowSize);
    for (int32_t y = height - 1; y >= 0; --y) {
        std::fill(expected.begin(), expected.end(), 0);
        const int32_t length = int32_t(rowSize);
        switch (depth) {
        case 1: ASSERT_TRUE(image.EncodeRow1(expected.data(), length, y)); break;
        case 4: ASSERT_TRUE(image.EncodeRow4(expected.data(), length, y)); break;
        case 8: ASSERT_TRUE(image.EncodeRow8(expected.data(), length, y)); break;
        case 24: ASSERT_TRUE(image.EncodeRow24(expected.data(), length, y)); break;
        default: ASSERT_TRUE(image.EncodeRow32(expected.data(), length, y)); break;
        }
        ASSERT_EQ(StoredRow(file, rowSize, size_t(height - 1 - y)), expected) << "row y = " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriterBlocks,
                         ::testing::Values(BlockCase{24, 7, 150}, BlockCase{32, 5000, 60}, BlockCase{8, 33, 130},
                                           BlockCase{4, 3, 129}, BlockCase{1, 9, 200}, BlockCase{24, 140000, 3},
                                           // rows wider than one piece of the writer
                                           BlockCase{1, (1 << 19) + 9, 2}, BlockCase{4, (1 << 19) + 3, 2},
                                           BlockCase{8, (1 << 19) + 20, 1}, BlockCase{24, (1 << 19) + 1, 1},
                                           BlockCase{32, (1 << 19) + 7, 1}),
                         DepthAndSize<BlockCase>);

// ---------------------------------------------------------------------------
// Public row encoders: a short buffer is refused untouched; otherwise only
// the pixel bytes are stored.

struct EncoderCase {
    int32_t depth;
    int32_t width;
    int32_t pixelBytes;
};

class RowEncoders : public ::testing::TestWithParam<EncoderCase> {};

bool Encode(const BMPImage& image, int32_t depth, uint8_t* buffer, int32_t length, int32_t y) {
    switch (depth) {
    case 1: return image.EncodeRow1(buffer, length, y);
    case 4: return image.EncodeRow4(buffer, length, y);
    case 8: return image.EncodeRow8(buffer, length, y);
    case 24: return image.EncodeRow24(buffer, length, y);
    default: return image.EncodeRow32(buffer, length, y);
    }
}

TEST_P(RowEncoders, RefuseAShortBufferAndStoreOnlyPixelBytes) {
    const auto [depth, width, pixelBytes] = GetParam();
    BMPImage image = MakeImage(depth, width, 2, [](int32_t, int32_t y) { return y == 1 ? White : Black; });
    std::vector<uint8_t> buffer(size_t(pixelBytes) + 4, 0xAA);

    EXPECT_FALSE(Encode(image, depth, buffer.data(), pixelBytes - 1, 1));
    EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0xAA));

    ASSERT_TRUE(Encode(image, depth, buffer.data(), pixelBytes, 1));
    for (size_t i = size_t(pixelBytes); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xAA) << "byte " << i;
    // White has every pixel bit set; the unused bits of a last partial byte stay 0.
    const int64_t bits = int64_t{depth} * width;
    for (int64_t bit = 0; bit < 8 * int64_t{pixelBytes}; ++bit) {
        const bool set = (buffer[size_t(bit / 8)] & (0x80 >> (bit % 8))) != 0;
        EXPECT_EQ(set, bit < bits) << "bit " << bit;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, RowEncoders,
                         ::testing::Values(EncoderCase{1, 9, 2}, EncoderCase{1, 8, 1}, EncoderCase{4, 3, 2},
                                           EncoderCase{4, 4, 2}, EncoderCase{8, 3, 3}, EncoderCase{24, 3, 9},
                                           EncoderCase{32, 2, 8}),
                         DepthAndIndex<EncoderCase>);

// ---------------------------------------------------------------------------
// Resolution, palette and alpha.

struct ResolutionCase {
    int32_t x, y;
    int32_t writtenX, writtenY;
};

class WriterResolution : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(WriterResolution, ZeroBecomes3780AndEverythingElseIsKept) {
    const ResolutionCase& c = GetParam();
    BMPImage image = MakeImage(24, 1, 1, [](int32_t, int32_t) { return White; });
    image.xPelsPerMeter = c.x;
    image.yPelsPerMeter = c.y;
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(I32At(file, 38), c.writtenX);
    EXPECT_EQ(I32At(file, 42), c.writtenY);
    EXPECT_EQ(image.xPelsPerMeter, c.x);
    EXPECT_EQ(image.yPelsPerMeter, c.y);
}

INSTANTIATE_TEST_SUITE_P(Values, WriterResolution,
                         ::testing::Values(ResolutionCase{0, 0, 3780, 3780}, ResolutionCase{2835, -1, 2835, -1},
                                           ResolutionCase{-5000, 0, -5000, 3780}, ResolutionCase{0, 7, 3780, 7},
                                           ResolutionCase{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}),
                         [](const ::testing::TestParamInfo<ResolutionCase>& test) {
                             return "Case" + std::to_string(test.index);
                         });

class MissingPalette : public ::testing::TestWithParam<int32_t> {};

TEST_P(MissingPalette, StandardPaletteIsWrittenUsedAndKept) {
    const int32_t depth = GetParam();
    BMPImage standard;
    ASSERT_TRUE(standard.SetDepth(depth));
    // Grey 128 has a different nearest entry at each depth: 1, 7 and 164.
    BMPImage image = MakeImage(depth, 2, 1, [](int32_t x, int32_t) { return x == 0 ? Grey(128) : Black; });
    // Give every entry a colour of its own, then drop the palette: the writer must not reuse it.
    for (int32_t i = 0; i < image.ColorCount(); ++i) image.SetPaletteColor(i, ColorQuad{1, 2, 3, 4});
    image.palette.reset();

    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    const size_t entries = size_t(1) << depth;
    ASSERT_EQ(U32At(file, 10), 54 + 4 * entries);
    for (size_t i = 0; i < entries; ++i) {
        const ColorQuad entry = standard.PaletteColor(int32_t(i));
        EXPECT_EQ(Slice(file, 54 + 4 * i, 4), (std::vector<uint8_t>{entry.blue, entry.green, entry.red, entry.alpha}))
            << "entry " << i;
    }
    ASSERT_NE(image.palette, nullptr);
    for (int32_t i = 0; i < standard.ColorCount(); ++i)
        EXPECT_EQ(image.PaletteColor(i), standard.PaletteColor(i)) << "kept entry " << i;
    const uint8_t first = file[RowsStart(file)];
    const int greyIndex = depth == 1 ? 1 : depth == 4 ? 7 : 164;
    EXPECT_EQ(first, (greyIndex << (8 - depth)) & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(PalettedDepths, MissingPalette, ::testing::Values(1, 4, 8));

TEST(WriterPalette, EntriesAreWrittenAsTheirFourBytesAlphaIncluded) {
    BMPImage image = MakeImage(4, 2, 1, [](int32_t x, int32_t) { return x == 0 ? ColorQuad{9, 8, 7, 0} : Black; });
    ASSERT_TRUE(image.SetPaletteColor(3, ColorQuad{9, 8, 7, 77}));
    ASSERT_TRUE(image.SetPaletteColor(15, ColorQuad{1, 2, 3, 255}));
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(Slice(file, 54 + 4 * 3, 4), (std::vector<uint8_t>{9, 8, 7, 77}));
    EXPECT_EQ(Slice(file, 54 + 4 * 15, 4), (std::vector<uint8_t>{1, 2, 3, 255}));
    EXPECT_EQ(file[RowsStart(file)], 0x30);  // pixel 0 found its colour at entry 3, pixel 1 black at 0
}

TEST(WriterPalette, ShortPaletteFromAFileIsWrittenInFull) {
    TempFile input(BmpBuilder()
                       .BitCount(8)
                       .Size(2, 1)
                       .Palette({ColorQuad{10, 20, 30, 0}, ColorQuad{40, 50, 60, 0}})
                       .Rows({1, 0, 0, 0})
                       .Build());
    BMPImage image;
    ASSERT_TRUE(image.LoadFile(input.Path()));
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(U32At(file, 10), 1078u);
    EXPECT_EQ(U32At(file, 46), 0u);
    EXPECT_EQ(Slice(file, 54, 8), (std::vector<uint8_t>{10, 20, 30, 0, 40, 50, 60, 0}));
    EXPECT_EQ(StoredRow(file, 4, 0), (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST(WriterSixteenBits, FiveFiveFiveInputIsWrittenAsFiveSixFiveWithMasks) {
    // White, and red 31 with green 1: loaded as 8 times each field.
    TempFile input(BmpBuilder().BitCount(16).Size(3, 1).Rows({0xFF, 0x7F, 0x20, 0x7C, 0x00, 0x00, 0, 0}).Build());
    BMPImage image;
    ASSERT_TRUE(image.LoadFile(input.Path()));
    ASSERT_EQ(image.PixelAt(0, 0), (ColorQuad{248, 248, 248, 0}));
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(U32At(file, 30), 3u);
    EXPECT_EQ(U32At(file, 10), 66u);
    EXPECT_EQ(U32At(file, 2), 74u);
    // green 1 becomes the 6-bit 2: 31 << 11 | 2 << 5 = 0xF840; odd width: two zero bytes
    EXPECT_EQ(StoredRow(file, 8, 0), (std::vector<uint8_t>{0xDF, 0xFF, 0x40, 0xF8, 0x00, 0x00, 0, 0}));
}

// ---------------------------------------------------------------------------
// File and image sizes.

struct SizeCase {
    int32_t depth, width, height;
    uint32_t bfSize, bfOffBits, biSizeImage;
};

class WriterSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(WriterSizes, HeaderStatesTheFileItIsIn) {
    const SizeCase& c = GetParam();
    BMPImage image = MakeImage(c.depth, c.width, c.height, [](int32_t x, int32_t) { return x % 3 ? White : Black; });
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    EXPECT_EQ(file.size(), c.bfSize);
    EXPECT_EQ(U32At(file, 2), c.bfSize);
    EXPECT_EQ(U32At(file, 10), c.bfOffBits);
    EXPECT_EQ(U32At(file, 34), c.biSizeImage);
    EXPECT_EQ(I32At(file, 18), c.width);
    EXPECT_EQ(I32At(file, 22), c.height);
}

INSTANTIATE_TEST_SUITE_P(Values, WriterSizes,
                         ::testing::Values(SizeCase{24, 2, 2, 70, 54, 16}, SizeCase{1, 33, 2, 78, 62, 16},
                                           SizeCase{4, 5, 3, 130, 118, 12}, SizeCase{8, 9, 2, 1102, 1078, 24},
                                           SizeCase{16, 3, 2, 82, 66, 16}, SizeCase{32, 3, 1, 66, 54, 12},
                                           SizeCase{16, 4, 5, 106, 66, 40}, SizeCase{24, 1, 7, 82, 54, 28}),
                         DepthAndSize<SizeCase>);

TEST(WriterSizesOnDisk, ALongerFileIsReplacedWhole) {
    TempDir dir;
    const std::string path = dir.File("out.bmp");
    WriteBytes(path, std::vector<uint8_t>(5000, 0xEE));
    BMPImage image = MakeImage(24, 2, 2, [](int32_t, int32_t) { return White; });
    ASSERT_TRUE(image.SaveFile(path.c_str()));
    EXPECT_EQ(ReadBytes(path).size(), 70u);
}

// ---------------------------------------------------------------------------
// The palette search is cached; the cache must never change an answer.

BMPImage ImageWithOddPalette(int32_t depth, ColourSource& colours) {
    BMPImage image;
    EXPECT_TRUE(image.SetDepth(depth));
    for (int32_t i = 0; i < image.ColorCount(); ++i) image.SetPaletteColor(i, colours.Next());
    return image;
}

class CachedPaletteSearch : public ::testing::TestWithParam<int32_t> {};

TEST_P(CachedPaletteSearch, CacheAnswersAsTheSearchDoes) {
    ColourSource colours(12345);
    for (bool standard : {true, false}) {
        BMPImage image;
        if (standard) ASSERT_TRUE(image.SetDepth(GetParam()));
        else image = ImageWithOddPalette(GetParam(), colours);
        PaletteIndexCache cache(image);
        std::vector<ColorQuad> seen;
        for (int i = 0; i < 20000; ++i) {
            // Fresh colours, repeats of earlier ones, and the same colour with another alpha.
            ColorQuad colour = colours.Next();
            if (i % 3 == 1 && !seen.empty()) colour = seen[size_t(colour.blue) * seen.size() / 256];
            if (i % 7 == 2 && !seen.empty()) {
                colour = seen.back();
                colour.alpha = uint8_t(colour.alpha + 1);
            }
            seen.push_back(colour);
            ASSERT_EQ(cache.IndexOf(colour), image.NearestPaletteIndex(colour))
                << "colour " << i << (standard ? " (standard palette)" : " (own palette)");
        }
    }
}

// Every index in the saved file is the nearest palette entry of its pixel.
void ExpectNearestIndices(BMPImage& image, int32_t depth) {
    TempDir dir;
    const std::vector<uint8_t> file = SaveToBytes(image, dir);
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const size_t rowSize = ExpectedRowSize(depth, width);
    ASSERT_EQ(file.size(), RowsStart(file) + rowSize * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const std::vector<uint8_t> row = StoredRow(file, rowSize, size_t(height - 1 - y));
        for (int32_t x = 0; x < width; ++x) {
            const int64_t bit = int64_t{x} * depth;
            const int value = row[size_t(bit / 8)] >> (8 - depth - bit % 8) & ((1 << depth) - 1);
            ASSERT_EQ(value, image.NearestPaletteIndex(image.PixelAt(x, y))) << "pixel (" << x << ", " << y << ")";
        }
    }
}

TEST_P(CachedPaletteSearch, WrittenIndicesAreTheNearestEntries) {
    const int32_t depth = GetParam();
    ColourSource colours(777);
    BMPImage image = ImageWithOddPalette(depth, colours);
    const int32_t width = 61, height = 70;
    ASSERT_TRUE(image.SetDimensions(width, height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            image.PixelAt(x, y) = (x + y) % 5 == 0 ? image.PixelAt(x / 2, y / 2) : colours.Next();
    ExpectNearestIndices(image, depth);
}

// Rows of palette colours (with any alpha), where whole bytes need no search,
// broken here and there by other colours; and a palette whose second entry
// repeats the first colour, which must then be written as the first.
TEST_P(CachedPaletteSearch, PaletteColoursAreWrittenAsTheirFirstEntry) {
    const int32_t depth = GetParam();
    for (bool repeated : {false, true}) {
        ColourSource colours(4242);
        BMPImage image = ImageWithOddPalette(depth, colours);
        if (repeated) {
            ColorQuad twin = image.PaletteColor(0);
            twin.alpha = uint8_t(twin.alpha ^ 0xFF);
            ASSERT_TRUE(image.SetPaletteColor(1, twin));
        }
        const int32_t width = 45, height = 6;
        ASSERT_TRUE(image.SetDimensions(width, height));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                ColorQuad pixel = image.PaletteColor((x * 5 + y * 3) % image.ColorCount());
                pixel.alpha = uint8_t(x * 7);
                image.PixelAt(x, y) = y == 2 && x % 13 == 4 ? colours.Next() : pixel;
            }
        }
        SCOPED_TRACE(repeated ? "second entry repeats the first" : "distinct entries");
        ExpectNearestIndices(image, depth);
    }
}

INSTANTIATE_TEST_SUITE_P(PalettedDepths, CachedPaletteSearch, ::testing::Values(1, 4, 8));

// ---------------------------------------------------------------------------
// Failures: reported as false with a reason, without a file where none could
// be written in full, never as an exception.

TEST(WriterFailure, NullPathIsRefusedAndTheImageUnchanged) {
    BMPImage image = MakeImage(8, 2, 2, [](int32_t, int32_t) { return White; });
    image.palette.reset();
    EXPECT_FALSE(image.SaveFile(nullptr));
    EXPECT_EQ(image.LastWriteError(), WriteError::OpenFailed);
    EXPECT_EQ(image.palette, nullptr);
}

TEST(WriterFailure, MissingDirectoryCreatesNothing) {
    TempDir dir;
    const std::string path = dir.File("missing/out.bmp");
    BMPImage image = MakeImage(8, 2, 2, [](int32_t, int32_t) { return White; });
    image.palette.reset();
    EXPECT_FALSE(image.SaveFile(path.c_str()));
    EXPECT_EQ(image.LastWriteError(), WriteError::OpenFailed);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_EQ(image.palette, nullptr);
}

// Paths that cannot be opened for writing, below a folder holding a regular
// file "file" and a folder "folder"; the empty path on its own.
class UnopenablePath : public ::testing::TestWithParam<std::string> {};

TEST_P(UnopenablePath, IsRefusedAndLeavesEverythingAsItWas) {
    TempDir dir;
    WriteBytes(dir.File("file"), {7});
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("folder")));
    BMPImage image = MakeImage(4, 3, 3, [](int32_t, int32_t) { return White; });
    const std::string path = GetParam().empty() ? std::string() : dir.File(GetParam());
    EXPECT_FALSE(image.SaveFile(path.c_str()));
    EXPECT_EQ(image.LastWriteError(), WriteError::OpenFailed);
    EXPECT_EQ(ReadBytes(dir.File("file")), std::vector<uint8_t>{7});
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
    EXPECT_FALSE(FileExists(dir.File("missing")));
}

std::string PathName(const ::testing::TestParamInfo<std::string>& test) {
    if (test.param.empty()) return "Empty";
    std::string name;
    for (char ch : test.param) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Paths, UnopenablePath, ::testing::Values("missing/out.bmp", "folder", "file/out.bmp", ""),
                         PathName);

TEST(WriterFailure, SuccessClearsTheLastError) {
    BMPImage image = MakeImage(24, 2, 2, [](int32_t, int32_t) { return White; });
    EXPECT_FALSE(image.SaveFile(nullptr));
    TempDir dir;
    EXPECT_TRUE(image.SaveFile(dir.File("out.bmp").c_str()));
    EXPECT_EQ(image.LastWriteError(), WriteError::None);
}

struct FullDiskCase {
    int32_t depth, width, height;
};

class WriterFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// A device that takes no byte: small files fail when the buffer is flushed at
// the close, large ones in a row write. Either way the save is a failure.
TEST_P(WriterFullDisk, ReportsTheFailedWrite) {
    const char* device = "/dev/full";
    if (std::FILE* probe = std::fopen(device, "wb")) std::fclose(probe);
    else GTEST_SKIP() << device << " is not available here";
    const auto [depth, width, height] = GetParam();
    BMPImage image = MakeImage(depth, width, height, [](int32_t, int32_t) { return White; });
    EXPECT_FALSE(image.SaveFile(device));
    EXPECT_TRUE(image.LastWriteError() == WriteError::WriteFailed || image.LastWriteError() == WriteError::CloseFailed)
        << Message(image.LastWriteError());
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriterFullDisk,
                         ::testing::Values(FullDiskCase{24, 1, 1}, FullDiskCase{8, 3, 3}, FullDiskCase{16, 3, 2},
                                           FullDiskCase{24, 300, 300}, FullDiskCase{1, 4000, 100},
                                           FullDiskCase{32, 2000, 200}),
                         DepthAndSize<FullDiskCase>);

// Sizes whose header fields would overflow. The writer checks them before it
// allocates or touches a pixel, so the fields are set directly here instead of
// giving the image gigabytes of pixels; they are put back before it is destroyed.
struct TooLargeCase {
    int32_t depth, width, height;
};

class WriterTooLarge : public ::testing::TestWithParam<TooLargeCase> {};

TEST_P(WriterTooLarge, IsRefusedBeforeAnyFileExists) {
    const auto [depth, width, height] = GetParam();
    BMPImage image = MakeImage(depth, 1, 1, [](int32_t, int32_t) { return White; });
    TempDir dir;
    const std::string fresh = dir.File("fresh.bmp");
    const std::string existing = dir.File("existing.bmp");
    const std::vector<uint8_t> before = {1, 2, 3};
    WriteBytes(existing, before);

    image.width = width;
    image.height = height;
    const bool savedFresh = image.SaveFile(fresh.c_str());
    const WriteError freshError = image.LastWriteError();
    const bool savedExisting = image.SaveFile(existing.c_str());
    const WriteError existingError = image.LastWriteError();
    image.width = 1;
    image.height = 1;

    EXPECT_FALSE(savedFresh);
    EXPECT_EQ(freshError, WriteError::TooLarge);
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_FALSE(savedExisting);
    EXPECT_EQ(existingError, WriteError::TooLarge);
    EXPECT_EQ(ReadBytes(existing), before);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WriterTooLarge,
    ::testing::Values(TooLargeCase{32, int32_t{1} << 26, 1},       // 32 x width is 2^31
                      TooLargeCase{24, 89478486, 1},               // 24 x width just past 2^31 - 1
                      TooLargeCase{32, INT32_MAX, INT32_MAX},      // every product overflows
                      TooLargeCase{24, 40000, 40000},              // 4.8 GB of rows
                      TooLargeCase{32, 32768, 32768},              // rows alone are 4 GiB
                      TooLargeCase{1, INT32_MAX, 33},              // widest 1-bit rows, 8 GiB
                      TooLargeCase{8, 65536, 65536},               // 4 GiB of rows behind a palette
                      TooLargeCase{32, 1, 1073741811}),            // 54 + 4 x height is 2^32 + 2
    DepthAndSize<TooLargeCase>);

class WriterUnsupportedDepth : public ::testing::TestWithParam<int32_t> {};

TEST_P(WriterUnsupportedDepth, IsRefusedWithoutAFile) {
    BMPImage image = MakeImage(24, 2, 2, [](int32_t, int32_t) { return White; });
    image.bitDepth = GetParam();  // no operation gives an image such a depth
    TempDir dir;
    const std::string path = dir.File("out.bmp");
    EXPECT_FALSE(image.SaveFile(path.c_str()));
    EXPECT_EQ(image.LastWriteError(), WriteError::UnsupportedDepth);
    EXPECT_FALSE(FileExists(path));
}

INSTANTIATE_TEST_SUITE_P(Depths, WriterUnsupportedDepth, ::testing::Values(0, 2, 12, 15, 48, 64, -8));

// Each allocation of a save fails in turn: the save reports it, creates no
// file, leaves the image as it was and throws nothing; once no allocation is
// left to fail, the save succeeds.
class WriterOutOfMemory : public ::testing::TestWithParam<int32_t> {};

TEST_P(WriterOutOfMemory, EveryAllocationFailureIsReported) {
    const int32_t depth = GetParam();
    BMPImage image = MakeImage(depth, 37, 5, [](int32_t x, int32_t) { return x % 2 ? White : Black; });
    const bool paletted = depth <= 8;
    if (paletted) image.palette.reset();
    TempDir dir;
    const std::string path = dir.File("out.bmp");
    int64_t failAt = 0;
    for (;; ++failAt) {
        ASSERT_LT(failAt, 100) << "the save never got through";
        bool saved = false;
        bool failed = false;
        {
            FailingAllocation failure(failAt);
            EXPECT_NO_THROW(saved = image.SaveFile(path.c_str()));
            failed = failure.Happened();
        }
        if (!failed) {
            EXPECT_TRUE(saved) << Message(image.LastWriteError());
            break;
        }
        EXPECT_FALSE(saved) << "allocation " << failAt;
        EXPECT_EQ(image.LastWriteError(), WriteError::OutOfMemory) << "allocation " << failAt;
        EXPECT_FALSE(FileExists(path)) << "allocation " << failAt;
        if (paletted) {
            EXPECT_EQ(image.palette, nullptr) << "allocation " << failAt;
        }
    }
    EXPECT_GE(failAt, 1);  // at least the row buffer was asked for
    if (paletted) {
        EXPECT_NE(image.palette, nullptr);
    }
    BMPImage again;
    ASSERT_TRUE(again.LoadFile(path.c_str()));
    EXPECT_EQ(again.Width(), 37);
}

INSTANTIATE_TEST_SUITE_P(Depths, WriterOutOfMemory, ::testing::Values(1, 4, 8, 16, 24, 32));
}  // namespace
