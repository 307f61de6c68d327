#include "Progress.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
constexpr int32_t BarWidth = 40;
}  // namespace

Progress::Progress(int32_t fileCount, bool show) : total(fileCount), shown(show) {
    std::lock_guard<std::mutex> lock(mutex);
    Draw();
}

void Progress::FileDone() {
    std::lock_guard<std::mutex> lock(mutex);
    ++done;
    Draw();
}

void Progress::Error(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex);
    Clear();
    std::fprintf(stderr, "bmpframe: %s\n", message.c_str());
    Draw();
}

void Progress::Finish() {
    std::lock_guard<std::mutex> lock(mutex);
    Clear();
}

void Progress::Draw() {
    if (!shown) return;
    const int32_t filled = total > 0 ? int32_t(int64_t{done} * BarWidth / total) : BarWidth;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(BarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %d/%d", bar.c_str(), done, total);
    std::fflush(stderr);
}

void Progress::Clear() {
    if (!shown) return;
    std::fprintf(stderr, "\r%*s\r", BarWidth + 24, "");
}

bool StderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}
