// Builders of test pictures: records filled by a function or at random, BMP
// files with any header field set, and a scratch folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "image/image_record.h"
#include "image/statistics.h"

struct Bgr {
    std::uint8_t b, g, r;
};

// A record of w x h whose pixel (x, y) (from the bottom-left) is f(x, y);
// padding bytes are set to `padding_byte`; statistics computed.
ImageRecord make_record(int w, int h, const std::function<Bgr(int, int)>& f, std::uint8_t padding_byte = 0xA5);

// A record of random bytes (padding included), statistics computed.
ImageRecord random_record(int w, int h, std::uint32_t seed);

// Moves a record into one of the working records with the same fields.
void install(ImageRecord& slot, ImageRecord&& record);

// A byte-for-byte copy of a record's fields and buffers.
ImageRecord clone(const ImageRecord& record);

// The bytes of a BMP file; fields may be overridden before writing.
struct BmpFields {
    std::int32_t width = 0, height = 0;
    std::uint32_t pixel_offset = 54;
    std::uint32_t header_size = 40;
    std::uint16_t bit_count = 24;
    std::uint32_t compression = 0;
    std::uint32_t colours_used = 0;
    std::vector<std::uint8_t> pixel_array;  // written at pixel_offset
    std::size_t truncate_to = SIZE_MAX;     // cut the file to this length
};
std::vector<std::uint8_t> bmp_file_bytes(const BmpFields& fields);

// BMP fields holding the pixel block of `record` (bottom-up).
BmpFields bmp_of(const ImageRecord& record);

// A fresh scratch folder per test, removed at exit of the process.
std::filesystem::path scratch_dir();
void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
