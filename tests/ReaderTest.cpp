#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "BMPImage.h"
#include "Errors.h"
#include "ReadExact.h"
#include "TestSupport.h"

namespace {
constexpr ColorQuad White = WhiteTransparent;
constexpr ColorQuad Black{0, 0, 0, 0};

ColorQuad Rgb(int red, int green, int blue) { return ColorQuad{uint8_t(blue), uint8_t(green), uint8_t(red), 0}; }
ColorQuad Grey(int value) { return Rgb(value, value, value); }

// Palette entry i as the test files store it: every entry distinct, with a
// fourth byte of its own so that its copy into alpha shows.
ColorQuad P(int i) { return ColorQuad{uint8_t(10 + i), uint8_t(200 - i), uint8_t(3 * i), uint8_t(255 - i)}; }

std::vector<ColorQuad> FilePalette(int count) {
    std::vector<ColorQuad> entries;
    for (int i = 0; i < count; ++i) entries.push_back(P(i));
    return entries;
}

std::vector<ColorQuad> StandardPalette(int depth) {
    BMPImage image;
    image.SetDepth(depth);
    std::vector<ColorQuad> entries;
    for (int i = 0; i < image.ColorCount(); ++i) entries.push_back(image.PaletteColor(i));
    return entries;
}

// What a loaded palette holds: P(i) for the entries read whole, the standard
// colour for entries whose read failed, white with alpha 0 past the count.
std::vector<ColorQuad> LoadedPalette(int depth, int read, int count) {
    std::vector<ColorQuad> entries = StandardPalette(depth);
    for (int i = 0; i < int(entries.size()); ++i) {
        if (i < read) entries[size_t(i)] = P(i);
        else if (i >= count) entries[size_t(i)] = White;
    }
    return entries;
}

std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> bytes;
    for (uint16_t word : words) {
        bytes.push_back(uint8_t(word));
        bytes.push_back(uint8_t(word >> 8));
    }
    return bytes;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

std::vector<ColorQuad> Concat(std::vector<ColorQuad> first, const std::vector<ColorQuad>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Overwrites one 32-bit header field, for layouts the builder does not write
// (a huge bfOffBits without gigabytes of padding, a biSize that lies).
std::vector<uint8_t> Patch32(std::vector<uint8_t> bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    return bytes;
}
constexpr size_t BfOffBitsAt = 10;
constexpr size_t BiSizeAt = 14;

std::vector<ColorQuad> PixelsOf(const BMPImage& image) {
    std::vector<ColorQuad> pixels;
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x) pixels.push_back(image.PixelAt(x, y));
    return pixels;
}

std::vector<ColorQuad> PaletteOf(const BMPImage& image) {
    std::vector<ColorQuad> entries;
    for (int i = 0; i < image.ColorCount(); ++i) entries.push_back(image.PaletteColor(i));
    return entries;
}

std::string Describe(ColorQuad c) {
    return "{b " + std::to_string(c.blue) + " g " + std::to_string(c.green) + " r " + std::to_string(c.red) + " a " +
           std::to_string(c.alpha) + "}";
}

testing::AssertionResult SameQuads(const std::vector<ColorQuad>& actual, const std::vector<ColorQuad>& expected) {
    if (actual.size() != expected.size())
        return testing::AssertionFailure() << actual.size() << " values, expected " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i])
            return testing::AssertionFailure()
                   << "at " << i << ": " << Describe(actual[i]) << ", expected " << Describe(expected[i]);
    return testing::AssertionSuccess();
}

template <typename Case>
std::string NameOf(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Test output names a case rather than dumping its bytes.
template <typename Case>
void PrintCase(const Case& c, std::ostream* out) {
    *out << c.name;
}

bool LoadBytes(BMPImage& image, const std::vector<uint8_t>& bytes) {
    TempFile file(bytes);
    return image.LoadFile(file.Path());
}

// ---------------------------------------------------------------------------
// Refusals and the state they leave.

enum class After { Reset, ResetWithFileResolution, Untouched };

struct RefusalCase {
    const char* name;
    std::vector<uint8_t> file;
    ReadError error;
    After after;
};

constexpr int32_t FileXPels = 5000;
constexpr int32_t FileYPels = 6000;

BmpBuilder Valid24() {
    return BmpBuilder().BitCount(24).Size(1, 1).Resolution(FileXPels, FileYPels).Rows({1, 2, 3, 0});
}

// An image unlike anything a refusal leaves behind.
void Prepare(BMPImage& image) {
    image.SetDepth(8);
    image.SetDimensions(3, 2);
    image.SetPaletteColor(7, ColorQuad{9, 8, 7, 6});
    image.PixelAt(1, 1) = ColorQuad{1, 2, 3, 4};
    image.xPelsPerMeter = 111;
    image.yPelsPerMeter = 222;
}

void ExpectReset(const BMPImage& image) {
    EXPECT_EQ(image.bitDepth, 1);
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
    EXPECT_TRUE(SameQuads(PaletteOf(image), {Black, White}));
    EXPECT_EQ(image.PixelAt(0, 0), White);
}

void PrintTo(const RefusalCase& c, std::ostream* out) { PrintCase(c, out); }

class Refusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, GivesItsReasonAndLeavesTheImageAsDocumented) {
    const RefusalCase& c = GetParam();
    BMPImage image;
    Prepare(image);
    EXPECT_FALSE(LoadBytes(image, c.file));
    EXPECT_EQ(image.LastReadError(), c.error) << Message(image.LastReadError());
    if (c.after == After::Untouched) {
        EXPECT_EQ(image.bitDepth, 8);
        EXPECT_EQ(image.Width(), 3);
        EXPECT_EQ(image.Height(), 2);
        EXPECT_EQ(image.PaletteColor(7), (ColorQuad{9, 8, 7, 6}));
        EXPECT_EQ(image.PixelAt(1, 1), (ColorQuad{1, 2, 3, 4}));
        EXPECT_EQ(image.PixelAt(0, 0), White);
    } else {
        ExpectReset(image);
    }
    const bool fileResolution = c.after == After::ResetWithFileResolution;
    EXPECT_EQ(image.xPelsPerMeter, fileResolution ? FileXPels : 111);
    EXPECT_EQ(image.yPelsPerMeter, fileResolution ? FileYPels : 222);
}

