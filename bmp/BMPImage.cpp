#include "BMPImage.h"

#include <algorithm>
#include <new>
#include <utility>

#include "RowWindow.h"

int32_t IntegerPower(int32_t base, int32_t exponent) {
    int32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) result *= base;
    return result;
}

namespace {
bool IsPaletted(int32_t bits) { return bits == 1 || bits == 4 || bits == 8; }
}  // namespace

BMPImage::BMPImage() {
    if (!Resize(1, 1)) throw std::bad_alloc();  // as a failing new would
    columns[0][0] = WhiteTransparent;
}

BMPImage::BMPImage(BMPImage&& other) noexcept { *this = std::move(other); }

BMPImage& BMPImage::operator=(BMPImage&& other) noexcept {
    if (this == &other) return *this;
    bitDepth = other.bitDepth;
    width = other.width;
    height = other.height;
    columns = std::move(other.columns);
    palette = std::move(other.palette);
    pixels = std::move(other.pixels);
    xPelsPerMeter = other.xPelsPerMeter;
    yPelsPerMeter = other.yPelsPerMeter;
    lastReadError = other.lastReadError;
    lastWriteError = other.lastWriteError;
    lastSystemError = other.lastSystemError;
    // A moved-from image stays a valid 1 x 1 image.
    other.bitDepth = 24;
    other.xPelsPerMeter = 0;
    other.yPelsPerMeter = 0;
    if (other.Resize(1, 1)) other.columns[0][0] = WhiteTransparent;
    return *this;
}

ColorQuad& BMPImage::PixelAt(int32_t x, int32_t y) {
    x = std::max(std::min(x, width - 1), 0);
    y = std::max(std::min(y, height - 1), 0);
    return columns[x][y];
}

const ColorQuad& BMPImage::PixelAt(int32_t x, int32_t y) const {
    return const_cast<BMPImage*>(this)->PixelAt(x, y);
}

int32_t BMPImage::ColorCount() const {
    // 32-bit pixels carry 24 bits of colour; the fourth byte is alpha.
    return IntegerPower(2, bitDepth == 32 ? 24 : bitDepth);
}

bool BMPImage::SetDepth(int32_t bits) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    std::unique_ptr<ColorQuad[]> newPalette;
    if (IsPaletted(bits)) {
        newPalette.reset(new (std::nothrow) ColorQuad[IntegerPower(2, bits)]);
        if (!newPalette) return false;
    }
    bitDepth = bits;
    palette = std::move(newPalette);
    FillStandardPalette();
    return true;
}

bool BMPImage::Resize(int32_t newWidth, int32_t newHeight) {
    if (newWidth < 1 || newHeight < 1) return false;
    const size_t count = size_t(newWidth) * size_t(newHeight);
    if (count / size_t(newWidth) != size_t(newHeight)) return false;
    // A block that fits and is not more than twice too large is kept: images
    // loaded one after another then cost no fresh memory, and a small image
    // does not hold on to a huge block.
    const bool reuse = pixels && pixels.Capacity() >= count && pixels.Capacity() / 2 <= count;
    PixelBuffer newPixels = reuse ? PixelBuffer() : PixelBuffer::Allocate(count);
    std::unique_ptr<ColorQuad*[]> newColumns(new (std::nothrow) ColorQuad*[size_t(newWidth)]);
    if ((!reuse && !newPixels) || !newColumns) return false;
    if (!reuse) pixels = std::move(newPixels);
    for (int32_t x = 0; x < newWidth; ++x) newColumns[x] = pixels.Data() + size_t(x) * size_t(newHeight);
    columns = std::move(newColumns);
    width = newWidth;
    height = newHeight;
    return true;
}

bool BMPImage::SetDimensions(int32_t newWidth, int32_t newHeight) {
    if (!Resize(newWidth, newHeight)) return false;
    std::fill_n(pixels.Data(), size_t(width) * size_t(height), WhiteTransparent);
    return true;
}

ColorQuad BMPImage::PaletteColor(int32_t index) const {
    if (!IsPaletted(bitDepth) || !palette || index < 0 || index >= ColorCount()) return WhiteTransparent;
    return palette[index];
}

bool BMPImage::SetPaletteColor(int32_t index, ColorQuad colour) {
    if (!IsPaletted(bitDepth) || !palette || index < 0 || index >= ColorCount()) return false;
    palette[index] = colour;
    return true;
}

uint8_t BMPImage::NearestPaletteIndex(const ColorQuad& colour) const {
    const int32_t count = ColorCount();
    int32_t bestDistance = 999999;
    int32_t best = 0;
    for (int32_t i = 0; i < count; ++i) {
        const ColorQuad entry = PaletteColor(i);
        const int32_t blue = int32_t{entry.blue} - colour.blue;
        const int32_t green = int32_t{entry.green} - colour.green;
        const int32_t red = int32_t{entry.red} - colour.red;
        const int32_t distance = blue * blue + green * green + red * red;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (bestDistance == 0) break;
        }
    }
    return uint8_t(best);
}

void BMPImage::CopyRowsOut(int32_t yBottom, int32_t count, ColorQuad* block) const {
    LoadRows(columns.get(), 0, width, yBottom, count, block);
}

void BMPImage::CopyRowsIn(int32_t yBottom, int32_t count, const ColorQuad* block) {
    StoreRows(columns.get(), 0, width, yBottom, count, block);
}

void BMPImage::Reset() {
    SetDimensions(1, 1);
    SetDepth(1);
}
