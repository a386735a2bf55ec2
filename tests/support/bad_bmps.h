// Hostile and odd BMP files, built byte by byte: truncated files, wrong
// signatures and bit counts, compression, absurd sizes, pixel offsets
// anywhere, lying header fields. Each comes with what the reader must do
// with it: the text of its refusal, or nullptr where the file loads.
//
// The reliability tests open every entry through the open command; the fuzz
// targets take them as seeds (fuzz/make_corpus writes them to a folder).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BadBmp {
    std::string name;  // also a file name: letters, digits, '-' and '_'
    std::vector<std::uint8_t> bytes;
    const char* refusal;  // the message text, or nullptr: the file loads
};

std::vector<BadBmp> bad_bmp_corpus();

// What a loaded file must become, read straight from its bytes: the size
// fields (the height made positive) and the pixel block in bottom-up order.
struct ExpectedPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> block;
};
ExpectedPicture expected_picture(const std::vector<std::uint8_t>& file);
