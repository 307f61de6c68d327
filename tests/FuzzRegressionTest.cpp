// Replays every input that once made a fuzz target fail, and the fuzz seeds,
// through load, frame and save, with the checks the load-frame-save target
// makes. The folders may hold nothing but a README.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "ExportSupport.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> ReplayFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"regressions", "seeds"}) {
        const fs::path path = fs::path(VELMORA_FUZZ_DIR) / folder;
        if (!fs::is_directory(path)) continue;
        for (const auto& entry : fs::directory_iterator(path))
            if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

ColorQuad AfterSave(const BMPImage& image, ColorQuad pixel) {
    switch (image.bitDepth) {
    case 1:
    case 4:
    case 8: return image.PaletteColor(image.NearestPaletteIndex(pixel));
    case 16: return ColorQuad{uint8_t(pixel.blue & 0xF8), uint8_t(pixel.green & 0xF8), uint8_t(pixel.red & 0xF8), 0};
    case 24: return ColorQuad{pixel.blue, pixel.green, pixel.red, 0};
    default: return pixel;
    }
}

void Replay(const std::string& file, const TempDir& dir) {
    BMPImage image;
    if (!image.LoadFile(file.c_str())) {
        if (image.LastReadError() != ReadError::NotBmp) {
            EXPECT_EQ(image.bitDepth, 1);
            EXPECT_EQ(image.Width(), 1);
            EXPECT_EQ(image.Height(), 1);
        }
        EXPECT_EQ(LoadedBMPFFrame()(Wide(file).c_str(), nullptr), 1);
        return;
    }
    ApplyCircularFrame(image);
    const std::string output = dir.File("replayed.bmp");
    ASSERT_TRUE(image.SaveFile(output.c_str()));
    BMPImage again;
    ASSERT_TRUE(again.LoadFile(output.c_str()));
    ASSERT_EQ(again.Width(), image.Width());
    ASSERT_EQ(again.Height(), image.Height());
    EXPECT_EQ(again.bitDepth, image.bitDepth);
    int32_t wrong = 0;
    for (int32_t x = 0; x < image.Width(); ++x)
        for (int32_t y = 0; y < image.Height(); ++y) wrong += again.PixelAt(x, y) != AfterSave(image, image.PixelAt(x, y));
    EXPECT_EQ(wrong, 0) << "pixels that did not survive their own save";
    EXPECT_EQ(LoadedBMPFFrame()(Wide(file).c_str(), Wide(output).c_str()), 999);
}
}  // namespace

TEST(FuzzRegression, EveryRecordedInputLoadsFramesAndSavesCleanly) {
    const std::vector<std::string> files = ReplayFiles();
    TempDir dir;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Replay(file, dir);
    }
    RecordProperty("replayed", int(files.size()));
}
