#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

std::string NewFolder() {
    static std::mt19937_64 random{std::random_device{}()};
    for (;;) {
        fs::path candidate = fs::temp_directory_path() / ("velmora-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) return candidate.string();
    }
}
}  // namespace

std::vector<uint8_t> BmpBuilder::Build() const {
    std::vector<uint8_t> info;
    PutU32(info, biSize);
    PutU32(info, uint32_t(biWidth));
    PutU32(info, uint32_t(biHeight));
    PutU16(info, 1);
    PutU16(info, biBitCount);
    PutU32(info, biCompression);
    PutU32(info, uint32_t(rows.size()));
    PutU32(info, uint32_t(biXPelsPerMeter));
    PutU32(info, uint32_t(biYPelsPerMeter));
    PutU32(info, 0);
    PutU32(info, 0);
    if (biSize > 40) info.resize(biSize, 0);

    std::vector<uint8_t> body = info;
    for (const ColorQuad& entry : palette) {
        body.push_back(entry.blue);
        body.push_back(entry.green);
        body.push_back(entry.red);
        body.push_back(entry.alpha);
    }
    for (uint32_t mask : masks) PutU32(body, mask);
    const uint32_t offset = offsetSet ? bfOffBits : uint32_t(14 + body.size());
    if (offset > 14 + body.size()) body.resize(offset - 14, 0);
    body.insert(body.end(), rows.begin(), rows.end());

    std::vector<uint8_t> file;
    PutU16(file, bfType);
    PutU32(file, uint32_t(14 + body.size()));
    PutU16(file, 0);
    PutU16(file, 0);
    PutU32(file, offset);
    file.insert(file.end(), body.begin(), body.end());
    if (truncateTo < file.size()) file.resize(truncateTo);
    return file;
}

TempFile::TempFile(const std::vector<uint8_t>& bytes, const std::string& name)
    : folder(NewFolder()), path(folder + "/" + name) {
    WriteBytes(path, bytes);
}

TempFile::~TempFile() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

TempDir::TempDir() : path(NewFolder()) {}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) { return fs::exists(path); }
