#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "FrameStream.h"
#include "TestSupport.h"

// FrameFile streams most files; its output must be the bytes that loading,
// framing and saving the image give, whichever way a file goes.
namespace {
struct ImageWay {
    bool loaded = false;
    std::vector<uint8_t> bytes;
};

ImageWay FrameThroughImage(const std::string& input, const std::string& output) {
    ImageWay result;
    BMPImage image;
    result.loaded = image.LoadFile(input.c_str());
    if (!result.loaded) return result;
    ApplyCircularFrame(image);
    EXPECT_TRUE(image.SaveFile(output.c_str()));
    result.bytes = ReadBytes(output);
    return result;
}

void ExpectSameAsImageWay(const std::string& input, const std::string& label) {
    TempDir dir;
    const ImageWay expected = FrameThroughImage(input, dir.File("image.bmp"));
    const FrameFileResult result = FrameFile(input.c_str(), dir.File("stream.bmp").c_str());
    EXPECT_EQ(result.readError == ReadError::None, expected.loaded) << label;
    EXPECT_EQ(result.writeError, WriteError::None) << label;
    if (!expected.loaded) {
        EXPECT_FALSE(FileExists(dir.File("stream.bmp"))) << label << ": nothing is written for a refused file";
        return;
    }
    EXPECT_EQ(ReadBytes(dir.File("stream.bmp")), expected.bytes) << label;
}

std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = uint8_t(random());  // padding bytes too: the output must have zeros there
    return bytes;
}

