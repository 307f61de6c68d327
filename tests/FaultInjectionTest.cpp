// Inputs and outputs that fail underneath the library: unreadable and
// vanishing input, full and read-only destinations. Each must end in the
// documented verdict, and a failed load must never touch the output file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BMPImage.h"
#include "ExportSupport.h"
#include "TestSupport.h"

namespace {
constexpr int32_t LoadFailed = 1;
constexpr int32_t Framed = 999;

int32_t Frame(const std::string& input, const std::string& output) {
    return LoadedBMPFFrame()(Wide(input).c_str(), Wide(output).c_str());
}

// Rows of a 24-bit image whose every row has its own colour.
std::vector<uint8_t> StripedRows(int32_t width, int32_t height) {
    std::vector<uint8_t> rows;
    const int32_t padding = (4 - (3 * width) % 4) % 4;
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t x = 0; x < width; ++x) rows.insert(rows.end(), {uint8_t(row * 40), 100, 200});
        rows.insert(rows.end(), size_t(padding), 0);
    }
    return rows;
}

std::vector<uint8_t> Striped(int32_t width, int32_t height) {
    return BmpBuilder().BitCount(24).Size(width, height).Rows(StripedRows(width, height)).Build();
}

// A named pipe whose writer delivers `bytes` in pieces of `piece` bytes and
// then closes: the reader sees the file end wherever the bytes run out,
// exactly as with a file that shrank under it, but deterministically.
class FifoFeeder {
public:
    FifoFeeder(const std::string& fifoPath, std::vector<uint8_t> fileBytes, size_t pieceBytes)
        : path(fifoPath), bytes(std::move(fileBytes)), piece(pieceBytes) {
        std::signal(SIGPIPE, SIG_IGN);  // a reader that gives up early must not kill the test
        if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path;
        writer = std::thread([this] { Feed(); });
    }
    FifoFeeder(const FifoFeeder&) = delete;
    FifoFeeder& operator=(const FifoFeeder&) = delete;
    ~FifoFeeder() {
        // A reader that never came would leave the writer blocked in open.
        const int unblock = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        writer.join();
        if (unblock >= 0) close(unblock);
        unlink(path.c_str());
    }

private:
    void Feed() {
        const int fd = open(path.c_str(), O_WRONLY);
        if (fd < 0) return;
        for (size_t at = 0; at < bytes.size(); at += piece) {
            const size_t count = std::min(piece, bytes.size() - at);
            if (write(fd, bytes.data() + at, count) != ssize_t(count)) break;
            std::this_thread::yield();
        }
        close(fd);
    }

    std::string path;
    std::vector<uint8_t> bytes;
    size_t piece;
    std::thread writer;
};

// A recognisable image to load into, so that "untouched" can be told apart.
void Prepare(BMPImage& image) {
    ASSERT_TRUE(image.SetDepth(32));
    ASSERT_TRUE(image.SetDimensions(2, 2));
    image.PixelAt(1, 1) = ColorQuad{1, 2, 3, 4};
    image.xPelsPerMeter = 77;
}

void ExpectReset(const BMPImage& image) {
    EXPECT_EQ(image.bitDepth, 1);
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
    EXPECT_EQ(image.PixelAt(0, 0), WhiteTransparent);
}

// How to make the failing input: a path, possibly backed by a pipe that is
// fed while it is read. Called once for each read of the input.
struct InputFault {
    const char* name;
    std::function<std::string(const TempDir&, std::unique_ptr<FifoFeeder>&)> make;
    ReadError error;
};

std::string PipeOf(const TempDir& dir, std::unique_ptr<FifoFeeder>& feeder, std::vector<uint8_t> bytes) {
    const std::string path = dir.File("pipe.bmp");
    feeder.reset();  // the previous read's pipe, if any
    feeder = std::make_unique<FifoFeeder>(path, std::move(bytes), 5);
    return path;
}

