// The least work the frame job can take: read one row, blacken what lies
// outside the circle, write the row. No image in memory, no colour
// conversion beyond what makes the output byte-identical to bmpframe's for the
// files the generator writes (the same header, the full palette, 16 bits as
// 5-6-5 with masks). The benchmark holds bmpframe's time against this one.
//
//   bmpbench_baseline INPUT.bmp OUTPUT.bmp
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

uint32_t U16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

int64_t FloorSqrt(int64_t value) {
    int64_t root = int64_t(std::sqrt(double(value)));
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return root;
}

// The palette entry nearest to a colour by squared distance, the first of equals.
uint8_t Nearest(const uint8_t* palette, int32_t count, const uint8_t* colour) {
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t i = 0; i < count; ++i) {
        int32_t distance = 0;
        for (int c = 0; c < 3; ++c) {
            const int32_t d = int32_t{palette[4 * i + c]} - colour[c];
            distance += d * d;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return uint8_t(best);
}

void SetIndex(uint8_t* row, int32_t depth, int32_t x, uint32_t index) {
    if (depth == 8) {
        row[x] = uint8_t(index);
    } else if (depth == 4) {
        const int shift = x % 2 == 0 ? 4 : 0;
        row[x / 2] = uint8_t((row[x / 2] & ~(0x0F << shift)) | index << shift);
    } else {
        const int shift = 7 - x % 8;
        row[x / 8] = uint8_t((row[x / 8] & ~(1 << shift)) | index << shift);
    }
}

uint32_t GetIndex(const uint8_t* row, int32_t depth, int32_t x) {
    if (depth == 8) return row[x];
    if (depth == 4) return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    return row[x / 8] >> (7 - x % 8) & 1;
}

struct Job {
    int32_t depth = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> remap;  // palette index in, palette index out
    uint8_t blackIndex = 0;
    bool remapNeeded = false;
};

// Blackens the pixels in [from, to) of one row and brings the rest to what
// bmpframe writes for them.
void BlackenRange(const Job& job, uint8_t* row, int32_t from, int32_t to) {
    switch (job.depth) {
    case 32:
        for (int32_t x = from; x < to; ++x) std::memset(row + 4 * x, 0, 3);
        break;
    case 24: std::memset(row + 3 * int64_t{from}, 0, size_t(3 * int64_t{to - from})); break;
    case 16: std::memset(row + 2 * int64_t{from}, 0, size_t(2 * int64_t{to - from})); break;
    default:
        for (int32_t x = from; x < to; ++x) SetIndex(row, job.depth, x, job.blackIndex);
        break;
    }
}

void KeepRange(const Job& job, uint8_t* row, int32_t from, int32_t to) {
    if (job.depth == 16) {
        // Loading keeps five bits of green: its lowest bit is lost.
        for (int32_t x = from; x < to; ++x) row[2 * x] &= 0xDF;
    } else if (job.depth <= 8 && job.remapNeeded) {
        for (int32_t x = from; x < to; ++x) SetIndex(row, job.depth, x, job.remap[GetIndex(row, job.depth, x)]);
    }
}

void FrameRow(const Job& job, uint8_t* row, int32_t y) {
    const int64_t cx = job.width / 2;
    const int64_t cy = job.height / 2;
    const int64_t radius = cx > cy ? cx : cy;
    const int64_t dy = y - cy;
    if (dy * dy > radius * radius) {
        BlackenRange(job, row, 0, job.width);
        return;
    }
    const int64_t reach = FloorSqrt(radius * radius - dy * dy);
    const int32_t left = int32_t(cx - reach < 0 ? 0 : cx - reach);
    const int32_t right = int32_t(cx + reach + 1 > job.width ? job.width : cx + reach + 1);
    BlackenRange(job, row, 0, left);
    KeepRange(job, row, left, right);
    BlackenRange(job, row, right, job.width);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT.bmp OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    FileHandle in(std::fopen(argv[1], "rb"));
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    uint8_t head[54 + 1024];
    if (std::fread(head, 1, 54, in.get()) != 54 || U16(head) != 19778 || U32(head + 14) != 40) {
        std::fprintf(stderr, "%s: not a file of the benchmark's generator\n", argv[1]);
        return 1;
    }
    Job job;
    job.width = int32_t(U32(head + 18));
    job.height = int32_t(U32(head + 22));
    job.depth = int32_t(U16(head + 28));
    const uint32_t offBits = U32(head + 10);
    if (job.width < 1 || job.height < 1 || offBits < 54 || offBits > sizeof head ||
        std::fread(head + 54, 1, offBits - 54, in.get()) != offBits - 54) {
        std::fprintf(stderr, "%s: unexpected header\n", argv[1]);
        return 1;
    }
    if (job.depth <= 8) {
        const int32_t count = 1 << job.depth;
        const uint8_t* palette = head + 54;
        const uint8_t black[3] = {0, 0, 0};
        job.blackIndex = Nearest(palette, count, black);
        job.remap.resize(size_t(count));
        for (int32_t i = 0; i < count; ++i) {
            job.remap[size_t(i)] = Nearest(palette, count, palette + 4 * i);
            job.remapNeeded |= job.remap[size_t(i)] != i;
        }
    }
    FileHandle out(std::fopen(argv[2], "wb"));
    if (!out || std::fwrite(head, 1, offBits, out.get()) != offBits) {
        std::perror(argv[2]);
        return 1;
    }
    std::vector<uint8_t> row(size_t((int64_t{job.depth} * job.width + 31) / 32 * 4));
    for (int32_t y = job.height - 1; y >= 0; --y) {
        if (std::fread(row.data(), 1, row.size(), in.get()) != row.size()) break;
        FrameRow(job, row.data(), y);
        if (std::fwrite(row.data(), 1, row.size(), out.get()) != row.size()) {
            std::perror(argv[2]);
            return 1;
        }
    }
    if (std::fclose(out.release()) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
