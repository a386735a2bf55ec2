// Small pictures of every kind the platforms' decoders take, made here byte
// by byte (PNG of every colour type and depth, with and without a
// transparent colour, interlaced; GIF with a transparent index; JPEG with an
// Exif orientation and with an embedded colour profile) or through Qt's
// encoders (JPEG, TIFF, lossless WebP); animated GIF and PNG and a TIFF of
// two pages among them, their later frames black. The same files seed the
// decoders' fuzzer and hold the front ends to each other: every one must
// open to the same record everywhere (JPEG within rounding).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CorpusFile {
    std::string name;  // with its extension
    std::vector<std::uint8_t> bytes;
};

std::vector<CorpusFile> picture_corpus();
