// Writes the benchmarks' pictures as BMP files, for corvalux-batch to run on:
// corvalux-bench-pictures FOLDER makes FOLDER/photo-like.bmp and FOLDER/random.bmp.
#include <cstdio>
#include <exception>
#include <string>

#include "BenchPictures.h"
#include "image/PictureFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvalux-bench-pictures FOLDER\n");
        return 2;
    }
    try {
        const std::string folder = argv[1];
        SavePicture(folder + "/photo-like.bmp", PhotoLike24M(), PictureFormat::Bitmap);
        SavePicture(folder + "/random.bmp", Random24M(), PictureFormat::Bitmap);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "corvalux-bench-pictures: %s\n", error.what());
        return 1;
    }
    return 0;
}
