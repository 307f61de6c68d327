#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BatchCounts {
    int32_t framed = 0;
    int32_t readFailed = 0;
    int32_t writeFailed = 0;  // refused outputs included
};

struct BatchOptions {
    std::string outputDirectory;
    int32_t jobs = 1;
    bool overwrite = false;
    bool progress = false;
};

// Frames every input into the output directory under its own file name, on
// `jobs` threads, reporting each failure on stderr and going on with the rest.
BatchCounts RunBatch(const std::vector<std::string>& inputs, const BatchOptions& options);