const RefusalCase RefusalCases[] = {
    {"EmptyFile", {}, ReadError::TruncatedHeader, After::Reset},
    {"OnlyHalfTheSignature", {0x42}, ReadError::TruncatedHeader, After::Reset},
    {"CutAfterTheSignature", Valid24().TruncateTo(2).Build(), ReadError::TruncatedHeader, After::Reset},
    {"CutAfter30Bytes", Valid24().TruncateTo(30).Build(), ReadError::TruncatedHeader, After::Reset},
    {"CutOneByteBeforeThePixels", Valid24().TruncateTo(53).Build(), ReadError::TruncatedHeader, After::Reset},
    {"SignatureBA", Valid24().Signature(0x4142).Build(), ReadError::NotBmp, After::Untouched},
    {"SignatureBytesSwapped", Valid24().Signature(0x424D).Build(), ReadError::NotBmp, After::Untouched},
    {"Rle8", Valid24().BitCount(8).Compression(1).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"Rle4", Valid24().BitCount(4).Compression(2).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"Compression4", Valid24().Compression(4).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"CompressionAllBits", Valid24().Compression(0xFFFFFFFF).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"BitfieldsAt24Bits", Valid24().Compression(3).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"BitfieldsAt32Bits", Valid24().BitCount(32).Compression(3).Masks(0xFF0000, 0xFF00, 0xFF).Build(),
     ReadError::UnsupportedCompression, After::ResetWithFileResolution},
    {"BitfieldsAt8Bits", Valid24().BitCount(8).Compression(3).Build(), ReadError::UnsupportedCompression,
     After::ResetWithFileResolution},
    {"CompressionCheckedBeforeDepth", Valid24().BitCount(2).Compression(1).Build(),
     ReadError::UnsupportedCompression, After::ResetWithFileResolution},
    {"BitCount0", Valid24().BitCount(0).Build(), ReadError::UnsupportedDepth, After::ResetWithFileResolution},
    {"BitCount2", Valid24().BitCount(2).Build(), ReadError::UnsupportedDepth, After::ResetWithFileResolution},
    {"BitCount30000", Valid24().BitCount(30000).Build(), ReadError::UnsupportedDepth,
     After::ResetWithFileResolution},
    {"ZeroWidth", Valid24().Size(0, 1).Build(), ReadError::BadSize, After::ResetWithFileResolution},
    {"NegativeWidth", Valid24().Size(-1, 1).Build(), ReadError::BadSize, After::ResetWithFileResolution},
    {"ZeroHeight", Valid24().Size(1, 0).Build(), ReadError::BadSize, After::ResetWithFileResolution},
    {"TopDownRows", Valid24().Size(1, -10).Build(), ReadError::BadSize, After::ResetWithFileResolution},
    {"RowBitsPastTheLimitAt32Bits", Valid24().BitCount(32).Size(1 << 26, 1).Build(), ReadError::TooLarge,
     After::ResetWithFileResolution},
    {"RowBitsPastTheLimitAt24Bits", Valid24().Size(89478486, 1).Build(), ReadError::TooLarge,
     After::ResetWithFileResolution},
    {"PixelsPastTheLimit", Valid24().Size(16385, 16384).Build(), ReadError::TooLarge,
     After::ResetWithFileResolution},
    {"PixelsPastTheLimitInOneRow", Valid24().BitCount(1).Size((1 << 28) + 1, 1).Build(), ReadError::TooLarge,
     After::ResetWithFileResolution},
    {"LargestSize", Valid24().BitCount(32).Size(INT32_MAX, INT32_MAX).Build(), ReadError::TooLarge,
     After::ResetWithFileResolution},
};

INSTANTIATE_TEST_SUITE_P(Reader, Refusal, testing::ValuesIn(RefusalCases),
                         NameOf<RefusalCase>);

#if defined(__linux__)
size_t OpenDescriptors() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

TEST(ReaderOpen, EveryRefusalAndLoadClosesTheFile) {
    const size_t before = OpenDescriptors();
    for (const RefusalCase& c : RefusalCases) {
        BMPImage image;
        LoadBytes(image, c.file);
    }
    BMPImage image;
    EXPECT_TRUE(LoadBytes(image, Valid24().Build()));
    EXPECT_EQ(OpenDescriptors(), before);
}
#endif

