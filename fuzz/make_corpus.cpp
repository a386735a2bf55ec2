// Writes the hostile-BMP corpus of the reliability tests into a folder, as
// seeds for the load_bmp fuzzer: make_bmp_corpus DIR
#include <cstdio>
#include <filesystem>

#include "tests/support/bad_bmps.h"
#include "tests/support/images.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bmp_corpus DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int count = 0;
    for (const BadBmp& file : bad_bmp_corpus()) {
        write_file(dir / (file.name + ".bmp"), file.bytes);
        ++count;
    }
    std::printf("%d files in %s\n", count, dir.c_str());
    return 0;
}
