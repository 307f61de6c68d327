#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "TestSupport.h"

namespace {
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// A cross build's bmpframe runs through the emulator the tests run under.
#if defined(VELMORA_EMULATOR)
constexpr const char* Launcher = VELMORA_EMULATOR " ";
#else
constexpr const char* Launcher = "";
#endif

// Runs bmpframe with `arguments` (already quoted for the shell) in `dir`.
ToolRun Bmpframe(const TempDir& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.Path() + "' && " + Launcher + "'" VELMORA_BMPFRAME "' " + arguments +
                                " >'" + dir.File(".stdout") + "' 2>'" + dir.File(".stderr") + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text(dir.File(".stdout")), Text(dir.File(".stderr"))};
}

std::vector<uint8_t> Sample(int32_t width, int32_t height) {
    std::vector<uint8_t> rows;
    const int32_t padding = (4 - width * 3 % 4) % 4;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) rows.insert(rows.end(), {uint8_t(x * 9), uint8_t(y * 13), 200});
        rows.insert(rows.end(), size_t(padding), 0);
    }
    return BmpBuilder().Size(width, height).Rows(rows).Build();
}

// The bytes the library writes for `input` framed.
std::vector<uint8_t> Framed(const std::string& input, const TempDir& dir) {
    BMPImage image;
    EXPECT_TRUE(image.LoadFile(input.c_str()));
    ApplyCircularFrame(image);
    const std::string path = dir.File(".expected.bmp");
    EXPECT_TRUE(image.SaveFile(path.c_str()));
    return ReadBytes(path);
}

TEST(Cli, FramesOneFile) {
    TempDir dir;
    WriteBytes(dir.File("in.bmp"), Sample(12, 9));
    const ToolRun run = Bmpframe(dir, "in.bmp out.bmp");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadBytes(dir.File("out.bmp")), Framed(dir.File("in.bmp"), dir));
}

TEST(Cli, FramesAFileInPlace) {
    TempDir dir;
    WriteBytes(dir.File("in.bmp"), Sample(12, 9));
    const std::vector<uint8_t> expected = Framed(dir.File("in.bmp"), dir);
    EXPECT_EQ(Bmpframe(dir, "in.bmp in.bmp").status, 0);
    EXPECT_EQ(ReadBytes(dir.File("in.bmp")), expected);
}

TEST(Cli, FramesABatchOnSeveralThreads) {
    TempDir dir;
    std::string names;
    for (int32_t i = 0; i < 7; ++i) {
        WriteBytes(dir.File("in" + std::to_string(i) + ".bmp"), Sample(5 + i * 3, 17 - i));
        names += " in" + std::to_string(i) + ".bmp";
    }
    const ToolRun run = Bmpframe(dir, "-j 3 -o out" + names);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");  // no progress bar when stderr is not a terminal
    EXPECT_EQ(run.out, "framed 7 of 7 files; 0 could not be read, 0 could not be written\n");
    for (int32_t i = 0; i < 7; ++i) {
        const std::string name = "in" + std::to_string(i) + ".bmp";
        EXPECT_EQ(ReadBytes(dir.File("out/" + name)), Framed(dir.File(name), dir)) << name;
    }
}

TEST(Cli, QuietBatchPrintsNothing) {
    TempDir dir;
    WriteBytes(dir.File("a.bmp"), Sample(4, 4));
    const ToolRun run = Bmpframe(dir, "--quiet --jobs=2 --output-dir=out a.bmp");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(FileExists(dir.File("out/a.bmp")));
}

struct FailureCase {
    const char* name;
    const char* arguments;
    int status;
    const char* message;  // a line that stderr must hold
    const char* written;  // an output that must exist nevertheless, or ""
};

class CliFailure : public ::testing::TestWithParam<FailureCase> {};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << "bmpframe " << c.arguments; }