TEST(ReaderOpen, MissingFileAndNullPathResetTheImageButKeepItsResolution) {
    TempDir dir;
    for (const std::string& path : {dir.File("absent.bmp"), std::string()}) {
        BMPImage image;
        Prepare(image);
        EXPECT_FALSE(image.LoadFile(path.empty() ? nullptr : path.c_str()));
        EXPECT_EQ(image.LastReadError(), ReadError::OpenFailed);
        ExpectReset(image);
        EXPECT_EQ(image.xPelsPerMeter, 111);
        EXPECT_EQ(image.yPelsPerMeter, 222);
    }
}

TEST(ReaderOpen, AFolderOpensButCannotBeReadAndResetsTheImage) {
    TempDir dir;
    BMPImage image;
    Prepare(image);
    EXPECT_FALSE(image.LoadFile(dir.Path().c_str()));
    EXPECT_EQ(image.LastReadError(), ReadError::ReadFailed);
    ExpectReset(image);
    EXPECT_EQ(image.xPelsPerMeter, 111);
}

TEST(ReaderOpen, ALoadAfterARefusalClearsTheReason) {
    BMPImage image;
    EXPECT_FALSE(LoadBytes(image, Valid24().BitCount(2).Build()));
    EXPECT_EQ(image.LastReadError(), ReadError::UnsupportedDepth);
    EXPECT_TRUE(LoadBytes(image, Valid24().Build()));
    EXPECT_EQ(image.LastReadError(), ReadError::None);
}

TEST(ReaderErrors, EveryReasonHasItsOwnMessage) {
    const ReadError errors[] = {ReadError::None,
                                ReadError::OpenFailed,
                                ReadError::ReadFailed,
                                ReadError::NotBmp,
                                ReadError::TruncatedHeader,
                                ReadError::UnsupportedCompression,
                                ReadError::UnsupportedDepth,
                                ReadError::BadSize,
                                ReadError::TooLarge,
                                ReadError::OutOfMemory};
    std::vector<std::string> seen;
    for (ReadError error : errors) {
        const std::string message = Message(error);
        EXPECT_FALSE(message.empty());
        for (const std::string& other : seen) EXPECT_NE(message, other);
        seen.push_back(message);
    }
}

// ---------------------------------------------------------------------------
// Files that load: pixels (top row first) and, at depths 1, 4 and 8, the palette.

struct LoadCase {
    const char* name;
    std::vector<uint8_t> file;
    int32_t depth;
    int32_t width;
    int32_t height;
    std::vector<ColorQuad> pixels;
    std::vector<ColorQuad> palette;  // empty: not checked
};

void PrintTo(const LoadCase& c, std::ostream* out) { PrintCase(c, out); }

class Load : public testing::TestWithParam<LoadCase> {};

TEST_P(Load, GivesTheFilesPixelsAndPalette) {
    const LoadCase& c = GetParam();
    BMPImage image;
    ASSERT_TRUE(LoadBytes(image, c.file)) << Message(image.LastReadError());
    EXPECT_EQ(image.LastReadError(), ReadError::None);
    EXPECT_EQ(image.bitDepth, c.depth);
    ASSERT_EQ(image.Width(), c.width);
    ASSERT_EQ(image.Height(), c.height);
    EXPECT_EQ(image.xPelsPerMeter, 2835);
    EXPECT_EQ(image.yPelsPerMeter, 2835);
    EXPECT_TRUE(SameQuads(PixelsOf(image), c.pixels)) << "pixels";
    if (!c.palette.empty()) {
        EXPECT_TRUE(SameQuads(PaletteOf(image), c.palette)) << "palette";
    }
}

BmpBuilder Paletted(uint16_t depth, int entries) {
    return BmpBuilder().BitCount(depth).Palette(FilePalette(entries));
}

BmpBuilder Bitfields(uint32_t red, uint32_t green, uint32_t blue) {
    return BmpBuilder().BitCount(16).Compression(3).Masks(red, green, blue);
}