const InputFault InputFaults[] = {
    {"Directory", [](const TempDir& dir, auto&) { return dir.Path(); }, ReadError::ReadFailed},
    // Opens, and then every read fails with EIO: unreadable, even for root.
    {"UnreadableFile", [](const TempDir&, auto&) { return std::string("/proc/self/mem"); }, ReadError::ReadFailed},
    {"MissingFile", [](const TempDir& dir, auto&) { return dir.File("missing.bmp"); }, ReadError::OpenFailed},
    {"ParentIsAFile", [](const TempDir&, auto&) { return std::string("/etc/hostname/in.bmp"); },
     ReadError::OpenFailed},
    {"EmptyPath", [](const TempDir&, auto&) { return std::string(); }, ReadError::OpenFailed},
    {"PipeEndsInsideTheHeaders",
     [](const TempDir& dir, auto& feeder) { return PipeOf(dir, feeder, BmpBuilder().TruncateTo(30).Build()); },
     ReadError::TruncatedHeader},
    {"PipeEndsAtOnce", [](const TempDir& dir, auto& feeder) { return PipeOf(dir, feeder, {}); },
     ReadError::TruncatedHeader},
};

class InputFaultTest : public ::testing::TestWithParam<InputFault> {};

TEST_P(InputFaultTest, LoadIsRefusedAndTheImageReset) {
    TempDir dir;
    std::unique_ptr<FifoFeeder> feeder;
    BMPImage image;
    Prepare(image);
    EXPECT_FALSE(image.LoadFile(GetParam().make(dir, feeder).c_str()));
    EXPECT_EQ(image.LastReadError(), GetParam().error);
    ExpectReset(image);
}

TEST_P(InputFaultTest, ExportReturnsOneAndLeavesAnExistingOutputAlone) {
    TempDir dir;
    std::unique_ptr<FifoFeeder> feeder;
    const std::string output = dir.File("precious.bmp");
    const std::vector<uint8_t> precious = Striped(3, 3);
    WriteBytes(output, precious);
    EXPECT_EQ(Frame(GetParam().make(dir, feeder), output), LoadFailed);
    EXPECT_EQ(ReadBytes(output), precious);
}

INSTANTIATE_TEST_SUITE_P(Faults, InputFaultTest, ::testing::ValuesIn(InputFaults),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(InputFault, AFailedLoadFromTheOutputPathLeavesThatFileAsItWas) {
    TempDir dir;
    const std::string path = dir.File("both.bmp");
    const std::vector<uint8_t> unsupported = BmpBuilder().BitCount(2).Build();
    WriteBytes(path, unsupported);
    EXPECT_EQ(Frame(path, path), LoadFailed);
    EXPECT_EQ(ReadBytes(path), unsupported);
}

TEST(InputFault, PermissionsRefuseAnOrdinaryUser) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any file; UnreadableFile covers an unreadable input";
    TempFile input(Striped(2, 2));
    ASSERT_EQ(chmod(input.Path(), 0), 0);
    BMPImage image;
    EXPECT_FALSE(image.LoadFile(input.Path()));
    EXPECT_EQ(image.LastReadError(), ReadError::OpenFailed);
}

// A pipe delivering a whole file a few bytes at a time reads like the file:
// short reads from the system are not the end of the file.
TEST(InputFault, APipeFedInSmallPiecesLoadsLikeTheFile) {
    TempDir dir;
    const std::vector<uint8_t> bytes = Striped(5, 4);
    WriteBytes(dir.File("file.bmp"), bytes);
    FifoFeeder feeder(dir.File("pipe.bmp"), bytes, 3);
    BMPImage fromPipe;
    BMPImage fromFile;
    ASSERT_TRUE(fromPipe.LoadFile(dir.File("pipe.bmp").c_str()));
    ASSERT_TRUE(fromFile.LoadFile(dir.File("file.bmp").c_str()));
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(fromPipe.PixelAt(x, y), fromFile.PixelAt(x, y));
}

