// Writes the picture corpus (tests/codec_qt/picture_corpus.h) into a folder:
// make_picture_corpus DIR
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/codec_qt/picture_corpus.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_picture_corpus DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const auto corpus = picture_corpus();
    for (const CorpusFile& file : corpus) {
        std::ofstream out(dir / file.name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_picture_corpus: cannot write %s\n", (dir / file.name).c_str());
            return 1;
        }
    }
    std::printf("%zu files in %s\n", corpus.size(), dir.c_str());
    return 0;
}
