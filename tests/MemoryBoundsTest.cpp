// Tiny files that declare huge images: an accepted one may cost the memory of
// its pixels and little more, a refused one almost nothing. Each load runs in
// a child process so that its peak resident size can be read on its own.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "BMPImage.h"
#include "TestSupport.h"

namespace {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

constexpr int64_t MiB = int64_t{1} << 20;
// Code, the test binary's own data, the reader's block buffers.
constexpr int64_t Overhead = 24 * MiB;

struct ChildLoad {
    ReadError error;
    int64_t peakBytes;
};

// Loads the file in a child; its verdict comes back as the exit status and its
// peak resident size from wait4, which reports that child alone.
ChildLoad LoadInChild(const std::string& path) {
    const pid_t child = fork();
    if (child == 0) {
        BMPImage image;
        image.LoadFile(path.c_str());
        _exit(int(image.LastReadError()));
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "the child loading " << path << " did not finish normally";
        return {ReadError::OpenFailed, 0};
    }
    return {ReadError(WEXITSTATUS(status)), int64_t{usage.ru_maxrss} * 1024};
}

// What a child costs that loads a 1 x 1 image: the fork of this process.
int64_t BaselineBytes(const TempDir& dir) {
    WriteBytes(dir.File("small.bmp"), BmpBuilder().Build());
    return LoadInChild(dir.File("small.bmp")).peakBytes;
}

struct Declared {
    const char* name;
    uint16_t depth;
    int32_t width;
    int32_t height;
    ReadError error;
};

const Declared Cases[] = {
    {"LargestArea", 32, 16384, 16384, ReadError::None},  // 2^28 pixels: 1 GiB
    {"AreaOneRowOver", 32, 16384, 16385, ReadError::TooLarge},
    {"LongestRowAt32Bits", 32, 67108863, 1, ReadError::None},  // 32 x width just below 2^31
    {"RowOneOverAt32Bits", 32, 67108864, 1, ReadError::TooLarge},
    {"RowOverAt8Bits", 8, 268435456, 1, ReadError::TooLarge},
    {"TallestColumn", 24, 1, 268435456, ReadError::None},
    {"ColumnOver", 24, 1, 268435457, ReadError::TooLarge},
    {"Widest", 8, INT32_MAX, INT32_MAX, ReadError::TooLarge},
    {"NegativeHeight", 24, 16384, -16384, ReadError::BadSize},
};

class MemoryBounds : public ::testing::TestWithParam<Declared> {
protected:
    void SetUp() override {
        if (Sanitized) GTEST_SKIP() << "a sanitizer's shadow memory makes resident sizes meaningless";
    }
};

TEST_P(MemoryBounds, PeakMemoryFollowsTheDeclaredSize) {
    const Declared& declared = GetParam();
    TempDir dir;
    const int64_t baseline = BaselineBytes(dir);
    // Headers alone: every pixel row is missing from the file.
    WriteBytes(dir.File("huge.bmp"), BmpBuilder().BitCount(declared.depth).Size(declared.width, declared.height)
                                         .Palette(std::vector<ColorQuad>(declared.depth <= 8 ? 2 : 0))
                                         .Build());
    const ChildLoad load = LoadInChild(dir.File("huge.bmp"));
    EXPECT_EQ(load.error, declared.error);
    const int64_t extra = load.peakBytes - baseline;
    if (declared.error == ReadError::None) {
        // The pixels, and the table that points at each column.
        const int64_t imageBytes = int64_t{declared.width} * declared.height * 4 +
                                   int64_t{declared.width} * int64_t{sizeof(ColorQuad*)};
        EXPECT_LE(extra, imageBytes + Overhead) << "peak " << load.peakBytes / MiB << " MiB";
    } else {
        EXPECT_LE(extra, 4 * MiB) << "a refusal allocated " << extra / MiB << " MiB";
    }
}

INSTANTIATE_TEST_SUITE_P(Declared, MemoryBounds, ::testing::ValuesIn(Cases),
                         [](const auto& param) { return std::string(param.param.name); });
}  // namespace

// The suite's own huge file: 3,000,000 x 2,000,000 pixels in 24 KB.
TEST(MemoryBoundsCorpus, ReallyBigIsRefusedBeforeAnyPixelMemory) {
    BMPImage image;
    EXPECT_FALSE(image.LoadFile(VELMORA_CORPUS_DIR "/bmpsuite/b/reallybig.bmp"));
    EXPECT_EQ(image.LastReadError(), ReadError::TooLarge);
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
}
