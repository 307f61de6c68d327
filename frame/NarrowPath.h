#pragma once

#include <memory>

// A zero-terminated copy of a wide path in the file system's narrow encoding,
// or null for a null path. A path that cannot be converted becomes the empty
// string, which no file has. Throws std::bad_alloc when memory runs out.
std::unique_ptr<char[]> NarrowPath(const wchar_t* path);
