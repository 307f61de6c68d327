// Frames every supported corpus file through BMPFFrame into an output folder,
// so that the outputs of builds for different platforms can be compared.
// Usage: velmora_frame_corpus <corpus folder> <existing output folder>

#include <cstdio>
#include <exception>
#include <string>

#include "CorpusManifest.h"
#include "VelmoraBMPFilterFrame.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora_frame_corpus <corpus folder> <output folder>\n");
        return 2;
    }
    try {
        const std::string corpusDir = argv[1];
        const std::string outputDir = argv[2];
        int32_t framed = 0;
        int32_t failed = 0;
        for (const std::string& file : SupportedCorpusFiles(corpusDir)) {
            const std::wstring input = WidenAscii(corpusDir + "/" + file);
            const std::wstring output = WidenAscii(outputDir + "/" + FramedName(file));
            const int32_t result = BMPFFrame(input.c_str(), output.c_str());
            if (result == 999) {
                ++framed;
            } else {
                ++failed;
                std::fprintf(stderr, "%s: BMPFFrame returned %d\n", file.c_str(), int(result));
            }
        }
        std::printf("framed %d files, %d failed\n", int(framed), int(failed));
        return failed == 0 && framed > 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
}