const LoadCase DepthCases[] = {
    // Bit 7 is the leftmost pixel; bits past the width and the row's padding are ignored.
    {"OneBitOddWidth",
     Paletted(1, 2).Size(10, 2).Rows({0xB0, 0x7F, 0xFF, 0xFF, 0x4F, 0xBF, 0xFF, 0xFF}).Build(), 1, 10, 2,
     {P(0), P(1), P(0), P(0), P(1), P(1), P(1), P(1), P(1), P(0),
      P(1), P(0), P(1), P(1), P(0), P(0), P(0), P(0), P(0), P(1)},
     LoadedPalette(1, 2, 2)},
    {"OneBitWidthOneUsesBit7Only", Paletted(1, 2).Size(1, 2).Rows({0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0}).Build(),
     1, 1, 2, {P(1), P(0)}, {}},
    // The high nibble is the left pixel; the low nibble after an odd width is ignored.
    {"FourBitOddWidth", Paletted(4, 16).Size(5, 1).Rows({0x12, 0x3F, 0xA7, 0xFF}).Build(), 4, 5, 1,
     {P(1), P(2), P(3), P(15), P(10)}, LoadedPalette(4, 16, 16)},
    {"EightBitBottomRowFirst",
     Paletted(8, 256).Size(3, 2).Rows({5, 6, 7, 0xEE, 250, 251, 255, 0xEE}).Build(), 8, 3, 2,
     {P(250), P(251), P(255), P(5), P(6), P(7)}, LoadedPalette(8, 256, 256)},
    {"TwentyFourBitOddWidthHasAlpha0",
     BmpBuilder().BitCount(24).Size(3, 2).Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE,
                                                10, 11, 12, 13, 14, 15, 16, 17, 18, 0xEE, 0xEE, 0xEE}).Build(),
     24, 3, 2, {Rgb(12, 11, 10), Rgb(15, 14, 13), Rgb(18, 17, 16), Rgb(3, 2, 1), Rgb(6, 5, 4), Rgb(9, 8, 7)}, {}},
    {"ThirtyTwoBitAlphaIsTheFourthByte",
     BmpBuilder().BitCount(32).Size(2, 2).Rows({1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 255, 13, 14, 15, 128}).Build(),
     32, 2, 2,
     {ColorQuad{9, 10, 11, 255}, ColorQuad{13, 14, 15, 128}, ColorQuad{1, 2, 3, 4}, ColorQuad{5, 6, 7, 0}}, {}},
    // 5-5-5 without masks: bits 0 to 14 set give 248 everywhere, bit 15 never counts.
    {"SixteenBit555OddWidth",
     BmpBuilder().BitCount(16).Size(3, 2)
         .Rows(Join({Words({0x7FFF, 0x8000, 0xFC00}), {0xFF, 0xFF}, Words({0x001F, 0x03E0, 0x4210}), {0xFF, 0xFF}}))
         .Build(),
     16, 3, 2, {Rgb(0, 0, 248), Rgb(0, 248, 0), Grey(128), Grey(248), Black, Rgb(248, 0, 0)}, {}},
    // 5-6-5 masks: all sixteen bits give 248, the lowest green bit alone gives black.
    {"SixteenBit565Masks",
     Bitfields(0xF800, 0x07E0, 0x001F).Size(2, 2).Rows(Words({0xFFFF, 0x0020, 0xF800, 0x0040})).Build(), 16, 2, 2,
     {Rgb(248, 0, 0), Rgb(0, 8, 0), Grey(248), Black}, {}},
    {"SixteenBitWidthOneSkipsTwoTrailingBytes",
     BmpBuilder().BitCount(16).Size(1, 2).Rows(Join({Words({0x001F}), {0xAA, 0xBB}, Words({0x7C00}), {0xCC, 0xDD}}))
         .Build(),
     16, 1, 2, {Rgb(248, 0, 0), Rgb(0, 0, 248)}, {}},
    // An 8-bit mask keeps its top five bits; a zero mask gives 0.
    {"SixteenBit880Masks", Bitfields(0xFF00, 0x00FF, 0).Size(2, 1).Rows(Words({0xA5C3, 0xFFFF})).Build(), 16, 2, 1,
     {Rgb(160, 192, 0), Rgb(248, 248, 0)}, {}},
};

INSTANTIATE_TEST_SUITE_P(Depths, Load, testing::ValuesIn(DepthCases), NameOf<LoadCase>);

const LoadCase PaletteCases[] = {
    {"NoPaletteAtOffset54", Paletted(8, 0).Size(2, 1).Rows({0, 5, 0, 0}).Build(), 8, 2, 1, {White, White},
     LoadedPalette(8, 0, 0)},
    {"OffsetBelow54ReadsNoEntry", Paletted(8, 0).Offset(40).Size(2, 1).Rows({0, 5, 0, 0}).Build(), 8, 2, 1,
     {White, White}, LoadedPalette(8, 0, 0)},
    {"SixteenOf256Entries", Paletted(8, 16).Size(3, 1).Rows({3, 15, 16, 0}).Build(), 8, 3, 1, {P(3), P(15), White},
     LoadedPalette(8, 16, 16)},
    {"FullPaletteAt4Bits", Paletted(4, 16).Size(2, 1).Rows({0x0F, 0, 0, 0}).Build(), 4, 2, 1, {P(0), P(15)},
     LoadedPalette(4, 16, 16)},
    // 20 entries before the rows: 16 are taken and the rows still start at bfOffBits.
    {"OversizePaletteAt4Bits", Paletted(4, 20).Size(2, 1).Rows({0x12, 0, 0, 0}).Build(), 4, 2, 1, {P(1), P(2)},
     LoadedPalette(4, 16, 16)},
    {"FullPaletteThenTenByteGap", Paletted(4, 16).Offset(54 + 64 + 10).Size(2, 1).Rows({0x21, 0, 0, 0}).Build(), 4,
     2, 1, {P(2), P(1)}, LoadedPalette(4, 16, 16)},
    // 66 / 4 gives 16 entries; the two bytes after them are padding, the rows start at 120.
    {"ShortPaletteThenPadding", Paletted(8, 16).Offset(120).Size(4, 1).Rows({1, 2, 3, 4}).Build(), 8, 4, 1,
     {P(1), P(2), P(3), P(4)}, LoadedPalette(8, 16, 16)},
    // Six bytes hold one whole entry; the other index has none.
    {"OffsetWithPartOfAnEntry", Paletted(1, 1).Offset(60).Size(2, 1).Rows({0x40, 0, 0, 0}).Build(), 1, 2, 1,
     {P(0), White}, LoadedPalette(1, 1, 1)},
    {"PaletteAt8BitsIsCutInsideEntry2", Paletted(8, 4).Size(1, 1).Rows({2, 0, 0, 0}).TruncateTo(54 + 8 + 2).Build(),
     8, 1, 1, {White}, LoadedPalette(8, 2, 4)},
    {"PaletteAt4BitsEndsTheFile", Paletted(4, 3).Offset(54 + 64).Size(1, 1).TruncateTo(54 + 12).Build(), 4, 1, 1,
     {White}, LoadedPalette(4, 3, 16)},
    // bfOffBits of 2^31 and more: every entry is read that the file holds, the rows are missing.
    {"OffsetPast2To31CapsTheCount", Patch32(Paletted(8, 3).Size(1, 1).Build(), BfOffBitsAt, 0x80000000), 8, 1, 1,
     {White}, LoadedPalette(8, 3, 256)},
    {"LargestOffsetLeavesRowsMissing",
     Patch32(Paletted(4, 16).Size(2, 1).Rows({0x12, 0, 0, 0}).Build(), BfOffBitsAt, 0xFFFFFFFF), 4, 2, 1,
     {White, White}, LoadedPalette(4, 16, 16)},
};

