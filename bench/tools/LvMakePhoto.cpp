#include "LvReference.h"

#include <cstdio>

// Writes the benchmarks' 6000 x 4000 photo-like picture as a 24-bit BMP, for timing whole command lines.
int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: lumivue_photo OUT.bmp\n", stderr);
        return 2;
    }
    CLvImage photo = PhotoLike(6000, 4000, 1);
    return photo.Encode(argv[1], LVFMT_BMP) ? 0 : 1;
}
