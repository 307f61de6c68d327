#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "BMPImage.h"
#include "ExportSupport.h"
#include "TestSupport.h"

namespace {
constexpr int32_t LoadFailed = 1;
constexpr int32_t Framed = 999;

// Rows of varied colours, so a wrongly placed or lost pixel shows.
std::vector<uint8_t> PatternRows(int32_t width, int32_t height, uint16_t depth) {
    const int32_t bytesPerPixel = depth / 8;
    const int32_t rowSize = (width * depth + 31) / 32 * 4;
    std::vector<uint8_t> rows(size_t(rowSize) * size_t(height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t c = 0; c < bytesPerPixel; ++c)
                rows[size_t(y * rowSize + x * bytesPerPixel + c)] = uint8_t(x * 37 + y * 11 + c * 101 + 7);
    return rows;
}

std::vector<uint8_t> PatternBmp(int32_t width, int32_t height, uint16_t depth = 24) {
    BmpBuilder builder;
    builder.BitCount(depth).Size(width, height).Rows(PatternRows(width, height, depth));
    if (depth == 8) {
        std::vector<ColorQuad> palette;
        for (int32_t i = 0; i < 256; ++i) palette.push_back(ColorQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0});
        builder.Palette(palette);
    }
    return builder.Build();
}

// What a file holds once framed by the definition and saved by the library.
std::vector<uint8_t> ExpectedFraming(const std::string& input, const TempDir& dir) {
    BMPImage image;
    EXPECT_TRUE(image.LoadFile(input.c_str()));
    FrameByDefinition(image);
    const std::string path = dir.File("expected-" + std::to_string(std::hash<std::string>()(input)) + ".bmp");
    EXPECT_TRUE(image.SaveFile(path.c_str()));
    return ReadBytes(path);
}

const std::vector<uint8_t> ExistingOutput{'k', 'e', 'e', 'p'};

// One case of the call's edge: which paths, what is on disk, what must come of it.
struct PathCase {
    const char* name;
    bool input;      // pass the input path (else null)
    bool goodInput;  // the input is a valid BMP file (else it is missing or not a BMP)
    bool notBmp;     // the input exists but is not a BMP file
    const char* output;  // "null", "fresh", "existing", "missing-dir", "input"
    int32_t result;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << c.name; }

class ExportPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExportPaths, ReturnsTheResultAndTouchesOnlyWhatItShould) {
    const PathCase& c = GetParam();
    TempDir dir;
    const std::string input = dir.File("in.bmp");
    if (c.goodInput) WriteBytes(input, PatternBmp(9, 7));
    if (c.notBmp) WriteBytes(input, {'P', '6', '\n', '1', ' ', '1'});
    const std::string what = c.output;
    std::string output = dir.File("out.bmp");
    if (what == "existing") WriteBytes(output, ExistingOutput);
    if (what == "missing-dir") output = dir.File("no-such-dir/out.bmp");
    if (what == "input") output = input;
    const std::vector<uint8_t> expected = c.goodInput ? ExpectedFraming(input, dir) : std::vector<uint8_t>();
    const std::wstring wideInput = Wide(input);
    const std::wstring wideOutput = Wide(output);

    const int32_t result = LoadedBMPFFrame()(c.input ? wideInput.c_str() : nullptr,
                                             what == "null" ? nullptr : wideOutput.c_str());

