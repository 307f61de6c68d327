#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "BMPImage.h"
#include "CorpusSupport.h"
#include "TestSupport.h"
#include "WriterSupport.h"

namespace {
// What a pixel turns into once written at a depth and read back.
ColorQuad AsStored(const BMPImage& image, ColorQuad colour) {
    switch (image.bitDepth) {
    case 1:
    case 4:
    case 8: return image.PaletteColor(image.NearestPaletteIndex(colour));
    case 16: return ColorQuad{uint8_t(colour.blue & 0xF8), uint8_t(colour.green & 0xF8), uint8_t(colour.red & 0xF8), 0};
    case 24: return ColorQuad{colour.blue, colour.green, colour.red, 0};
    default: return colour;
    }
}

struct RoundTripCase {
    int32_t depth, width, height;
    bool ownPalette;       // random palette entries, alpha included, instead of the standard ones
    bool paletteColours;   // at depths 1, 4, 8: pixels taken from the palette rather than any colour
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ReadingBackGivesWhatTheFormatKeeps) {
    const RoundTripCase& c = GetParam();
    ColourSource colours(uint32_t(c.depth * 1000 + c.width));
    BMPImage image;
    ASSERT_TRUE(image.SetDepth(c.depth));
    ASSERT_TRUE(image.SetDimensions(c.width, c.height));
    if (c.ownPalette)
        for (int32_t i = 0; i < image.ColorCount(); ++i) image.SetPaletteColor(i, colours.Next());
    for (int32_t y = 0; y < c.height; ++y) {
        for (int32_t x = 0; x < c.width; ++x) {
            ColorQuad colour = colours.Next();
            if (c.paletteColours) colour = image.PaletteColor(colour.blue % image.ColorCount());
            image.PixelAt(x, y) = colour;
        }
    }
    image.xPelsPerMeter = 1234;
    image.yPelsPerMeter = -42;

    BMPImage expected;
    ASSERT_TRUE(expected.SetDimensions(c.width, c.height));
    for (int32_t y = 0; y < c.height; ++y)
        for (int32_t x = 0; x < c.width; ++x) expected.PixelAt(x, y) = AsStored(image, image.PixelAt(x, y));

    TempDir dir;
    ASSERT_TRUE(image.SaveFile(dir.File("out.bmp").c_str())) << Message(image.LastWriteError());
    BMPImage again;
    ASSERT_TRUE(again.LoadFile(dir.File("out.bmp").c_str())) << Message(again.LastReadError());
    EXPECT_EQ(again.bitDepth, c.depth);
    EXPECT_EQ(again.xPelsPerMeter, 1234);
    EXPECT_EQ(again.yPelsPerMeter, -42);
    EXPECT_TRUE(SamePixels(expected, again));
    for (int32_t i = 0; i < image.ColorCount() && c.depth <= 8; ++i)
        ASSERT_EQ(again.PaletteColor(i), image.PaletteColor(i)) << "palette entry " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Depths, RoundTrip,
    ::testing::Values(RoundTripCase{1, 37, 23, false, true}, RoundTripCase{1, 9, 130, true, true},
                      RoundTripCase{1, 17, 5, false, false}, RoundTripCase{4, 37, 23, false, true},
                      RoundTripCase{4, 5, 70, true, true}, RoundTripCase{4, 33, 9, true, false},
                      RoundTripCase{8, 37, 23, false, true}, RoundTripCase{8, 3, 66, true, true},
                      RoundTripCase{8, 41, 17, false, false}, RoundTripCase{16, 37, 23, false, false},
                      RoundTripCase{16, 1, 129, false, false}, RoundTripCase{24, 37, 23, false, false},
                      RoundTripCase{24, 2, 65, false, false}, RoundTripCase{24, 40000, 2, false, false},
                      RoundTripCase{32, 37, 23, false, false}, RoundTripCase{32, 1, 200, false, false}),
    [](const ::testing::TestParamInfo<RoundTripCase>& testCase) {
        const RoundTripCase& c = testCase.param;
        return "Depth" + std::to_string(c.depth) + "_" + std::to_string(c.width) + "x" + std::to_string(c.height) +
               (c.ownPalette ? "_OwnPalette" : "") + (c.paletteColours ? "" : "_AnyColours");
    });

// ---------------------------------------------------------------------------
// Files written by other programs: what loads must save, load back to the
// same pixels, and save again to the very same bytes.

// The rows whose file loads, from both manifests.
std::vector<ManifestRow> LoadableFiles() {
    std::vector<ManifestRow> rows;
    for (const char* suite : {"bmpsuite", "peers"})
        for (const ManifestRow& row : ReadManifest(suite))
            if (row.expect == "loads") rows.push_back(row);
    return rows;
}

TEST(CorpusManifest, ListsLoadableFiles) {
    EXPECT_GE(LoadableFiles().size(), 50u) << "corpus read from " << CorpusDir();
}

class CorpusRoundTrip : public ::testing::TestWithParam<ManifestRow> {};

TEST_P(CorpusRoundTrip, SavesReloadsAndSavesTheSameBytes) {
    const std::string input = CorpusPath(GetParam(), GetParam().file);
    BMPImage original;
    ASSERT_TRUE(original.LoadFile(input.c_str())) << Message(original.LastReadError());

    TempDir dir;
    ASSERT_TRUE(original.SaveFile(dir.File("first.bmp").c_str())) << Message(original.LastWriteError());
    BMPImage reloaded;
    ASSERT_TRUE(reloaded.LoadFile(dir.File("first.bmp").c_str())) << Message(reloaded.LastReadError());
    EXPECT_EQ(reloaded.bitDepth, original.bitDepth);
    EXPECT_TRUE(SamePixels(original, reloaded));
    ASSERT_TRUE(reloaded.SaveFile(dir.File("second.bmp").c_str())) << Message(reloaded.LastWriteError());
    const std::vector<uint8_t> first = ReadBytes(dir.File("first.bmp"));
    EXPECT_EQ(first.size(), U32At(first, 2));
    EXPECT_TRUE(first == ReadBytes(dir.File("second.bmp")));
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusRoundTrip, ::testing::ValuesIn(LoadableFiles()),
                         [](const ::testing::TestParamInfo<ManifestRow>& testCase) {
                             std::string name;
                             for (char ch : testCase.param.suite + "/" + testCase.param.file)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });
}  // namespace
