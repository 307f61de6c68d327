#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "BMPImage.h"
#include "RowCodec.h"

namespace {
std::array<ColorQuad, 256> PaletteTable(const BMPImage& image) {
    std::array<ColorQuad, 256> table;
    for (int32_t i = 0; i < 256; ++i) table[i] = image.PaletteColor(i);
    return table;
}

std::unique_ptr<ColorQuad[]> RowOf(const BMPImage& image, int32_t y) {
    std::unique_ptr<ColorQuad[]> row(new (std::nothrow) ColorQuad[size_t(image.width)]);
    if (row) image.CopyRowsOut(std::max(0, std::min(y, image.height - 1)), 1, row.get());
    return row;
}

// One row through a scratch row: the pixels are gathered first so that an
// unpacker that leaves a channel alone (alpha at 24 bits) keeps its value.
template <typename Unpack>
bool DecodeRow(BMPImage& image, int32_t y, Unpack unpack) {
    std::unique_ptr<ColorQuad[]> row = RowOf(image, y);
    if (!row) return false;
    unpack(row.get());
    image.CopyRowsIn(std::max(0, std::min(y, image.height - 1)), 1, row.get());
    return true;
}

template <typename Pack>
bool EncodeRow(const BMPImage& image, int32_t y, Pack pack) {
    std::unique_ptr<ColorQuad[]> row = RowOf(image, y);
    if (!row) return false;
    pack(row.get());
    return true;
}
}  // namespace

bool BMPImage::DecodeRow1(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y) {
    if (int64_t{width} > 8 * int64_t{bufferLength}) return false;
    const auto table = PaletteTable(*this);
    return DecodeRow(*this, y, [&](ColorQuad* row) { UnpackRow1(rowBuffer, width, table.data(), row); });
}

bool BMPImage::DecodeRow4(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y) {
    if (int64_t{width} > 2 * int64_t{bufferLength}) return false;
    const auto table = PaletteTable(*this);
    return DecodeRow(*this, y, [&](ColorQuad* row) { UnpackRow4(rowBuffer, width, table.data(), row); });
}

bool BMPImage::DecodeRow8(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y) {
    if (int64_t{width} > bufferLength) return false;
    const auto table = PaletteTable(*this);
    return DecodeRow(*this, y, [&](ColorQuad* row) { UnpackRow8(rowBuffer, width, table.data(), row); });
}

bool BMPImage::DecodeRow24(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y) {
    if (3 * int64_t{width} > bufferLength) return false;
    return DecodeRow(*this, y, [&](ColorQuad* row) { UnpackRow24(rowBuffer, width, row); });
}

bool BMPImage::DecodeRow32(const uint8_t* rowBuffer, int32_t bufferLength, int32_t y) {
    if (4 * int64_t{width} > bufferLength) return false;
    return DecodeRow(*this, y, [&](ColorQuad* row) { UnpackRow32(rowBuffer, width, row); });
}

bool BMPImage::EncodeRow32(uint8_t* buffer, int32_t length, int32_t y) const {
    if (4 * int64_t{width} > length) return false;
    return EncodeRow(*this, y, [&](const ColorQuad* row) { PackRow32(row, width, buffer); });
}

bool BMPImage::EncodeRow24(uint8_t* buffer, int32_t length, int32_t y) const {
    if (3 * int64_t{width} > length) return false;
    return EncodeRow(*this, y, [&](const ColorQuad* row) { PackRow24(row, width, buffer); });
}

bool BMPImage::EncodeRow8(uint8_t* buffer, int32_t length, int32_t y) const {
    if (int64_t{width} > length) return false;
    PaletteIndexCache indices(*this);
    return EncodeRow(*this, y, [&](const ColorQuad* row) { PackRow8(row, width, indices, buffer); });
}

bool BMPImage::EncodeRow4(uint8_t* buffer, int32_t length, int32_t y) const {
    if (int64_t{width} > 2 * int64_t{length}) return false;
    PaletteIndexCache indices(*this);
    return EncodeRow(*this, y, [&](const ColorQuad* row) { PackRow4(row, width, indices, buffer); });
}

bool BMPImage::EncodeRow1(uint8_t* buffer, int32_t length, int32_t y) const {
    if (int64_t{width} > 8 * int64_t{length}) return false;
    PaletteIndexCache indices(*this);
    return EncodeRow(*this, y, [&](const ColorQuad* row) { PackRow1(row, width, indices, buffer); });
}
