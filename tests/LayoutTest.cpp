#include <gtest/gtest.h>

#include "Headers.h"
#include "RowSize.h"

TEST(Headers, NewRecordsHoldTheirDefaults) {
    const FileHeader file;
    EXPECT_EQ(file.bfType, 19778);
    EXPECT_EQ(file.bfReserved1, 0);
    EXPECT_EQ(file.bfReserved2, 0);
    const InfoHeader info;
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biCompression, 0u);
    EXPECT_EQ(info.biXPelsPerMeter, 3780);
    EXPECT_EQ(info.biYPelsPerMeter, 3780);
    EXPECT_EQ(info.biClrUsed, 0u);
    EXPECT_EQ(info.biClrImportant, 0u);
}

TEST(Headers, SignatureIsBThenMOnDisk) {
    EXPECT_EQ(BmpSignature & 0xFF, 'B');
    EXPECT_EQ(BmpSignature >> 8, 'M');
}

struct RowSizeCase {
    int32_t width;
    int64_t sizes[6];  // at depths 1, 4, 8, 16, 24, 32
};

class RowSizeTable : public testing::TestWithParam<RowSizeCase> {};

TEST_P(RowSizeTable, RoundsPixelBytesUpToWholeWords) {
    const int32_t depths[6] = {1, 4, 8, 16, 24, 32};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(RowSize(depths[i], GetParam().width), GetParam().sizes[i])
            << "width " << GetParam().width << " depth " << depths[i];
}

INSTANTIATE_TEST_SUITE_P(Layout, RowSizeTable,
                         testing::Values(RowSizeCase{1, {4, 4, 4, 4, 4, 4}}, RowSizeCase{2, {4, 4, 4, 4, 8, 8}},
                                         RowSizeCase{3, {4, 4, 4, 8, 12, 12}},
                                         RowSizeCase{5, {4, 4, 8, 12, 16, 20}},
                                         RowSizeCase{9, {4, 8, 12, 20, 28, 36}},
                                         RowSizeCase{33, {8, 20, 36, 68, 100, 132}}));

TEST(Layout, RowSizeMatchesTheByteByByteRuleForSmallWidths) {
    for (int32_t depth : {1, 4, 8, 16, 24, 32})
        for (int32_t width = 1; width <= 300; ++width) {
            int64_t bytes = (int64_t{depth} * width + 7) / 8;
            while (bytes % 4 != 0) ++bytes;
            ASSERT_EQ(RowSize(depth, width), bytes) << "depth " << depth << " width " << width;
        }
}

TEST(Layout, RowSizeDoesNotOverflowForTheWidestRows) {
    EXPECT_EQ(RowSize(32, INT32_MAX), int64_t{INT32_MAX} * 4);
    EXPECT_EQ(RowSize(24, INT32_MAX), (int64_t{INT32_MAX} * 3 + 3) / 4 * 4);
    EXPECT_EQ(RowSize(1, INT32_MAX), int64_t{1} << 28);
}