INSTANTIATE_TEST_SUITE_P(PaletteCount, Load, testing::ValuesIn(PaletteCases), NameOf<LoadCase>);

// Longer info headers (108 and 124 bytes, or any other length past 40).
const LoadCase LongHeaderCases[] = {
    {"V4PaletteAfterTheHeader", Paletted(8, 4).HeaderSize(108).Size(3, 1).Rows({0, 3, 4, 0}).Build(), 8, 3, 1,
     {P(0), P(3), White}, LoadedPalette(8, 4, 4)},
    {"V5PaletteAt1Bit", Paletted(1, 2).HeaderSize(124).Size(2, 1).Rows({0x80, 0, 0, 0}).Build(), 1, 2, 1,
     {P(1), P(0)}, LoadedPalette(1, 2, 2)},
    {"V5OversizePalette", Paletted(4, 18).HeaderSize(124).Size(2, 1).Rows({0xF1, 0, 0, 0}).Build(), 4, 2, 1,
     {P(15), P(1)}, LoadedPalette(4, 16, 16)},
    {"Header66Bytes", Paletted(1, 2).HeaderSize(66).Size(2, 1).Rows({0x40, 0, 0, 0}).Build(), 1, 2, 1,
     {P(0), P(1)}, LoadedPalette(1, 2, 2)},
    // A header claimed longer than the room before bfOffBits: the palette is at 54 after all.
    {"V5SizeButPaletteAt54", Patch32(Paletted(8, 16).Size(2, 1).Rows({1, 2, 0, 0}).Build(), BiSizeAt, 124), 8, 2, 1,
     {P(1), P(2)}, LoadedPalette(8, 16, 16)},
    {"V5WithOffsetPast2To31",
     Patch32(Paletted(8, 2).HeaderSize(124).Size(1, 1).Build(), BfOffBitsAt, 0xFFFFFFF0), 8, 1, 1, {White},
     LoadedPalette(8, 2, 256)},
    {"V4At24Bits", BmpBuilder().HeaderSize(108).Size(1, 1).Rows({1, 2, 3, 0}).Build(), 24, 1, 1, {Rgb(3, 2, 1)}, {}},
    // Masks sit at 54, inside a V5 header, and the rows at bfOffBits 138.
    // Read with the default 5-5-5 masks the words would give red 240 and black.
    {"V5MasksAt54", Patch32(Bitfields(0xF800, 0x07E0, 0x001F).Offset(138).Size(2, 1).Rows(Words({0xF800, 0x8000}))
                                .Build(),
                            BiSizeAt, 124),
     16, 2, 1, {Rgb(248, 0, 0), Rgb(128, 0, 0)}, {}},
};

INSTANTIATE_TEST_SUITE_P(LongHeaders, Load, testing::ValuesIn(LongHeaderCases), NameOf<LoadCase>);

// Where the rows start: at bfOffBits when it lies ahead, where the reader is when it lies behind.
const LoadCase RowStartCases[] = {
    {"GapBefore24BitRows", BmpBuilder().Offset(64).Size(1, 1).Rows({1, 2, 3, 0}).Build(), 24, 1, 1, {Rgb(3, 2, 1)},
     {}},
    {"OffsetBehindTheHeaders", BmpBuilder().Offset(50).Size(1, 1).Rows({1, 2, 3, 0}).Build(), 24, 1, 1,
     {Rgb(3, 2, 1)}, {}},
    {"GapAfterTheMasks", Bitfields(0xF800, 0x07E0, 0x001F).Offset(72).Size(2, 1).Rows(Words({0xF800, 0x001F}))
                             .Build(),
     16, 2, 1, {Rgb(248, 0, 0), Rgb(0, 0, 248)}, {}},
    {"OffsetBehindTheMasks", Bitfields(0xF800, 0x07E0, 0x001F).Offset(54).Size(2, 1).Rows(Words({0xF800, 0x001F}))
                                 .Build(),
     16, 2, 1, {Rgb(248, 0, 0), Rgb(0, 0, 248)}, {}},
    {"GapAt16BitsWithoutMasks", BmpBuilder().BitCount(16).Offset(58).Size(2, 1).Rows(Words({0x7C00, 0x03E0})).Build(),
     16, 2, 1, {Rgb(248, 0, 0), Rgb(0, 248, 0)}, {}},
};

INSTANTIATE_TEST_SUITE_P(RowStart, Load, testing::ValuesIn(RowStartCases), NameOf<LoadCase>);

