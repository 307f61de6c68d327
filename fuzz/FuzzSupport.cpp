#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string ScratchPath(const char* name) {
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/velmora-fuzz-" + std::to_string(getpid()) + "-" + name;
}

bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

ColorQuad Without16BitLowBits(ColorQuad colour) {
    return ColorQuad{uint8_t(colour.blue & 0xF8), uint8_t(colour.green & 0xF8), uint8_t(colour.red & 0xF8), 0};
}