    EXPECT_EQ(result, c.result);
    if (result == Framed && (what == "fresh" || what == "existing" || what == "input")) {
        EXPECT_EQ(ReadBytes(output), expected);
    } else if (what == "existing") {
        EXPECT_EQ(ReadBytes(output), ExistingOutput);  // a failed load leaves it untouched
    } else {
        EXPECT_FALSE(FileExists(output));
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, ExportPaths, ::testing::Values(
    PathCase{"Framed", true, true, false, "fresh", Framed},
    PathCase{"ReplacesAnExistingOutput", true, true, false, "existing", Framed},
    PathCase{"BothPathsNull", false, false, false, "null", LoadFailed},
    PathCase{"NullInputLeavesOutputUntouched", false, true, false, "existing", LoadFailed},
    PathCase{"NullInputCreatesNoOutput", false, true, false, "fresh", LoadFailed},
    PathCase{"NullOutputStillFramed", true, true, false, "null", Framed},
    PathCase{"MissingInput", true, false, false, "fresh", LoadFailed},
    PathCase{"MissingInputLeavesOutputUntouched", true, false, false, "existing", LoadFailed},
    PathCase{"NotABmp", true, false, true, "fresh", LoadFailed},
    PathCase{"NotABmpLeavesOutputUntouched", true, false, true, "existing", LoadFailed},
    PathCase{"OutputIsTheInput", true, true, false, "input", Framed},
    PathCase{"OutputInAMissingDirectory", true, true, false, "missing-dir", Framed}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct SinglePixelCase {
    const char* name;
    uint16_t depth;
};

void PrintTo(const SinglePixelCase& c, std::ostream* out) { *out << c.name; }

class ExportSinglePixel : public ::testing::TestWithParam<SinglePixelCase> {};

TEST_P(ExportSinglePixel, IsLeftUnchangedAtItsDepth) {
    TempDir dir;
    const std::string input = dir.File("in.bmp");
    const std::string output = dir.File("out.bmp");
    WriteBytes(input, PatternBmp(1, 1, GetParam().depth));
    EXPECT_EQ(LoadedBMPFFrame()(Wide(input).c_str(), Wide(output).c_str()), Framed);
    BMPImage before;
    BMPImage after;
    ASSERT_TRUE(before.LoadFile(input.c_str()));
    ASSERT_TRUE(after.LoadFile(output.c_str()));
    EXPECT_EQ(after.bitDepth, GetParam().depth);
    EXPECT_EQ(after.Width(), 1);
    EXPECT_EQ(after.Height(), 1);
    EXPECT_EQ(after.PixelAt(0, 0), before.PixelAt(0, 0));
    EXPECT_NE(after.PixelAt(0, 0).red + after.PixelAt(0, 0).green + after.PixelAt(0, 0).blue, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, ExportSinglePixel,
    ::testing::Values(SinglePixelCase{"Depth8", 8}, SinglePixelCase{"Depth24", 24}, SinglePixelCase{"Depth32", 32}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct NameCase {
    const char* name;
    const char* inputName;   // UTF-8
    const char* outputName;  // UTF-8
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.inputName << " -> " << c.outputName; }

class ExportNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ExportNames, FramesFilesWithNonAsciiNames) {
    TempDir dir;
    const std::string input = dir.File(GetParam().inputName);
    const std::string output = dir.File(GetParam().outputName);
    WriteBytes(input, PatternBmp(6, 5));
    const std::vector<uint8_t> expected = ExpectedFraming(input, dir);
    EXPECT_EQ(LoadedBMPFFrame()(Wide(input).c_str(), Wide(output).c_str()), Framed);
    ASSERT_TRUE(FileExists(output));
    EXPECT_EQ(ReadBytes(output), expected);
}

INSTANTIATE_TEST_SUITE_P(Unicode, ExportNames, ::testing::Values(
    NameCase{"AccentedInput", "\xC3\xA9.bmp", "out.bmp"},
    NameCase{"AccentedOutput", "in.bmp", "\xC3\xA9.bmp"},
    NameCase{"JapaneseBoth", "\xE6\x97\xA5\xE6\x9C\xAC.bmp", "\xE6\x97\xA5\xE6\x9C\xAC-framed.bmp"},
    NameCase{"OutsideTheBasicPlane", "\xF0\x9F\x96\xBC.bmp", "\xC3\xA9-\xF0\x9F\x96\xBC.bmp"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ExportNames, AnUnconvertibleInputPathFailsToLoad) {
    TempDir dir;
    const std::string input = dir.File("in.bmp");
    WriteBytes(input, PatternBmp(4, 4));
    std::wstring path = Wide(input);
    path.insert(path.size() - 4, 1, wchar_t(0xD800));  // a lone surrogate is no character
    EXPECT_EQ(LoadedBMPFFrame()(path.c_str(), Wide(dir.File("out.bmp")).c_str()), LoadFailed);
    EXPECT_FALSE(FileExists(dir.File("out.bmp")));
}

TEST(ExportNames, AnUnconvertibleOutputPathWritesNothing) {
    TempDir dir;
    const std::string input = dir.File("in.bmp");
    WriteBytes(input, PatternBmp(4, 4));
    std::wstring output = Wide(dir.File("out.bmp"));
    output.insert(output.size() - 4, 1, wchar_t(0xDFFF));
    EXPECT_EQ(LoadedBMPFFrame()(Wide(input).c_str(), output.c_str()), Framed);
    EXPECT_EQ(ReadBytes(input), PatternBmp(4, 4));
}

TEST(ExportThreads, EightThreadsGiveTheBytesOfOne) {
    constexpr int32_t ThreadCount = 8;
    constexpr int32_t Rounds = 4;
    TempDir dir;
    std::vector<std::wstring> inputs, outputs;
    std::vector<std::vector<uint8_t>> expected;
    for (int32_t t = 0; t < ThreadCount; ++t) {
        const std::string input = dir.File("in" + std::to_string(t) + ".bmp");
        WriteBytes(input, PatternBmp(40 + t * 7, 31 + t * 5, t % 2 == 0 ? 24 : 8));
        const std::string single = dir.File("single" + std::to_string(t) + ".bmp");
        ASSERT_EQ(LoadedBMPFFrame()(Wide(input).c_str(), Wide(single).c_str()), Framed);
        expected.push_back(ReadBytes(single));
        inputs.push_back(Wide(input));
        outputs.push_back(Wide(dir.File("multi" + std::to_string(t) + ".bmp")));
    }
    std::vector<int32_t> results(ThreadCount, 0);
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < ThreadCount; ++t)
        threads.emplace_back([&, t] {
            for (int32_t round = 0; round < Rounds; ++round)
                results[size_t(t)] += LoadedBMPFFrame()(inputs[size_t(t)].c_str(), outputs[size_t(t)].c_str());
        });
    for (std::thread& thread : threads) thread.join();
    for (int32_t t = 0; t < ThreadCount; ++t) {
        EXPECT_EQ(results[size_t(t)], Rounds * Framed) << "thread " << t;
        EXPECT_EQ(ReadBytes(dir.File("multi" + std::to_string(t) + ".bmp")), expected[size_t(t)]) << "thread " << t;
    }
}
}  // namespace
