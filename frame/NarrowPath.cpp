#include "NarrowPath.h"

#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace {
// UTF-8 of one code point; 0 bytes for what is not a Unicode scalar value.
size_t EncodeUtf8(uint32_t code, char* out) {
    if (code < 0x80) {
        out[0] = char(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = char(0xC0 | code >> 6);
        out[1] = char(0x80 | (code & 0x3F));
        return 2;
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    if (code < 0x10000) {
        out[0] = char(0xE0 | code >> 12);
        out[1] = char(0x80 | (code >> 6 & 0x3F));
        out[2] = char(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | code >> 18);
    out[1] = char(0x80 | (code >> 12 & 0x3F));
    out[2] = char(0x80 | (code >> 6 & 0x3F));
    out[3] = char(0x80 | (code & 0x3F));
    return 4;
}
}  // namespace

// The file system here takes UTF-8 names; wchar_t holds one code point.
std::unique_ptr<char[]> NarrowPath(const wchar_t* path) {
    if (path == nullptr) return nullptr;
    const size_t length = std::wcslen(path);
    std::unique_ptr<char[]> buffer(new char[length * 4 + 1]);
    buffer[0] = '\0';
    size_t used = 0;
    for (size_t i = 0; i < length; ++i) {
        const size_t bytes = EncodeUtf8(uint32_t(path[i]), buffer.get() + used);
        if (bytes == 0) {
            buffer[0] = '\0';
            return buffer;
        }
        used += bytes;
    }
    buffer[used] = '\0';
    return buffer;
}