// The input ends after its bottom row, as if cut while being read: the load
// is accepted, the missing rows are white with alpha 0, and the export frames
// and writes what arrived.
TEST(InputFault, AnInputThatEndsAmidTheRowsIsAcceptedWithWhiteRows) {
    TempDir dir;
    const int32_t rowBytes = 12;  // three 3-byte pixels and 3 bytes of padding
    const std::vector<uint8_t> cut = BmpBuilder().BitCount(24).Size(3, 3).Rows(StripedRows(3, 3))
                                         .TruncateTo(54 + rowBytes + 5).Build();
    {
        FifoFeeder feeder(dir.File("pipe.bmp"), cut, 4);
        BMPImage image;
        ASSERT_TRUE(image.LoadFile(dir.File("pipe.bmp").c_str()));
        EXPECT_EQ(image.PixelAt(0, 2), (ColorQuad{0, 100, 200, 0}));
        EXPECT_EQ(image.PixelAt(0, 1), WhiteTransparent);
        EXPECT_EQ(image.PixelAt(2, 0), WhiteTransparent);
    }
    FifoFeeder feeder(dir.File("pipe.bmp"), cut, 4);
    ASSERT_EQ(Frame(dir.File("pipe.bmp"), dir.File("out.bmp")), Framed);
    BMPImage written;
    ASSERT_TRUE(written.LoadFile(dir.File("out.bmp").c_str()));
    EXPECT_EQ(written.PixelAt(1, 2), (ColorQuad{0, 100, 200, 0}));
    EXPECT_EQ(written.PixelAt(1, 1), WhiteTransparent);
}

// Destinations that cannot take the file. The export still reports 999 (it
// only reports whether the input loaded), SaveFile reports false.
struct OutputFault {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    WriteError error;
    bool createsNothing;
};

const OutputFault OutputFaults[] = {
    // sysfs takes no new files, even from root: a read-only directory.
    {"ReadOnlyDirectory", [](const TempDir&) { return std::string("/sys/velmora-out.bmp"); }, WriteError::OpenFailed,
     true},
    {"ParentIsAFile",
     [](const TempDir& dir) {
         WriteBytes(dir.File("file"), {1, 2, 3});
         return dir.File("file/out.bmp");
     },
     WriteError::OpenFailed, true},
    {"MissingDirectory", [](const TempDir& dir) { return dir.File("no/such/dir/out.bmp"); }, WriteError::OpenFailed,
     true},
    {"ADirectory", [](const TempDir& dir) { return dir.Path(); }, WriteError::OpenFailed, false},
    {"EmptyPath", [](const TempDir&) { return std::string(); }, WriteError::OpenFailed, true},
    // A device that is always full: a small file fails when it is flushed at
    // the close, a large one at its first block of rows.
    {"DeviceFull", [](const TempDir&) { return std::string("/dev/full"); }, WriteError::CloseFailed, false},
};

class OutputFaultTest : public ::testing::TestWithParam<OutputFault> {};

TEST_P(OutputFaultTest, SaveReportsTheFailure) {
    TempDir dir;
    const std::string output = GetParam().make(dir);
    TempFile input(Striped(4, 3));
    BMPImage image;
    ASSERT_TRUE(image.LoadFile(input.Path()));
    EXPECT_FALSE(image.SaveFile(output.c_str()));
    EXPECT_EQ(image.LastWriteError(), GetParam().error);
    EXPECT_NE(image.LastSystemError(), 0);
    if (GetParam().createsNothing && !output.empty()) {
        EXPECT_FALSE(FileExists(output));
    }
}

TEST_P(OutputFaultTest, ExportStillReports999) {
    TempDir dir;
    const std::string output = GetParam().make(dir);
    TempFile input(Striped(4, 3));
    EXPECT_EQ(Frame(input.Path(), output), Framed);
    if (GetParam().createsNothing && !output.empty()) {
        EXPECT_FALSE(FileExists(output));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, OutputFaultTest, ::testing::ValuesIn(OutputFaults),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(OutputFault, ALargeImageOnAFullDeviceFailsAtItsRows) {
    TempFile input(Striped(300, 200));
    BMPImage image;
    ASSERT_TRUE(image.LoadFile(input.Path()));
    EXPECT_FALSE(image.SaveFile("/dev/full"));
    EXPECT_EQ(image.LastWriteError(), WriteError::WriteFailed);
    EXPECT_EQ(image.LastSystemError(), ENOSPC);
}

TEST(OutputFault, BothPathsNullReturnOne) { EXPECT_EQ(LoadedBMPFFrame()(nullptr, nullptr), LoadFailed); }

TEST(OutputFault, NullOutputAfterAGoodLoadReturns999) {
    TempFile input(Striped(2, 2));
    EXPECT_EQ(LoadedBMPFFrame()(Wide(input.Path()).c_str(), nullptr), Framed);
}
}  // namespace
