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
    const char* input;   // "null", "empty", "bmp", "missing" or "text" (a file that is no BMP)
    const char* output;  // "null", "empty", "fresh", "existing", "missing-dir" or "input"
    int32_t result;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << c.name; }

class ExportPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExportPaths, ReturnsTheResultAndTouchesOnlyWhatItShould) {
    const PathCase& c = GetParam();
    const std::string inputKind = c.input;
    const std::string outputKind = c.output;
    TempDir dir;
    std::string input = dir.File("in.bmp");
    if (inputKind == "bmp") WriteBytes(input, PatternBmp(9, 7));
    if (inputKind == "text") WriteBytes(input, {'P', '6', '\n', '1', ' ', '1'});
    if (inputKind == "empty") input.clear();
    std::string output = dir.File("out.bmp");
    if (outputKind == "existing") WriteBytes(output, ExistingOutput);
    if (outputKind == "missing-dir") output = dir.File("no-such-dir/out.bmp");
    if (outputKind == "input") output = input;
    if (outputKind == "empty") output.clear();
    const std::vector<uint8_t> expected = inputKind == "bmp" ? ExpectedFraming(input, dir) : std::vector<uint8_t>();
    const std::wstring wideInput = Wide(input);
    const std::wstring wideOutput = Wide(output);

    const int32_t result = LoadedBMPFFrame()(inputKind == "null" ? nullptr : wideInput.c_str(),
                                             outputKind == "null" ? nullptr : wideOutput.c_str());

    EXPECT_EQ(result, c.result);
    if (result == Framed && (outputKind == "fresh" || outputKind == "existing" || outputKind == "input")) {
        EXPECT_EQ(ReadBytes(output), expected);
    } else if (outputKind == "existing") {
        EXPECT_EQ(ReadBytes(output), ExistingOutput);  // a failed load leaves it untouched
    } else if (!output.empty()) {
        EXPECT_FALSE(FileExists(output));
    }
    if (inputKind == "bmp") {
        EXPECT_EQ(ReadBytes(dir.File("in.bmp")), outputKind == "input" ? expected : PatternBmp(9, 7));
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, ExportPaths, ::testing::Values(
    PathCase{"Framed", "bmp", "fresh", Framed},
    PathCase{"ReplacesAnExistingOutput", "bmp", "existing", Framed},
    PathCase{"BothPathsNull", "null", "null", LoadFailed},
    PathCase{"NullInputLeavesOutputUntouched", "null", "existing", LoadFailed},
    PathCase{"NullInputCreatesNoOutput", "null", "fresh", LoadFailed},
    PathCase{"EmptyInputPath", "empty", "fresh", LoadFailed},
    PathCase{"NullOutputStillFramed", "bmp", "null", Framed},
    PathCase{"EmptyOutputPathStillFramed", "bmp", "empty", Framed},
    PathCase{"MissingInput", "missing", "fresh", LoadFailed},
    PathCase{"MissingInputLeavesOutputUntouched", "missing", "existing", LoadFailed},
    PathCase{"NotABmp", "text", "fresh", LoadFailed},
    PathCase{"NotABmpLeavesOutputUntouched", "text", "existing", LoadFailed},
    PathCase{"OutputIsTheInput", "bmp", "input", Framed},
    PathCase{"OutputInAMissingDirectory", "bmp", "missing-dir", Framed}),
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
