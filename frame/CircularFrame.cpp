#include "CircularFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "BMPImage.h"

namespace {
// Below this radius the double-precision test "1 - d / R < 0" is exactly the
// integer test dx^2 + dy^2 > R^2: squares are exact, a rim pixel gives k of 0
// or just above, and the next one out is at least 2^-49 below.
constexpr int32_t ExactRadiusLimit = int32_t{1} << 24;

void Blacken(ColorQuad* pixel, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        pixel[i].blue = 0;
        pixel[i].green = 0;
        pixel[i].red = 0;
    }
}

// The defining computation, pixel by pixel. Used where the integer form is not
// proven equal: a radius of 0 (1 x 1, where k is NaN) and radii of 2^24 or more.
void ApplyByDistance(BMPImage& image, int32_t cx, int32_t cy, int32_t radius) {
    for (int32_t y = 0; y < image.Height(); ++y) {
        const double dy = double(y) - double(cy);
        const double inverseRadius = 1.0 / double(radius);
        for (int32_t x = 0; x < image.Width(); ++x) {
            ColorQuad& pixel = image.PixelAt(x, y);
            const double dx = double(x) - double(cx);
            const double d = std::sqrt(std::pow(dy, 2.0) + std::pow(dx, 2.0));
            const double k = 1.0 - d * inverseRadius;
            if (k < 0.0) Blacken(&pixel, 1);
        }
    }
}

// Largest h with h * h <= value.
int64_t FloorSqrt(int64_t value) {
    int64_t root = int64_t(std::sqrt(double(value)));
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return root;
}
}  // namespace

void ApplyCircularFrame(BMPImage& image) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t cx = width / 2;
    const int32_t cy = height / 2;
    const int32_t radius = std::max(cx, cy);
    if (radius == 0 || radius >= ExactRadiusLimit) {
        ApplyByDistance(image, cx, cy, radius);
        return;
    }
    // Column by column, as the pixels are stored: each column keeps one run
    // around the centre row and loses what lies above and below it.
    const int64_t radiusSquared = int64_t{radius} * radius;
    for (int32_t x = 0; x < width; ++x) {
        ColorQuad* column = image.columns[x];
        const int64_t dx = int64_t{x} - cx;
        if (dx * dx > radiusSquared) {
            Blacken(column, height);
            continue;
        }
        const int64_t reach = FloorSqrt(radiusSquared - dx * dx);
        const int64_t top = std::max<int64_t>(0, cy - reach);
        const int64_t bottom = std::min<int64_t>(height, cy + reach + 1);
        Blacken(column, top);
        Blacken(column + bottom, height - bottom);
    }
}
