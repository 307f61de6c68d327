/* Frames INPUT into OUTPUT through the installed library; exits 0 on 999. */
#include <VelmoraBMPFilterFrame.h>

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

static wchar_t* Widen(const char* path) {
    size_t length = mbstowcs(NULL, path, 0);
    wchar_t* wide;
    if (length == (size_t)-1) return NULL;
    wide = malloc((length + 1) * sizeof(wchar_t));
    if (wide != NULL) mbstowcs(wide, path, length + 1);
    return wide;
}

int main(int argc, char** argv) {
    wchar_t* input;
    wchar_t* output;
    int32_t result;
    if (argc != 3) {
        fputs("usage: host INPUT OUTPUT\n", stderr);
        return 2;
    }
    setlocale(LC_ALL, "");
    input = Widen(argv[1]);
    output = Widen(argv[2]);
    result = BMPFFrame(input, output);
    free(input);
    free(output);
    printf("BMPFFrame returned %d\n", (int)result);
    return result == 999 ? 0 : 1;
}