// Files cut short after their headers still load.
const LoadCase TruncationCases[] = {
    {"InsideTheGap", BmpBuilder().Offset(154).Size(1, 1).Rows({1, 2, 3, 0}).TruncateTo(100).Build(), 24, 1, 1,
     {White}, {}},
    {"InsideThe24BitRows",
     BmpBuilder().Size(2, 3).Rows({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0, 13, 14, 15, 16, 17, 18, 0, 0})
         .TruncateTo(54 + 8 + 5).Build(),
     24, 2, 3, {White, White, White, White, Rgb(3, 2, 1), Rgb(6, 5, 4)}, {}},
    {"InsideThe32BitRows", BmpBuilder().BitCount(32).Size(1, 2).Rows({1, 2, 3, 4, 5, 6, 7, 8}).TruncateTo(61).Build(),
     32, 1, 2, {White, ColorQuad{1, 2, 3, 4}}, {}},
    {"InsideThe1BitRows", Paletted(1, 2).Size(1, 3).Rows({0x80, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0})
                              .TruncateTo(62 + 4 + 3).Build(),
     1, 1, 3, {White, White, P(1)}, LoadedPalette(1, 2, 2)},
    // At 16 bits a missing word repeats the last word read; before any word, it is 0.
    {"AfterTheFirst16BitRow", BmpBuilder().BitCount(16).Size(2, 3).Rows(Words({0x001F, 0x03E0, 0x7C00, 0x7C00}))
                                  .TruncateTo(54 + 4).Build(),
     16, 2, 3, {Rgb(0, 248, 0), Rgb(0, 248, 0), Rgb(0, 248, 0), Rgb(0, 248, 0), Rgb(0, 0, 248), Rgb(0, 248, 0)}, {}},
    {"InsideA16BitWord", BmpBuilder().BitCount(16).Size(2, 2).Rows(Words({0x001F, 0x03E0, 0x7FFF, 0x7FFF}))
                             .TruncateTo(54 + 5).Build(),
     16, 2, 2, {Rgb(0, 248, 0), Rgb(0, 248, 0), Rgb(0, 0, 248), Rgb(0, 248, 0)}, {}},
    {"InsideThe16BitTrailingBytes", BmpBuilder().BitCount(16).Size(1, 2).Rows(Join({Words({0x7C00}), {0, 0},
                                                                                   Words({0x001F}), {0, 0}}))
                                        .TruncateTo(54 + 3).Build(),
     16, 1, 2, {Rgb(248, 0, 0), Rgb(248, 0, 0)}, {}},
    {"RightAfterThe16BitHeaders", BmpBuilder().BitCount(16).Size(2, 1).Rows(Words({0x7FFF, 0x7FFF})).TruncateTo(54)
                                      .Build(),
     16, 2, 1, {Black, Black}, {}},
    {"OneByteInto16BitRows", BmpBuilder().BitCount(16).Size(2, 1).Rows(Words({0x7FFF, 0x7FFF})).TruncateTo(55).Build(),
     16, 2, 1, {Black, Black}, {}},
    {"InsideTheMasks", Bitfields(0xF800, 0x07E0, 0x001F).Size(1, 1).Rows(Words({0xFFFF, 0})).TruncateTo(59).Build(),
     16, 1, 1, {Black}, {}},
    {"RightAfterTheMasks", Bitfields(0xF800, 0x07E0, 0x001F).Size(1, 1).Rows(Words({0xFFFF, 0})).TruncateTo(66)
                               .Build(),
     16, 1, 1, {Black}, {}},
};

INSTANTIATE_TEST_SUITE_P(Truncation, Load, testing::ValuesIn(TruncationCases), NameOf<LoadCase>);

// ---------------------------------------------------------------------------
// Rows of over half a million pixels: every pixel must land in its own
// column, and a 16-bit row cut short, which is replayed in pieces, must go on
// repeating the last word read into the pieces after it.

constexpr int32_t WideRowWidth = (int32_t{1} << 19) + 13;  // past one piece, and not a multiple of 8 pixels

struct WideCase {
    const char* name;
    uint16_t depth;
    int32_t height;
    size_t rowBytesKept;  // bytes of rows left in the file
};

void PrintTo(const WideCase& c, std::ostream* out) { *out << c.name; }

class WideRows : public testing::TestWithParam<WideCase> {};

// Pixel x of a file row, as the loader must give it.
ColorQuad WidePixel(uint16_t depth, const uint8_t* row, int32_t x) {
    if (depth <= 8) {
        const int64_t bit = int64_t{x} * depth;
        return P(row[bit / 8] >> (8 - depth - bit % 8) & ((1 << depth) - 1));
    }
    const uint8_t* p = row + size_t(x) * depth / 8;
    if (depth == 24) return Rgb(p[2], p[1], p[0]);
    return ColorQuad{p[0], p[1], p[2], p[3]};
}

ColorQuad Word555(uint16_t word) { return Rgb((word >> 10 & 31) * 8, (word >> 5 & 31) * 8, (word & 31) * 8); }

