// Frames one file through the library as bmpframe does (LoadFile,
// ApplyCircularFrame, SaveFile): the benchmark's stand-in for the tool where
// the tool is not built, and the program to profile.
//
//   bmpbench_frame INPUT.bmp OUTPUT.bmp
#include <cstdio>

#include "BMPImage.h"
#include "CircularFrame.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.bmp OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    BMPImage image;
    if (!image.LoadFile(argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], Message(image.LastReadError()));
        return 1;
    }
    ApplyCircularFrame(image);
    if (!image.SaveFile(argv[2])) {
        std::fprintf(stderr, "%s: %s\n", argv[2], Message(image.LastWriteError()));
        return 1;
    }
    return 0;
}
