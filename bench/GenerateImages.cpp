// Writes the benchmark's test images, and the frame's mask as a PBM file for
// the general image tools, so that they cut exactly the same circle.
//
//   bmpbench_generate DEPTH WIDTH HEIGHT OUTPUT.bmp
//   bmpbench_generate mask WIDTH HEIGHT OUTPUT.pbm
//
// Images are written the way the library writes them (40-byte header, full
// palette, 16 bits as 5-6-5 with masks), with content that changes from pixel
// to pixel: gradients, rings and noise, so nothing compresses into a few runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

int64_t RowBytes(int32_t depth, int32_t width) { return (int64_t{depth} * width + 31) / 32 * 4; }

// A cheap hash of the position: the noise part of every pixel.
uint32_t Noise(int32_t x, int32_t y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

struct Colour {
    uint8_t blue, green, red;
};

Colour ColourAt(int32_t x, int32_t y, int32_t width, int32_t height) {
    const uint32_t n = Noise(x, y);
    const int64_t dx = x - width / 3;
    const int64_t dy = y - height / 2;
    const uint32_t ring = uint32_t((dx * dx + dy * dy) >> 9);
    return Colour{uint8_t(int64_t{x} * 255 / width + (n & 15)), uint8_t(ring + (n >> 8 & 7)),
                  uint8_t(int64_t{y} * 255 / height ^ (n >> 16 & 31))};
}

// Index into a palette of 2^depth entries: bands and rings with noise.
uint32_t IndexAt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t depth) {
    const Colour c = ColourAt(x, y, width, height);
    const uint32_t mix = uint32_t{c.blue} + c.green + c.red + (Noise(x, y) >> 24 & 3);
    return mix % (uint32_t{1} << depth);
}

// A palette that is not the standard one. Black is its last entry, so that a
// tool that blackens pixels with pure black needs no colour the palette lacks.
std::vector<uint8_t> PaletteBytes(int32_t depth) {
    std::vector<uint8_t> out;
    const uint32_t count = uint32_t{1} << depth;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        const uint32_t step = 255 * i / (count - 1);
        out.push_back(uint8_t(255 - step));
        out.push_back(uint8_t((step * 7 + 1) & 255));
        out.push_back(uint8_t(step ^ 0x5A));
        out.push_back(0);
    }
    for (int i = 0; i < 4; ++i) out.push_back(0);
    return out;
}

std::vector<uint8_t> Headers(int32_t depth, int32_t width, int32_t height) {
    const int64_t rowBytes = RowBytes(depth, width);
    const uint32_t paletteBytes = depth <= 8 ? 4u << depth : depth == 16 ? 12u : 0u;
    const uint32_t offBits = 54 + paletteBytes;
    std::vector<uint8_t> out;
    PutU16(out, 19778);
    PutU32(out, uint32_t(offBits + rowBytes * height));
    PutU16(out, 0);
    PutU16(out, 0);
    PutU32(out, offBits);
    PutU32(out, 40);
    PutU32(out, uint32_t(width));
    PutU32(out, uint32_t(height));
    PutU16(out, 1);
    PutU16(out, uint32_t(depth));
    PutU32(out, depth == 16 ? 3 : 0);
    PutU32(out, uint32_t(rowBytes * height));
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    if (depth <= 8) {
        const std::vector<uint8_t> palette = PaletteBytes(depth);
        out.insert(out.end(), palette.begin(), palette.end());
    } else if (depth == 16) {
        for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) PutU32(out, mask);
    }
    return out;
}

void FillRow(int32_t depth, int32_t width, int32_t height, int32_t y, uint8_t* out) {
    for (int32_t x = 0; x < width; ++x) {
        const Colour c = ColourAt(x, y, width, height);
        switch (depth) {
        case 32:
            out[4 * x] = c.blue;
            out[4 * x + 1] = c.green;
            out[4 * x + 2] = c.red;
            out[4 * x + 3] = 255;  // opaque, so tools that drop or premultiply alpha give the same colours
            break;
        case 24:
            out[3 * x] = c.blue;
            out[3 * x + 1] = c.green;
            out[3 * x + 2] = c.red;
            break;
        case 16: {
            const uint32_t v = uint32_t{c.red} >> 3 << 11 | uint32_t{c.green} >> 2 << 5 | uint32_t{c.blue} >> 3;
            out[2 * x] = uint8_t(v);
            out[2 * x + 1] = uint8_t(v >> 8);
            break;
        }
        case 8: out[x] = uint8_t(IndexAt(x, y, width, height, 8)); break;
        case 4: out[x / 2] = uint8_t(out[x / 2] | IndexAt(x, y, width, height, 4) << (x % 2 == 0 ? 4 : 0)); break;
        default: out[x / 8] = uint8_t(out[x / 8] | IndexAt(x, y, width, height, 1) << (7 - x % 8)); break;
        }
    }
}

bool WriteImage(int32_t depth, int32_t width, int32_t height, const char* path) {
    FileHandle file(std::fopen(path, "wb"));
    if (!file) return false;
    const std::vector<uint8_t> head = Headers(depth, width, height);
    if (std::fwrite(head.data(), 1, head.size(), file.get()) != head.size()) return false;
    std::vector<uint8_t> row(size_t(RowBytes(depth, width)));
    for (int32_t y = height - 1; y >= 0; --y) {  // bottom row first
        std::fill(row.begin(), row.end(), uint8_t{0});
        FillRow(depth, width, height, y, row.data());
        if (std::fwrite(row.data(), 1, row.size(), file.get()) != row.size()) return false;
    }
    return std::fclose(file.release()) == 0;
}

// PBM: bit 1 is black, that is outside the circle; inside is white.
bool WriteMask(int32_t width, int32_t height, const char* path) {
    FileHandle file(std::fopen(path, "wb"));
    if (!file) return false;
    std::fprintf(file.get(), "P4\n%d %d\n", width, height);
    const int64_t cx = width / 2;
    const int64_t cy = height / 2;
    const int64_t radius = cx > cy ? cx : cy;
    std::vector<uint8_t> row(size_t(width + 7) / 8);
    for (int32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), uint8_t{0});
        for (int32_t x = 0; x < width; ++x) {
            const int64_t dx = x - cx;
            const int64_t dy = y - cy;
            if (dx * dx + dy * dy > radius * radius) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        if (std::fwrite(row.data(), 1, row.size(), file.get()) != row.size()) return false;
    }
    return std::fclose(file.release()) == 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s DEPTH|mask WIDTH HEIGHT OUTPUT\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const int32_t width = std::atoi(argv[2]);
    const int32_t height = std::atoi(argv[3]);
    if (width < 2 || height < 2) {
        std::fprintf(stderr, "width and height must be at least 2\n");
        return 2;
    }
    bool ok = false;
    if (kind == "mask") {
        ok = WriteMask(width, height, argv[4]);
    } else {
        const int32_t depth = std::atoi(kind.c_str());
        if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
            std::fprintf(stderr, "depth must be 1, 4, 8, 16, 24 or 32\n");
            return 2;
        }
        ok = WriteImage(depth, width, height, argv[4]);
    }
    if (!ok) std::perror(argv[4]);
    return ok ? 0 : 1;
}