std::vector<ColorQuad> NoisePalette(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<ColorQuad> palette(count);
    for (ColorQuad& entry : palette) entry = ColorQuad{uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
    return palette;
}

int64_t RowBytes(int32_t depth, int32_t width) { return (int64_t{depth} * width + 31) / 32 * 4; }

struct StreamCase {
    const char* name;
    int32_t depth;
    int32_t width;
    int32_t height;
    uint32_t compression = 0;
    size_t paletteEntries = 0;  // written after the header; 0 for none
    bool repeatedColours = false;  // the palette holds some colours twice
    uint32_t headerSize = 40;
    uint32_t extraGap = 0;  // bytes between the palette or masks and the rows
    size_t truncateBy = 0;  // bytes cut from the end of the file
};

std::string CaseName(const testing::TestParamInfo<StreamCase>& info) { return info.param.name; }

class FrameStreamCases : public testing::TestWithParam<StreamCase> {};

TEST_P(FrameStreamCases, WritesWhatTheImageWayWrites) {
    const StreamCase& c = GetParam();
    BmpBuilder builder;
    builder.BitCount(uint16_t(c.depth)).Size(c.width, c.height).Compression(c.compression).HeaderSize(c.headerSize);
    if (c.paletteEntries > 0) {
        std::vector<ColorQuad> palette = NoisePalette(c.paletteEntries, uint32_t(c.depth * 31 + c.width));
        if (c.repeatedColours)
            for (size_t i = 1; i < palette.size(); i += 3) palette[i] = palette[i - 1];
        if (!palette.empty()) palette[palette.size() / 2] = ColorQuad{3, 2, 1, 0};  // near black, but not 0
        builder.Palette(palette);
    }
    uint32_t offset = 14 + c.headerSize + uint32_t(c.paletteEntries) * 4;
    if (c.compression == 3) {
        builder.Masks(0xF800, 0x07E0, 0x001F);
        offset += 12;
    }
    if (c.extraGap > 0) builder.Offset(offset + c.extraGap);
    const size_t rowBytes = size_t(RowBytes(c.depth, c.width)) * size_t(c.height);
    builder.Rows(NoiseBytes(rowBytes, uint32_t(c.width * 7 + c.height)));
    std::vector<uint8_t> bytes = builder.Build();
    bytes.resize(bytes.size() - c.truncateBy);
    TempFile input(bytes);
    ExpectSameAsImageWay(input.Path(), c.name);
}

// Odd widths put padding and spare bits in every row; heights above one
// block of rows cross a block boundary.
INSTANTIATE_TEST_SUITE_P(
    Files, FrameStreamCases,
    testing::Values(StreamCase{"Depth1", 1, 37, 23, 0, 2}, StreamCase{"Depth1Width9", 1, 9, 4, 0, 2},
                    StreamCase{"Depth4", 4, 31, 17, 0, 16}, StreamCase{"Depth4Width3", 4, 3, 5, 0, 16},
                    StreamCase{"Depth8", 8, 29, 19, 0, 256}, StreamCase{"Depth16Rgb555", 16, 21, 13},
                    StreamCase{"Depth16Masks565", 16, 22, 13, 3}, StreamCase{"Depth24", 24, 33, 27},
                    StreamCase{"Depth32", 32, 25, 30}, StreamCase{"OnePixel", 24, 1, 1},
                    StreamCase{"OneRow", 8, 40, 1, 0, 256}, StreamCase{"OneColumn", 4, 1, 40, 0, 16},
                    StreamCase{"Landscape", 24, 61, 7}, StreamCase{"Portrait", 1, 7, 61, 0, 2},
                    StreamCase{"ManyBlocks", 24, 2000, 300},
                    StreamCase{"RepeatedPaletteColours8", 8, 29, 19, 0, 256, true},
                    StreamCase{"RepeatedPaletteColours4", 4, 29, 19, 0, 16, true},
                    StreamCase{"RepeatedPaletteColours1", 1, 29, 19, 0, 2, true},
                    StreamCase{"ShortPalette", 8, 20, 20, 0, 16}, StreamCase{"NoPalette", 8, 20, 20, 0, 0},
                    StreamCase{"LongHeader", 8, 20, 20, 0, 256, false, 124},
                    StreamCase{"LongHeader16", 16, 20, 20, 3, 0, false, 108},
                    StreamCase{"GapBeforeRows", 24, 20, 20, 0, 0, false, 40, 10},
                    StreamCase{"GapAfterPalette", 4, 20, 20, 0, 16, false, 40, 7},
                    StreamCase{"CutShort", 24, 20, 20, 0, 0, false, 40, 0, 100},
                    StreamCase{"CutShort16", 16, 21, 20, 0, 0, false, 40, 0, 33},
                    StreamCase{"CutShort8", 8, 20, 20, 0, 256, false, 40, 0, 1}),
    CaseName);

// Real files from other programs, broken ones included.
TEST(FrameStream, CorpusFilesComeOutAsTheImageWayWritesThem) {
    for (const std::string manifest : {"bmpsuite/manifest.tsv", "peers/manifest.tsv"}) {
        const std::string base = std::string(VELMORA_CORPUS_DIR) + "/" + manifest.substr(0, manifest.find('/')) + "/";
        std::ifstream lines(std::string(VELMORA_CORPUS_DIR) + "/" + manifest);
        ASSERT_TRUE(lines) << manifest;
        std::string line;
        std::getline(lines, line);  // column names
        int files = 0;
        while (std::getline(lines, line)) {
            const std::string file = line.substr(0, line.find('\t'));
            ExpectSameAsImageWay(base + file, file);
            ++files;
        }
        EXPECT_GT(files, 10) << manifest;
    }
}

// Streaming onto the file being read would destroy it before it is read.
TEST(FrameStream, FramesAFileOntoItself) {
    const std::vector<uint8_t> bytes =
        BmpBuilder().BitCount(24).Size(9, 7).Rows(NoiseBytes(size_t(RowBytes(24, 9)) * 7, 5)).Build();
    TempFile input(bytes);
    TempDir dir;
    const ImageWay expected = FrameThroughImage(input.Path(), dir.File("image.bmp"));
    const FrameFileResult result = FrameFile(input.Path(), input.Path());
    EXPECT_EQ(result.readError, ReadError::None);
    EXPECT_EQ(result.writeError, WriteError::None);
    EXPECT_EQ(ReadBytes(input.Path()), expected.bytes);
}

TEST(FrameStream, ReportsFailuresAsTheImageWayDoes) {
    TempDir dir;
    const FrameFileResult missing = FrameFile(dir.File("missing.bmp").c_str(), dir.File("out.bmp").c_str());
    EXPECT_EQ(missing.readError, ReadError::OpenFailed);
    EXPECT_FALSE(FileExists(dir.File("out.bmp")));

    TempFile refused(BmpBuilder().BitCount(24).Size(4, -4).Rows(std::vector<uint8_t>(48)).Build());
    EXPECT_EQ(FrameFile(refused.Path(), dir.File("out.bmp").c_str()).readError, ReadError::BadSize);
    EXPECT_FALSE(FileExists(dir.File("out.bmp")));

    TempFile good(BmpBuilder().BitCount(24).Size(4, 4).Rows(std::vector<uint8_t>(48)).Build());
    const FrameFileResult unwritable = FrameFile(good.Path(), dir.File("no/such/folder/out.bmp").c_str());
    EXPECT_EQ(unwritable.readError, ReadError::None);
    EXPECT_EQ(unwritable.writeError, WriteError::OpenFailed);
    EXPECT_NE(unwritable.systemError, 0);
}
}  // namespace
