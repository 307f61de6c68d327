#include "NarrowPath.h"
#include "NarrowPathWindows.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cwchar>

std::unique_ptr<char[]> NarrowPathInCodePage(const wchar_t* path, uint32_t codePage) {
    if (path == nullptr) return nullptr;
    // Two bytes per UTF-16 unit hold any one- or two-byte code page, terminator included.
    const size_t size = (std::wcslen(path) + 1) * 2;
    std::unique_ptr<char[]> buffer(new char[size]);
    buffer[0] = '\0';
    const int written = WideCharToMultiByte(codePage, 0, path, -1, buffer.get(),
                                            int(std::min<size_t>(size, INT_MAX)), nullptr, nullptr);
    // A path that does not fit fails and may leave a cut copy without its
    // terminator; it must name no file at all instead.
    if (written == 0) buffer[0] = '\0';
    return buffer;
}

// The file functions take paths in the system's default code page.
std::unique_ptr<char[]> NarrowPath(const wchar_t* path) { return NarrowPathInCodePage(path, CP_ACP); }
