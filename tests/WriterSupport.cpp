#include "WriterSupport.h"

uint32_t U16At(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t{bytes.at(offset)} | uint32_t{bytes.at(offset + 1)} << 8;
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return U16At(bytes, offset) | U16At(bytes, offset + 2) << 16;
}

int32_t I32At(const std::vector<uint8_t>& bytes, size_t offset) { return int32_t(U32At(bytes, offset)); }

BMPImage MakeImage(int32_t depth, int32_t width, int32_t height,
                   const std::function<ColorQuad(int32_t x, int32_t y)>& colour) {
    BMPImage image;
    EXPECT_TRUE(image.SetDepth(depth));
    EXPECT_TRUE(image.SetDimensions(width, height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) image.PixelAt(x, y) = colour(x, y);
    return image;
}

std::vector<uint8_t> SaveToBytes(BMPImage& image, const TempDir& dir, const std::string& name) {
    const std::string path = dir.File(name);
    if (!image.SaveFile(path.c_str())) {
        ADD_FAILURE() << "SaveFile failed: " << Message(image.LastWriteError());
        return {};
    }
    return ReadBytes(path);
}

::testing::AssertionResult SamePixels(const BMPImage& expected, const BMPImage& actual) {
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height())
        return ::testing::AssertionFailure() << "size " << actual.Width() << " x " << actual.Height() << ", expected "
                                             << expected.Width() << " x " << expected.Height();
    for (int32_t y = 0; y < expected.Height(); ++y) {
        for (int32_t x = 0; x < expected.Width(); ++x) {
            const ColorQuad a = expected.PixelAt(x, y);
            const ColorQuad b = actual.PixelAt(x, y);
            if (a != b)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is bgra " << int{b.blue} << " " << int{b.green} << " "
                       << int{b.red} << " " << int{b.alpha} << ", expected " << int{a.blue} << " " << int{a.green}
                       << " " << int{a.red} << " " << int{a.alpha};
        }
    }
    return ::testing::AssertionSuccess();
}

ColorQuad ColourSource::Next() {
    // xorshift32: cheap, and every bit of the result varies.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return ColorQuad{uint8_t(state), uint8_t(state >> 8), uint8_t(state >> 16), uint8_t(state >> 24)};
}