TEST_P(WideRows, EveryPieceLandsInItsOwnColumns) {
    const WideCase& c = GetParam();
    const size_t rowSize = (size_t{c.depth} * WideRowWidth + 31) / 32 * 4;
    std::vector<uint8_t> rows(rowSize * size_t(c.height));
    for (size_t k = 0; k < rows.size(); ++k) rows[k] = uint8_t(k * 37 + k / 251);
    BmpBuilder builder = c.depth <= 8 ? Paletted(c.depth, 1 << c.depth) : BmpBuilder().BitCount(c.depth);
    const size_t headers = 54 + (c.depth <= 8 ? size_t{4} << c.depth : 0);
    const std::vector<uint8_t> file =
        builder.Size(WideRowWidth, c.height).Rows(rows).TruncateTo(headers + c.rowBytesKept).Build();
    BMPImage image;
    ASSERT_TRUE(LoadBytes(image, file)) << Message(image.LastReadError());
    ASSERT_EQ(image.Width(), WideRowWidth);
    uint16_t word = 0;
    for (int32_t r = 0; r < c.height; ++r) {
        const int32_t y = c.height - 1 - r;
        for (int32_t x = 0; x < WideRowWidth; ++x) {
            const size_t at = size_t(r) * rowSize + size_t(x) * c.depth / 8;
            ColorQuad expected;
            if (c.depth == 16) {
                if (at + 2 <= c.rowBytesKept) word = uint16_t(rows[at] | rows[at + 1] << 8);
                expected = Word555(word);
            } else {
                expected = WidePixel(c.depth, rows.data() + size_t(r) * rowSize, x);
            }
            ASSERT_EQ(image.PixelAt(x, y), expected) << "pixel (" << x << ", " << y << ")";
        }
    }
}

constexpr size_t AllRows = SIZE_MAX / 2;
constexpr size_t WideRow16 = (2 * size_t{WideRowWidth} + 3) / 4 * 4;

INSTANTIATE_TEST_SUITE_P(
    Reader, WideRows,
    testing::Values(WideCase{"OneBit", 1, 2, AllRows}, WideCase{"FourBits", 4, 2, AllRows},
                    WideCase{"EightBits", 8, 1, AllRows}, WideCase{"TwentyFourBits", 24, 1, AllRows},
                    WideCase{"ThirtyTwoBits", 32, 1, AllRows}, WideCase{"SixteenBits", 16, 2, AllRows},
                    WideCase{"SixteenBitsCutInTheFirstPiece", 16, 2, 1001},
                    WideCase{"SixteenBitsCutInTheSecondPiece", 16, 2, WideRow16 + 2 * (size_t{1} << 19) + 5}),
    [](const testing::TestParamInfo<WideCase>& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------
// The public row decoders.

using Decoder = bool (BMPImage::*)(const uint8_t*, int32_t, int32_t);

struct RowCase {
    const char* name;
    Decoder decode;
    int32_t depth;
    std::vector<uint8_t> row;  // exactly the bytes one row of the width needs
    std::vector<ColorQuad> pixels;
};

void PrintTo(const RowCase& c, std::ostream* out) { PrintCase(c, out); }

class DecodeRow : public testing::TestWithParam<RowCase> {};

TEST_P(DecodeRow, NeedsAWholeRowAndWritesOnlyItsRow) {
    const RowCase& c = GetParam();
    const ColorQuad marker{1, 2, 3, 4};
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(c.depth));
    ASSERT_TRUE(image.SetDimensions(int32_t(c.pixels.size()), 2));
    for (int i = 0; i < image.ColorCount(); ++i) image.SetPaletteColor(i, P(i));
    for (int32_t x = 0; x < image.Width(); ++x) image.PixelAt(x, 1) = marker;
    const std::vector<ColorQuad> markers(c.pixels.size(), marker);
    const std::vector<ColorQuad> whites(c.pixels.size(), White);

    EXPECT_FALSE((image.*c.decode)(c.row.data(), int32_t(c.row.size()) - 1, 1));
    EXPECT_TRUE(SameQuads(PixelsOf(image), Concat(whites, markers)));

    EXPECT_TRUE((image.*c.decode)(c.row.data(), int32_t(c.row.size()), 1));
    EXPECT_TRUE(SameQuads(PixelsOf(image), Concat(whites, c.pixels)));
}

const RowCase RowCases[] = {
    {"Row1", &BMPImage::DecodeRow1, 1, {0xA5, 0x80}, {P(1), P(0), P(1), P(0), P(0), P(1), P(0), P(1), P(1)}},
    {"Row4", &BMPImage::DecodeRow4, 4, {0x12, 0x34, 0x5F}, {P(1), P(2), P(3), P(4), P(5)}},
    {"Row8", &BMPImage::DecodeRow8, 8, {7, 8, 255}, {P(7), P(8), P(255)}},
    // 24-bit pixels keep the alpha they had.
    {"Row24", &BMPImage::DecodeRow24, 24, {10, 20, 30, 40, 50, 60}, {ColorQuad{10, 20, 30, 4}, ColorQuad{40, 50, 60, 4}}},
    {"Row32", &BMPImage::DecodeRow32, 32, {10, 20, 30, 0, 40, 50, 60, 70}, {ColorQuad{10, 20, 30, 0}, ColorQuad{40, 50, 60, 70}}},
};

INSTANTIATE_TEST_SUITE_P(Reader, DecodeRow, testing::ValuesIn(RowCases),
                         NameOf<RowCase>);

// Whole items only, and nothing more once the end of the file has been met.
TEST(ReadExactTest, CountsWholeItemsAndStopsAtTheEnd) {
    TempFile file({1, 2, 3, 4, 5, 6, 7});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.Path(), "rb"), &std::fclose);
    ASSERT_TRUE(stream);
    uint8_t buffer[8] = {};
    EXPECT_TRUE(ReadExact(buffer, 2, 1, stream.get()));
    EXPECT_EQ(buffer[1], 2);
    EXPECT_TRUE(ReadExact(buffer, 1, 0, stream.get()));
    EXPECT_FALSE(ReadExact(buffer, 2, 3, stream.get()));  // five bytes left: two whole items
    EXPECT_EQ(buffer[3], 6);
    EXPECT_FALSE(ReadExact(buffer, 1, 1, stream.get()));
}

