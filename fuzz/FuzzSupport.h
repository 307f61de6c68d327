#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ColorQuad.h"

// A broken invariant: prints what broke and aborts, which libFuzzer reports
// as a crash and saves the input that caused it.
void Require(bool condition, const char* what);

// A file of this process in a memory-backed folder; the same name every call,
// so a long run does not litter the disk.
std::string ScratchPath(const char* name);
bool WriteScratch(const std::string& path, const uint8_t* data, size_t size);

// What a 16-bit file keeps of a channel: its five upper bits.
ColorQuad Without16BitLowBits(ColorQuad colour);
