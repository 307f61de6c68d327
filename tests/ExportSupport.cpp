#include "ExportSupport.h"

#include <dlfcn.h>

#include <algorithm>
#include <stdexcept>

FrameFunction LoadedBMPFFrame() {
    static const FrameFunction frame = [] {
        void* library = dlopen(VELMORA_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) throw std::runtime_error(dlerror());
        void* symbol = dlsym(library, "BMPFFrame");
        if (symbol == nullptr) throw std::runtime_error(dlerror());
        return reinterpret_cast<FrameFunction>(symbol);
    }();
    return frame;
}

std::wstring Wide(const std::string& path) {
    std::wstring wide;
    for (size_t i = 0; i < path.size();) {
        const uint8_t lead = uint8_t(path[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
        for (size_t k = 1; k < length; ++k) code = code << 6 | (uint8_t(path[i + k]) & 0x3Fu);
        wide.push_back(wchar_t(code));
        i += length;
    }
    return wide;
}

bool InsideCircle(const BMPImage& image, int32_t x, int32_t y) {
    const int64_t cx = image.Width() / 2;
    const int64_t cy = image.Height() / 2;
    const int64_t radius = std::max(cx, cy);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

void FrameByDefinition(BMPImage& image) {
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x) {
            if (InsideCircle(image, x, y)) continue;
            ColorQuad& pixel = image.PixelAt(x, y);
            pixel.red = pixel.green = pixel.blue = 0;
        }
}
