#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "BMPImage.h"
#include "CorpusSupport.h"
#include "Limits.h"

namespace {
std::vector<ManifestRow> AllRows() {
    std::vector<ManifestRow> rows = ReadManifest("bmpsuite");
    const std::vector<ManifestRow> peers = ReadManifest("peers");
    rows.insert(rows.end(), peers.begin(), peers.end());
    return rows;
}

std::string CaseName(const testing::TestParamInfo<ManifestRow>& info) {
    std::string name = info.param.suite + "_" + info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// Why a refused file is refused, from the words of its note; the header
// checks run compression first, then depth, then size, then the limits.
ReadError ExpectedRefusal(const std::string& note) {
    auto says = [&](const char* words) { return note.find(words) != std::string::npos; };
    if (says("pixel limit")) return ReadError::TooLarge;
    if (says("compression") || says("RLE") || says("BI_BITFIELDS")) return ReadError::UnsupportedCompression;
    if (says("bit count")) return ReadError::UnsupportedDepth;
    if (says("negative")) return ReadError::BadSize;
    return ReadError::None;  // a note this test cannot read: fails below
}

testing::AssertionResult MatchesReference(const BMPImage& image, const PpmImage& reference, bool topFiveBits) {
    if (image.Width() != reference.width || image.Height() != reference.height)
        return testing::AssertionFailure() << "size " << image.Width() << " x " << image.Height()
                                           << ", reference " << reference.width << " x " << reference.height;
    const int shift = topFiveBits ? 3 : 0;
    int64_t mismatches = 0;
    std::string first;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const ColorQuad pixel = image.PixelAt(x, y);
            const uint8_t* rgb = &reference.rgb[(size_t(y) * size_t(reference.width) + size_t(x)) * 3];
            const bool same = (pixel.red >> shift) == (rgb[0] >> shift) &&
                              (pixel.green >> shift) == (rgb[1] >> shift) && (pixel.blue >> shift) == (rgb[2] >> shift);
            if (same) continue;
            if (mismatches++ == 0)
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + "): rgb " + std::to_string(pixel.red) +
                        " " + std::to_string(pixel.green) + " " + std::to_string(pixel.blue) + ", reference " +
                        std::to_string(rgb[0]) + " " + std::to_string(rgb[1]) + " " + std::to_string(rgb[2]);
        }
    }
    if (mismatches == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << mismatches << " pixels differ, first at " << first;
}

// 16-bit channels are a field's top five bits times 8, and only 32-bit and
// palette pixels carry an alpha of their own.
testing::AssertionResult ChannelsFollowTheDepth(const BMPImage& image) {
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const ColorQuad pixel = image.PixelAt(x, y);
            if (image.bitDepth == 16 && ((pixel.red | pixel.green | pixel.blue) & 7) != 0)
                return testing::AssertionFailure() << "16-bit channel not a multiple of 8 at " << x << ", " << y;
            if ((image.bitDepth == 16 || image.bitDepth == 24) && pixel.alpha != 0)
                return testing::AssertionFailure() << "alpha " << int(pixel.alpha) << " at " << x << ", " << y;
        }
    }
    return testing::AssertionSuccess();
}

class CorpusReplay : public testing::TestWithParam<ManifestRow> {};

TEST_P(CorpusReplay, VerdictAndPixelsHoldAsTheManifestSays) {
    const ManifestRow& row = GetParam();
    SCOPED_TRACE(row.suite + "/" + row.file + " (" + row.note + ")");
    ASSERT_TRUE(row.expect == "loads" || row.expect == "refused") << "expect column: " << row.expect;

    BMPImage image;
    const bool loaded = image.LoadFile(CorpusPath(row, row.file).c_str());
    if (row.expect == "refused") {
        ASSERT_FALSE(loaded);
        EXPECT_EQ(image.LastReadError(), ExpectedRefusal(row.note)) << Message(image.LastReadError());
        EXPECT_EQ(image.bitDepth, 1);
        EXPECT_EQ(image.Width(), 1);
        EXPECT_EQ(image.Height(), 1);
        return;
    }

    ASSERT_TRUE(loaded) << Message(image.LastReadError());
    EXPECT_EQ(image.LastReadError(), ReadError::None);
    EXPECT_LE(int64_t{image.Width()} * image.Height(), Limits::MaxPixels);
    EXPECT_LE(int64_t{image.bitDepth} * image.Width(), Limits::MaxRowBits);
    EXPECT_TRUE(ChannelsFollowTheDepth(image));
    if (row.reference.empty()) return;

    ASSERT_TRUE(row.compare == "exact" || row.compare == "top5") << "compare column: " << row.compare;
    PpmImage reference;
    ASSERT_TRUE(ReadPpm(CorpusPath(row, row.reference), reference)) << row.reference;
    EXPECT_TRUE(MatchesReference(image, reference, row.compare == "top5"));
}

INSTANTIATE_TEST_SUITE_P(Manifest, CorpusReplay, testing::ValuesIn(AllRows()), CaseName);

TEST(CorpusManifest, ListsEveryCorpusFileOnce) {
    for (const char* suite : {"bmpsuite", "peers"}) {
        const std::vector<ManifestRow> rows = ReadManifest(suite);
        EXPECT_GE(rows.size(), 30u) << suite << ": manifest missing or cut short under " << CorpusDir();
        std::set<std::string> seen;
        for (const ManifestRow& row : rows) {
            EXPECT_TRUE(seen.insert(row.file).second) << "listed twice: " << row.file;
            std::ifstream file(CorpusPath(row, row.file), std::ios::binary);
            EXPECT_TRUE(file.good()) << row.suite << "/" << row.file;
        }
    }
}

TEST(CorpusManifest, TheReallyBigFileIsRefusedBeforeAllocating) {
    BMPImage image;
    EXPECT_FALSE(image.LoadFile((CorpusDir() + "/bmpsuite/b/reallybig.bmp").c_str()));
    EXPECT_EQ(image.LastReadError(), ReadError::TooLarge);
}
}  // namespace
