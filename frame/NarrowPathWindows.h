#pragma once

#include <cstdint>
#include <memory>

// NarrowPath in any Windows code page, so that a test can pick one whose
// characters need more bytes than the buffer gives them (CP_UTF8).
std::unique_ptr<char[]> NarrowPathInCodePage(const wchar_t* path, uint32_t codePage);