// ---------------------------------------------------------------------------
// Memory: a child process with a capped address space shows what the reader
// tries to allocate. The sanitizers reserve terabytes of shadow memory, so
// there the cap cannot be set.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool AddressSpaceCanBeCapped = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool AddressSpaceCanBeCapped = false;
#else
constexpr bool AddressSpaceCanBeCapped = true;
#endif
#else
constexpr bool AddressSpaceCanBeCapped = true;
#endif

// qemu-user accepts setrlimit but keeps address-space limits to itself.
#if defined(VELMORA_EMULATOR)
constexpr bool Emulated = true;
#else
constexpr bool Emulated = false;
#endif

constexpr int LoadedAsExpected = 0;
constexpr int WrongResult = 1;
constexpr int ThrewException = 2;
constexpr int CapNotSet = 3;

#if defined(__linux__)
// Leaves room for this much more than the process maps now.
bool CapAddressSpace(uint64_t headroom) {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    if (!(statm >> pages)) return false;
    const uint64_t limit = pages * uint64_t(sysconf(_SC_PAGESIZE)) + headroom;
    if (limit > uint64_t{RLIM_INFINITY}) return false;  // rlim_t has 32 bits on 32-bit targets
    rlimit cap{};
    cap.rlim_cur = rlim_t(limit);
    cap.rlim_max = rlim_t(limit);
    return setrlimit(RLIMIT_AS, &cap) == 0;
}
#endif

struct CappedLoad {
    std::vector<uint8_t> file;
    bool loads;
    ReadError error;
};

// Runs in the child: exits with LoadedAsExpected when every load gives its result.
[[noreturn]] void LoadAllUnderCap(const std::vector<TempFile*>& files, const std::vector<CappedLoad>& loads) {
#if defined(__linux__)
    if (!CapAddressSpace(uint64_t{128} << 20)) std::_Exit(CapNotSet);
#endif
    try {
        for (size_t i = 0; i < loads.size(); ++i) {
            BMPImage image;
            const bool loaded = image.LoadFile(files[i]->Path());
            if (loaded != loads[i].loads || image.LastReadError() != loads[i].error) std::_Exit(WrongResult + 10 * int(i));
            if (!loaded && (image.Width() != 1 || image.Height() != 1 || image.bitDepth != 1)) std::_Exit(WrongResult);
        }
    } catch (...) {
        std::_Exit(ThrewException);
    }
    std::_Exit(LoadedAsExpected);
}

void ExpectUnderCap(const std::vector<CappedLoad>& loads) {
    std::vector<std::unique_ptr<TempFile>> owned;
    std::vector<TempFile*> files;
    for (const CappedLoad& load : loads) {
        owned.push_back(std::make_unique<TempFile>(load.file));
        files.push_back(owned.back().get());
    }
    EXPECT_EXIT(LoadAllUnderCap(files, loads), testing::ExitedWithCode(LoadedAsExpected), "");
}

// Loads run in a child whose address space is capped, where a cap can be set.
class ReaderMemory : public testing::Test {
protected:
    void SetUp() override {
#if !defined(__linux__)
        GTEST_SKIP() << "needs an address-space cap";
#endif
        if (!AddressSpaceCanBeCapped) GTEST_SKIP() << "the sanitizer's shadow memory defeats an address-space cap";
        if (Emulated) GTEST_SKIP() << "the emulator does not pass an address-space cap on";
    }
};

TEST_F(ReaderMemory, AHugeOffsetSkipsWithoutAGapSizedBuffer) {
    ExpectUnderCap({
        {Patch32(BmpBuilder().Size(2, 2).Rows(std::vector<uint8_t>(16, 7)).Build(), BfOffBitsAt, 0x7FFFFFF0), true,
         ReadError::None},
        {Patch32(Paletted(8, 256).Size(2, 2).Build(), BfOffBitsAt, 0x7FFFFFFF), true, ReadError::None},
        {Patch32(Bitfields(0xF800, 0x07E0, 0x001F).Size(2, 2).Build(), BfOffBitsAt, 0xFFFFFFFF), true,
         ReadError::None},
    });
}

// Sizes just inside the limits are not refused as too large; when their
// pixels cannot be had the reader refuses instead of crashing or throwing.
TEST_F(ReaderMemory, PixelStorageThatCannotBeHadIsRefused) {
    ExpectUnderCap({
        {BmpBuilder().Size(16384, 16384).Build(), false, ReadError::OutOfMemory},
        {BmpBuilder().BitCount(32).Size((1 << 26) - 1, 1).Build(), false, ReadError::OutOfMemory},
        {BmpBuilder().Size(1, 1).Rows({1, 2, 3, 0}).Build(), true, ReadError::None},
    });
}
}  // namespace
