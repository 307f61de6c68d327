/* The public header used from plain C, as a host written in C does. */
#include <VelmoraBMPFilterFrame.h>

#include <stdio.h>

int main(void) {
    int32_t (*frame)(const wchar_t*, const wchar_t*) = BMPFFrame;
    if (frame(NULL, NULL) != 1) {
        fputs("BMPFFrame(NULL, NULL) should fail to load\n", stderr);
        return 1;
    }
    if (BMPFFrame(L"/nonexistent/input.bmp", L"/nonexistent/output.bmp") != 1) {
        fputs("a missing input should fail to load\n", stderr);
        return 1;
    }
    return 0;
}
