#pragma once

#include <cstdint>
#include <cstdio>

// Reads itemCount items of itemSize bytes; false without reading once the
// stream has reached its end, and false when fewer whole items arrive.
bool ReadExact(void* buffer, int32_t itemSize, int32_t itemCount, std::FILE* stream);