// good.bmp is a BMP file, text.bmp is not, short.bmp ends inside its headers;
// out/ does not exist until made.
TEST_P(CliFailure, NamesTheFileAndTheReason) {
    const FailureCase& c = GetParam();
    TempDir dir;
    WriteBytes(dir.File("good.bmp"), Sample(6, 6));
    WriteBytes(dir.File("text.bmp"), {'h', 'e', 'l', 'l', 'o'});
    WriteBytes(dir.File("short.bmp"), {'B', 'M', 0, 0});
    const ToolRun run = Bmpframe(dir, c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    if (*c.written != '\0') {
        EXPECT_TRUE(FileExists(dir.File(c.written)));
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, CliFailure, ::testing::Values(
    FailureCase{"MissingInput", "missing.bmp out.bmp", 1,
                "bmpframe: missing.bmp: cannot open the file (No such file or directory)\n", ""},
    FailureCase{"NotABmp", "text.bmp out.bmp", 1, "bmpframe: text.bmp: not a BMP file\n", ""},
    FailureCase{"HeaderCutShort", "short.bmp out.bmp", 1, "bmpframe: short.bmp: the file ends inside its headers\n", ""},
    FailureCase{"UnwritableOutput", "good.bmp nodir/out.bmp", 3,
                "bmpframe: cannot write nodir/out.bmp: cannot create the file (No such file or directory)\n", ""},
    FailureCase{"FullDisk", "good.bmp /dev/full", 3, "(No space left on device)\n", ""},
    FailureCase{"BatchGoesOnAfterABadInput", "-o out text.bmp good.bmp missing.bmp", 1,
                "bmpframe: missing.bmp: cannot open the file", "out/good.bmp"},
    FailureCase{"BatchRefusesItsInputs", "-o . good.bmp", 3,
                "bmpframe: cannot write ./good.bmp: it is its own input (use --overwrite)\n", ""},
    FailureCase{"BatchWriteFailureWinsOverReadFailure", "-o . missing.bmp good.bmp", 3,
                "missing.bmp: cannot open the file", ""},
    FailureCase{"BatchIntoAFile", "-o good.bmp text.bmp", 3, "cannot create the directory good.bmp", ""},
    FailureCase{"NoArguments", "", 2, "Try 'bmpframe --help'", ""},
    FailureCase{"OnlyOnePath", "good.bmp", 2, "expected an input and an output file", ""},
    FailureCase{"ThreePathsWithoutDirectory", "good.bmp a.bmp b.bmp", 2, "use -o DIR", ""},
    FailureCase{"UnknownOption", "--frobnicate good.bmp out.bmp", 2, "unknown option '--frobnicate'", ""},
    FailureCase{"ZeroJobs", "-j 0 -o out good.bmp", 2, "number of jobs", ""},
    FailureCase{"JobsNotANumber", "-j many -o out good.bmp", 2, "number of jobs", ""},
    FailureCase{"OptionWithoutValue", "good.bmp -o", 2, "option -o needs a value", ""},
    FailureCase{"DirectoryWithoutInputs", "-o out", 2, "no input files", "" }),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Cli, OverwriteLetsAFileReplaceItsOwnInput) {
    TempDir dir;
    WriteBytes(dir.File("a.bmp"), Sample(8, 8));
    const std::vector<uint8_t> expected = Framed(dir.File("a.bmp"), dir);
    EXPECT_EQ(Bmpframe(dir, "--overwrite -o . a.bmp").status, 0);
    EXPECT_EQ(ReadBytes(dir.File("a.bmp")), expected);
}

// out/a.bmp is another name (a hard link) of the input b.bmp: writing a's
// output there would change b while it may be read, so it is refused even
// with --overwrite, and b is framed all the same.
TEST(Cli, NeverWritesOntoAnotherInputUnderAnotherName) {
    TempDir dir;
    WriteBytes(dir.File("a.bmp"), Sample(8, 8));
    WriteBytes(dir.File("b.bmp"), Sample(9, 5));
    const std::vector<uint8_t> original = ReadBytes(dir.File("b.bmp"));
    std::filesystem::create_directory(dir.File("out"));
    std::filesystem::create_hard_link(dir.File("b.bmp"), dir.File("out/a.bmp"));
    const ToolRun run = Bmpframe(dir, "--overwrite -j 1 -o out a.bmp b.bmp");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("cannot write out/a.bmp: it is the input b.bmp"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir.File("b.bmp")), original);
    EXPECT_EQ(ReadBytes(dir.File("out/b.bmp")), Framed(dir.File("b.bmp"), dir));
}

TEST(Cli, TwoInputsOfOneNameGiveOneOutput) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("x"));
    std::filesystem::create_directory(dir.File("y"));
    WriteBytes(dir.File("x/a.bmp"), Sample(8, 8));
    WriteBytes(dir.File("y/a.bmp"), Sample(6, 3));
    const ToolRun run = Bmpframe(dir, "-o out x/a.bmp y/a.bmp");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("cannot write out/a.bmp: it is already the output of x/a.bmp"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(dir.File("out/a.bmp")), Framed(dir.File("x/a.bmp"), dir));
}

TEST(Cli, HelpAndVersion) {
    TempDir dir;
    const ToolRun help = Bmpframe(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: bmpframe", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--overwrite"), std::string::npos);
    EXPECT_EQ(Bmpframe(dir, "-h").out, help.out);
    const ToolRun version = Bmpframe(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("bmpframe ") + VELMORA_VERSION + "\n");
    EXPECT_EQ(std::string(VELMORA_VERSION), "1.0.0.1");
}
}  // namespace

namespace {
// Runs bmpframe under `script`, so that its stderr is a terminal.
ToolRun BmpframeOnATerminal(const TempDir& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.Path() + "' && script -qec \"" + Launcher + "'" VELMORA_BMPFRAME "' " + arguments +
                                "\" /dev/null >'" + dir.File(".terminal") + "' 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text(dir.File(".terminal")), ""};
}

TEST(Cli, DrawsAProgressBarOnlyOnATerminalAndNotWhenQuiet) {
    if (std::system("script --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no 'script' to make a terminal";
    TempDir dir;
    WriteBytes(dir.File("a.bmp"), Sample(4, 4));
    WriteBytes(dir.File("b.bmp"), Sample(5, 3));
    const ToolRun shown = BmpframeOnATerminal(dir, "-j 1 -o out a.bmp b.bmp");
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("] 2/2"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("framed 2 of 2 files"), std::string::npos) << shown.out;
    const ToolRun quiet = BmpframeOnATerminal(dir, "--quiet -o out2 a.bmp b.bmp");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
}
}  // namespace
