#pragma once

#include <cstdint>
#include <string>

#include "BMPImage.h"

using FrameFunction = int32_t (*)(const wchar_t*, const wchar_t*);

// BMPFFrame from the built shared library, opened with dlopen as a host opens
// it; the library stays loaded for the rest of the run.
FrameFunction LoadedBMPFFrame();

// An ASCII or UTF-8 path as the wide string a host passes.
std::wstring Wide(const std::string& path);

// The frame by its definition: black outside (x - cx)^2 + (y - cy)^2 <= R^2.
void FrameByDefinition(BMPImage& image);
bool InsideCircle(const BMPImage& image, int32_t x, int32_t y);
