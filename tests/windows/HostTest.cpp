#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CorpusManifest.h"
#include "LoadedDll.h"

namespace {
using FrameFunction = int32_t (*)(const wchar_t*, const wchar_t*);
namespace fs = std::filesystem;

// void (*)() matches every function type: going through it states that the
// export's real type is known.
FrameFunction FindFrame(HMODULE module, const char* nameOrOrdinal) {
    return reinterpret_cast<FrameFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, nameOrOrdinal)));
}

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private folder for outputs, removed with everything in it.
class OutputFolder {
public:
    OutputFolder() : path(fs::temp_directory_path() / ("velmora-host-" + std::to_string(GetCurrentProcessId()))) {
        fs::create_directories(path);
    }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path File(const std::string& name) const { return path / name; }

private:
    fs::path path;
};

const std::string CorpusDir = VELMORA_CORPUS_DIR;

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll.Module(), nullptr) << "LoadLibraryW failed with error " << GetLastError();
        frame = FindFrame(dll.Module(), "BMPFFrame");
        ASSERT_NE(frame, nullptr);
    }

    // Frames every supported corpus file into the output folder; returns the names framed.
    std::vector<std::string> FrameCorpus() {
        std::vector<std::string> framed;
        for (const std::string& file : SupportedCorpusFiles(CorpusDir)) {
            const std::wstring input = WidenAscii(CorpusDir + "/" + file);
            const fs::path output = outputs.File(FramedName(file));
            EXPECT_EQ(frame(input.c_str(), output.c_str()), 999) << file;
            framed.push_back(FramedName(file));
        }
        return framed;
    }

    LoadedDll dll;
    FrameFunction frame = nullptr;
    OutputFolder outputs;
};

TEST_F(HostTest, FindsBMPFFrameByNameAndByOrdinal1) {
    EXPECT_EQ(FindFrame(dll.Module(), MAKEINTRESOURCEA(1)), frame);
    EXPECT_EQ(FindFrame(dll.Module(), MAKEINTRESOURCEA(2)), nullptr);
}

TEST_F(HostTest, ExportsNothingElse) {
    const auto* base = reinterpret_cast<const uint8_t*>(dll.Module());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    EXPECT_EQ(exports->Base, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
    ASSERT_EQ(exports->NumberOfNames, 1u);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "BMPFFrame");
}

TEST_F(HostTest, FramesEverySupportedCorpusFile) {
    const std::vector<std::string> framed = FrameCorpus();
    EXPECT_GT(framed.size(), 50u);
    for (const std::string& name : framed) {
        const std::vector<char> bytes = ReadAll(outputs.File(name));
        ASSERT_GE(bytes.size(), 54u) << name;
        EXPECT_EQ(std::string(bytes.data(), 2), "BM") << name;
    }
}

// The outputs of the native Linux build of the same files, named as
// velmora_frame_corpus names them, come in through VELMORA_REFERENCE_DIR.
TEST_F(HostTest, FramedBytesEqualTheLinuxBuild) {
    const char* referenceDir = std::getenv("VELMORA_REFERENCE_DIR");
    if (referenceDir == nullptr) GTEST_SKIP() << "VELMORA_REFERENCE_DIR is not set";
    for (const std::string& name : FrameCorpus()) {
        const std::vector<char> reference = ReadAll(fs::path(referenceDir) / name);
        ASSERT_FALSE(reference.empty()) << "no reference output for " << name;
        EXPECT_TRUE(ReadAll(outputs.File(name)) == reference) << name << " differs";
    }
}

TEST_F(HostTest, ReturnsOneAndWritesNothingWhenTheInputDoesNotLoad) {
    const fs::path output = outputs.File("out.bmp");
    const std::wstring missing = WidenAscii(CorpusDir + "/no-such-file.bmp");
    EXPECT_EQ(frame(missing.c_str(), output.c_str()), 1);
    EXPECT_EQ(frame(nullptr, output.c_str()), 1);
    EXPECT_EQ(frame(nullptr, nullptr), 1);
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(HostTest, ReturnsNineHundredNinetyNineForANullOutput) {
    const std::wstring input = WidenAscii(CorpusDir + "/bmpsuite/g/pal8.bmp");
    EXPECT_EQ(frame(input.c_str(), nullptr), 999);
}
}  // namespace
