// Micro benchmarks of the pieces a load, frame and save is made of: the row
// decoders and encoders, the frame effect and the nearest palette index.
// Rows are 8000 pixels wide, as in the end-to-end benchmark.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "BMPImage.h"
#include "CircularFrame.h"
#include "PaletteIndexCache.h"
#include "RowCodec.h"

namespace {
constexpr int32_t Width = 8000;

std::vector<uint8_t> RandomBytes(size_t count) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = uint8_t(random());
    return bytes;
}

std::vector<ColorQuad> RandomPalette() {
    std::mt19937 random(11);
    std::vector<ColorQuad> palette(256);
    for (ColorQuad& entry : palette) entry = ColorQuad{uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
    return palette;
}

// A paletted image whose palette is random, and a row of its own colours.
BMPImage PalettedImage(int32_t depth) {
    BMPImage image;
    image.SetDepth(depth);
    const std::vector<ColorQuad> palette = RandomPalette();
    for (int32_t i = 0; i < image.ColorCount(); ++i) image.SetPaletteColor(i, palette[size_t(i)]);
    return image;
}

std::vector<ColorQuad> RowOfPaletteColours(const BMPImage& image) {
    std::mt19937 random(13);
    std::vector<ColorQuad> row(Width);
    for (ColorQuad& pixel : row) pixel = image.PaletteColor(int32_t(random() % uint32_t(image.ColorCount())));
    return row;
}

void Finish(benchmark::State& state) { state.SetItemsProcessed(int64_t(state.iterations()) * Width); }

template <void (*Unpack)(const uint8_t*, int32_t, const ColorQuad*, ColorQuad*)>
void UnpackPaletted(benchmark::State& state) {
    const std::vector<uint8_t> in = RandomBytes(Width);
    const std::vector<ColorQuad> palette = RandomPalette();
    std::vector<ColorQuad> row(Width);
    for (auto _ : state) {
        Unpack(in.data(), Width, palette.data(), row.data());
        benchmark::DoNotOptimize(row.data());
    }
    Finish(state);
}
BENCHMARK(UnpackPaletted<UnpackRow1>)->Name("UnpackRow1");
BENCHMARK(UnpackPaletted<UnpackRow4>)->Name("UnpackRow4");
BENCHMARK(UnpackPaletted<UnpackRow8>)->Name("UnpackRow8");

template <void (*Unpack)(const uint8_t*, int32_t, ColorQuad*)>
void UnpackDirect(benchmark::State& state) {
    const std::vector<uint8_t> in = RandomBytes(size_t(Width) * 4);
    std::vector<ColorQuad> row(Width);
    for (auto _ : state) {
        Unpack(in.data(), Width, row.data());
        benchmark::DoNotOptimize(row.data());
    }
    Finish(state);
}
BENCHMARK(UnpackDirect<UnpackRow24>)->Name("UnpackRow24");
BENCHMARK(UnpackDirect<UnpackRow32>)->Name("UnpackRow32");

template <int32_t Depth, void (*Pack)(const ColorQuad*, int32_t, PaletteIndexCache&, uint8_t*)>
void PackPaletted(benchmark::State& state) {
    const BMPImage image = PalettedImage(Depth);
    const std::vector<ColorQuad> row = RowOfPaletteColours(image);
    std::vector<uint8_t> out(Width);
    PaletteIndexCache indices(image);
    for (auto _ : state) {
        Pack(row.data(), Width, indices, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state);
}
BENCHMARK(PackPaletted<1, PackRow1>)->Name("PackRow1");
BENCHMARK(PackPaletted<4, PackRow4>)->Name("PackRow4");
BENCHMARK(PackPaletted<8, PackRow8>)->Name("PackRow8");

template <void (*Pack)(const ColorQuad*, int32_t, uint8_t*)>
void PackDirect(benchmark::State& state) {
    const std::vector<uint8_t> bytes = RandomBytes(size_t(Width) * 4);
    std::vector<ColorQuad> row(Width);
    UnpackRow32(bytes.data(), Width, row.data());
    std::vector<uint8_t> out(size_t(Width) * 4);
    for (auto _ : state) {
        Pack(row.data(), Width, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state);
}
BENCHMARK(PackDirect<PackRow16>)->Name("PackRow16");
BENCHMARK(PackDirect<PackRow24>)->Name("PackRow24");
BENCHMARK(PackDirect<PackRow32>)->Name("PackRow32");

void NearestPaletteIndexUncached(benchmark::State& state) {
    const BMPImage image = PalettedImage(8);
    const std::vector<ColorQuad> row = RowOfPaletteColours(image);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(image.NearestPaletteIndex(row[i]));
        i = (i + 1) % row.size();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(NearestPaletteIndexUncached);

void NearestPaletteIndexCached(benchmark::State& state) {
    const BMPImage image = PalettedImage(8);
    const std::vector<ColorQuad> row = RowOfPaletteColours(image);
    PaletteIndexCache indices(image);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(indices.IndexOf(row[i]));
        i = (i + 1) % row.size();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(NearestPaletteIndexCached);

// The whole frame over a square image: the corners turn black.
void CircularFrame(benchmark::State& state) {
    const int32_t side = int32_t(state.range(0));
    BMPImage image;
    image.SetDimensions(side, side);
    for (auto _ : state) {
        ApplyCircularFrame(image);
        benchmark::DoNotOptimize(image.columns[0]);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * side * side);
}
BENCHMARK(CircularFrame)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
