// Tells whether two BMP files hold the same colours, as the library reads
// them: the benchmark's check that every tool did the same job.
//
//   bmpbench_compare EXPECTED.bmp ACTUAL.bmp
// prints the actual file's depth and the number of pixels whose blue, green
// or red differ (alpha is not compared: not every tool keeps it). For a 16-bit
// expected file only the top five bits of each channel count: this library
// keeps five bits per channel, other tools widen them in their own ways.
#include <cstdint>
#include <cstdio>

#include "BMPImage.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s EXPECTED.bmp ACTUAL.bmp\n", argv[0]);
        return 2;
    }
    BMPImage expected;
    BMPImage actual;
    if (!expected.LoadFile(argv[1]) || !actual.LoadFile(argv[2])) {
        std::fprintf(stderr, "cannot load %s\n", expected.width > 1 ? argv[2] : argv[1]);
        return 1;
    }
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height()) {
        std::printf("depth %d size-differs\n", int(actual.bitDepth));
        return 1;
    }
    const int shift = expected.bitDepth == 16 ? 3 : 0;
    int64_t differing = 0;
    for (int32_t x = 0; x < expected.Width(); ++x) {
        for (int32_t y = 0; y < expected.Height(); ++y) {
            const ColorQuad a = expected.columns[x][y];
            const ColorQuad b = actual.columns[x][y];
            differing += (a.blue >> shift) != (b.blue >> shift) || (a.green >> shift) != (b.green >> shift) ||
                         (a.red >> shift) != (b.red >> shift);
        }
    }
    std::printf("depth %d differing %lld\n", int(actual.bitDepth), static_cast<long long>(differing));
    return differing == 0 ? 0 : 1;
}
