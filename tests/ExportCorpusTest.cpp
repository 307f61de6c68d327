#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "BMPImage.h"
#include "ExportSupport.h"
#include "TestSupport.h"

namespace {
constexpr int32_t Framed = 999;

struct CorpusFile {
    std::string path;  // below the corpus directory
};

// Every file the manifests say this library loads.
std::vector<CorpusFile> LoadableCorpusFiles() {
    std::vector<CorpusFile> files;
    for (const std::string folder : {"bmpsuite", "peers"}) {
        std::ifstream manifest(std::string(VELMORA_CORPUS_DIR) + "/" + folder + "/manifest.tsv");
        std::string line;
        std::getline(manifest, line);  // column names
        while (std::getline(manifest, line)) {
            std::istringstream fields(line);
            std::string file, expect;
            std::getline(fields, file, '\t');
            std::getline(fields, expect, '\t');
            if (expect == "loads") files.push_back({folder + "/" + file});
        }
    }
    return files;
}

void PrintTo(const CorpusFile& file, std::ostream* out) { *out << file.path; }

std::string TestName(const std::string& path) {
    std::string name;
    for (char c : path) name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return name;
}

class ExportCorpus : public ::testing::TestWithParam<CorpusFile> {};

// The output must hold, at the input's depth, the input's pixels inside the
// circle and black (at depths 1, 4 and 8: the palette entry nearest to black)
// outside. "The input's pixels" are those the input has once saved at its
// depth, which differ from the loaded ones only at 16 bits, where the file's
// masks may keep other bits than the 5-6-5 layout written.
TEST_P(ExportCorpus, KeepsTheCircleAndBlackensTheRest) {
    const std::string input = std::string(VELMORA_CORPUS_DIR) + "/" + GetParam().path;
    TempDir dir;
    const std::string output = dir.File("framed.bmp");
    const std::string unframed = dir.File("unframed.bmp");
    ASSERT_EQ(LoadedBMPFFrame()(Wide(input).c_str(), Wide(output).c_str()), Framed);

    BMPImage original;
    ASSERT_TRUE(original.LoadFile(input.c_str()));
    ASSERT_TRUE(original.SaveFile(unframed.c_str()));
    BMPImage saved;
    ASSERT_TRUE(saved.LoadFile(unframed.c_str()));
    BMPImage framed;
    ASSERT_TRUE(framed.LoadFile(output.c_str()));

    ASSERT_EQ(framed.bitDepth, original.bitDepth);
    ASSERT_EQ(framed.Width(), original.Width());
    ASSERT_EQ(framed.Height(), original.Height());
    const bool paletted = framed.bitDepth <= 8;
    const ColorQuad nearestBlack = framed.PaletteColor(framed.NearestPaletteIndex(ColorQuad{0, 0, 0, 0}));
    int32_t mismatches = 0;
    for (int32_t y = 0; y < framed.Height() && mismatches < 5; ++y)
        for (int32_t x = 0; x < framed.Width() && mismatches < 5; ++x) {
            const ColorQuad got = framed.PixelAt(x, y);
            ColorQuad want = saved.PixelAt(x, y);
            if (!InsideCircle(framed, x, y)) {
                want = paletted ? nearestBlack : ColorQuad{0, 0, 0, want.alpha};
            } else if (framed.bitDepth != 16) {
                EXPECT_EQ(got, original.PixelAt(x, y)) << "at (" << x << ", " << y << ")";
            }
            if (got != want) {
                ++mismatches;
                ADD_FAILURE() << "at (" << x << ", " << y << "): got " << int(got.red) << "," << int(got.green)
                              << "," << int(got.blue) << "," << int(got.alpha) << " want " << int(want.red) << ","
                              << int(want.green) << "," << int(want.blue) << "," << int(want.alpha);
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Loadable, ExportCorpus, ::testing::ValuesIn(LoadableCorpusFiles()),
    [](const auto& testInfo) { return TestName(testInfo.param.path); });
}  // namespace
