// Frames one file through the library, as bmpframe does: the benchmark's
// stand-in for the tool where the tool is not built.
//
//   bmpbench_frame INPUT.bmp OUTPUT.bmp
#include <cstdio>

#include "FrameStream.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.bmp OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    const FrameFileResult result = FrameFile(argv[1], argv[2]);
    if (result.readError != ReadError::None) {
        std::fprintf(stderr, "%s: %s\n", argv[1], Message(result.readError));
        return 1;
    }
    if (result.writeError != WriteError::None) {
        std::fprintf(stderr, "%s: %s\n", argv[2], Message(result.writeError));
        return 1;
    }
    return 0;
}
