#include "VelmoraBMPFilterFrame.h"

#include "BMPImage.h"
#include "CircularFrame.h"
#include "NarrowPath.h"

namespace {
constexpr int32_t LoadFailedResult = 1;
constexpr int32_t FramedResult = 999;

int32_t FrameFile(const wchar_t* inputPath, const wchar_t* outputPath, bool& loaded) {
    BMPImage image;
    const auto input = NarrowPath(inputPath);
    if (!image.LoadFile(input.get())) return LoadFailedResult;
    loaded = true;
    ApplyCircularFrame(image);
    const auto output = NarrowPath(outputPath);  // only now: a failed load never looks at it
    image.SaveFile(output.get());
    return FramedResult;
}
}  // namespace

extern "C" VELMORA_API int32_t BMPFFrame(const wchar_t* inputPath, const wchar_t* outputPath) {
    bool loaded = false;
    try {
        return FrameFile(inputPath, outputPath, loaded);
    } catch (...) {  // bad_alloc, say: before the load succeeded it is a load failure
        return loaded ? FramedResult : LoadFailedResult;
    }
}
