#ifndef VELMORA_BMP_FILTER_FRAME_H
#define VELMORA_BMP_FILTER_FRAME_H

#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#if defined(VELMORA_BUILDING)
#define VELMORA_API __declspec(dllexport)
#else
#define VELMORA_API __declspec(dllimport)
#endif
#else
#define VELMORA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the BMP file at inputPath, turns black every pixel outside the circle
 * centred on the image whose radius is half its longer side (rounded down),
 * and writes the result to outputPath at the input's bit depth.
 * Returns 1 when the input cannot be loaded (nothing is written, outputPath is
 * not used), and 999 otherwise; 999 does not say whether the output was
 * written. Either path may be null. Where wchar_t holds code points the paths
 * are converted to UTF-8; one that cannot be converted names no file.
 * Nothing is kept from one call to the next: calls on different threads do
 * not interfere, as long as they name different files. */
VELMORA_API int32_t BMPFFrame(const wchar_t* inputPath, const wchar_t* outputPath);

#ifdef __cplusplus
}
#endif

#endif
