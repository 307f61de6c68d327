#include "RowSize.h"

int64_t RowSize(int32_t bitDepth, int32_t width) {
    const int64_t bits = int64_t{bitDepth} * width;
    return (bits + 31) / 32 * 4;
}
