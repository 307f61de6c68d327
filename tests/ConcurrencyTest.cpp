// Many threads framing at once must write exactly what one thread writes:
// calls share nothing but the allocator and the C streams. Run under
// ThreadSanitizer (the tsan preset) this also looks for data races.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ExportSupport.h"
#include "TestSupport.h"

namespace {
constexpr int32_t Threads = 8;
constexpr int32_t CallsPerThread = 50;

// Rows of arbitrary bytes: every byte pattern is a valid row at every depth.
std::vector<uint8_t> PatternRows(uint16_t depth, int32_t width, int32_t height, uint32_t seed) {
    const size_t rowSize = size_t((int64_t{depth} * width + 31) / 32 * 4);
    std::vector<uint8_t> rows(rowSize * size_t(height));
    uint32_t state = seed;
    for (uint8_t& byte : rows) {
        state = state * 1664525u + 1013904223u;
        byte = uint8_t(state >> 24);
    }
    return rows;
}

std::vector<uint8_t> Input(uint16_t depth, int32_t width, int32_t height, uint32_t seed) {
    BmpBuilder builder;
    builder.BitCount(depth).Size(width, height).Rows(PatternRows(depth, width, height, seed));
    if (depth <= 8) {
        std::vector<ColorQuad> palette;
        for (int32_t i = 0; i < (1 << depth); ++i)
            palette.push_back(ColorQuad{uint8_t(i * 7), uint8_t(i * 13 + seed), uint8_t(255 - i), 0});
        builder.Palette(palette);
    }
    if (depth == 16) builder.Compression(3).Masks(0xF800, 0x07E0, 0x001F);
    return builder.Build();
}

struct Shape {
    uint16_t depth;
    int32_t width;
    int32_t height;
};

constexpr Shape Shapes[] = {{1, 33, 17}, {4, 21, 30}, {8, 40, 25}, {16, 19, 19},
                            {24, 37, 23}, {32, 16, 44}, {24, 1, 1}, {8, 64, 3}};
constexpr int32_t InputCount = int32_t(std::size(Shapes));

class Concurrency : public ::testing::Test {
protected:
    void SetUp() override {
        for (int32_t i = 0; i < InputCount; ++i) {
            inputs.push_back(dir.File("in" + std::to_string(i) + ".bmp"));
            WriteBytes(inputs.back(), Input(Shapes[i].depth, Shapes[i].width, Shapes[i].height, uint32_t(i)));
            const std::string serial = dir.File("serial" + std::to_string(i) + ".bmp");
            ASSERT_EQ(LoadedBMPFFrame()(Wide(inputs.back()).c_str(), Wide(serial).c_str()), 999);
            expected.push_back(ReadBytes(serial));
        }
    }

    std::string Output(int32_t thread, int32_t call) const {
        return dir.File("out" + std::to_string(thread) + "_" + std::to_string(call) + ".bmp");
    }

    TempDir dir;
    std::vector<std::string> inputs;
    std::vector<std::vector<uint8_t>> expected;
};

// Threads start on different inputs and walk through all of them, so the
// same input is read by several threads at once, each to its own output.
TEST_F(Concurrency, ParallelCallsWriteWhatASerialRunWrites) {
    const FrameFunction frame = LoadedBMPFFrame();
    std::vector<std::vector<int32_t>> results(Threads, std::vector<int32_t>(CallsPerThread));
    std::vector<std::thread> workers;
    for (int32_t t = 0; t < Threads; ++t)
        workers.emplace_back([&, t] {
            for (int32_t c = 0; c < CallsPerThread; ++c)
                results[size_t(t)][size_t(c)] = frame(Wide(inputs[size_t((t + c) % InputCount)]).c_str(),
                                                      Wide(Output(t, c)).c_str());
        });
    for (std::thread& worker : workers) worker.join();

    for (int32_t t = 0; t < Threads; ++t)
        for (int32_t c = 0; c < CallsPerThread; ++c) {
            SCOPED_TRACE(Output(t, c));
            EXPECT_EQ(results[size_t(t)][size_t(c)], 999);
            EXPECT_EQ(ReadBytes(Output(t, c)), expected[size_t((t + c) % InputCount)]);
        }
}

// Failed loads on some threads do not disturb the good calls on others.
TEST_F(Concurrency, FailingCallsBesideGoodOnesChangeNothing) {
    const FrameFunction frame = LoadedBMPFFrame();
    WriteBytes(dir.File("bad.bmp"), BmpBuilder().BitCount(2).Build());
    std::vector<std::thread> workers;
    std::vector<int32_t> failures(Threads, 0);
    for (int32_t t = 0; t < Threads; ++t)
        workers.emplace_back([&, t] {
            for (int32_t c = 0; c < CallsPerThread; ++c) {
                const bool bad = (t + c) % 2 == 0;
                const std::string input = bad ? dir.File(c % 4 == 0 ? "missing.bmp" : "bad.bmp")
                                              : inputs[size_t(t % InputCount)];
                const int32_t result = frame(Wide(input).c_str(), Wide(Output(t, c)).c_str());
                if (result != (bad ? 1 : 999)) ++failures[size_t(t)];
            }
        });
    for (std::thread& worker : workers) worker.join();

    for (int32_t t = 0; t < Threads; ++t) {
        EXPECT_EQ(failures[size_t(t)], 0) << "thread " << t;
        for (int32_t c = 0; c < CallsPerThread; ++c) {
            if ((t + c) % 2 == 0) {
                EXPECT_FALSE(FileExists(Output(t, c)));
            } else {
                EXPECT_EQ(ReadBytes(Output(t, c)), expected[size_t(t % InputCount)]);
            }
        }
    }
}
}  // namespace
