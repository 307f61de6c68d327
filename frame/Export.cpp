#include "VelmoraBMPFilterFrame.h"

#include "BMPImage.h"
#include "CircularFrame.h"
#include "FrameStream.h"
#include "NarrowPath.h"

namespace {
constexpr int32_t LoadFailedResult = 1;
constexpr int32_t FramedResult = 999;

int32_t FrameFile(const wchar_t* inputPath, const wchar_t* outputPath, bool& loaded) {
    const auto input = NarrowPath(inputPath);
    {
        FrameStream stream;  // the fast way, for the files it takes
        if (stream.Open(input.get())) {
            loaded = true;
            const auto output = NarrowPath(outputPath);
            if (!stream.IsInput(output.get())) {
                stream.WriteTo(output.get());
                return FramedResult;
            }
        }
    }
    BMPImage image;
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
