#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// A one-line progress bar on stderr, redrawn as files finish, and the place
// every worker prints its errors through, so lines never interleave.
class Progress {
public:
    Progress(int32_t total, bool shown);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void FileDone();
    void Error(const std::string& message);
    // Clears the bar so what follows starts on a clean line.
    void Finish();

private:
    void Draw();
    void Clear();

    std::mutex mutex;
    int32_t total;
    int32_t done = 0;
    bool shown;
};

// Whether stderr is a terminal, where a redrawn line makes sense.
bool StderrIsTerminal();
