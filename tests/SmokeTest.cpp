#include <gtest/gtest.h>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "TestSupport.h"

TEST(Smoke, LoadsFramesAndSavesA24BitFile) {
    std::vector<uint8_t> rows;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) rows.insert(rows.end(), {10, 20, 30});
    TempFile input(BmpBuilder().BitCount(24).Size(4, 4).Rows(rows).Build());
    BMPImage image;
    ASSERT_TRUE(image.LoadFile(input.Path()));
    ApplyCircularFrame(image);
    EXPECT_EQ(image.PixelAt(0, 0), (ColorQuad{0, 0, 0, 0}));
    EXPECT_EQ(image.PixelAt(2, 2), (ColorQuad{10, 20, 30, 0}));
    TempDir dir;
    ASSERT_TRUE(image.SaveFile(dir.File("out.bmp").c_str()));
    BMPImage again;
    ASSERT_TRUE(again.LoadFile(dir.File("out.bmp").c_str()));
    EXPECT_EQ(again.PixelAt(3, 3), (ColorQuad{10, 20, 30, 0}));
}
