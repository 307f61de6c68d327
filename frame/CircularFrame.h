#pragma once

class BMPImage;

// Turns black (red, green and blue 0, alpha kept) every pixel outside the
// circle centred on (Width() / 2, Height() / 2) whose radius is the larger of
// the two, that is half the longer side rounded down.
void ApplyCircularFrame(BMPImage& image);
