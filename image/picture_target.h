// Where a platform decoder puts a picture other than a BMP (shell/platform.h
// decode_picture): the record that the open command fills.
//
// The decoder first says how large the picture is, as it will stand (after
// any orientation it applies). begin() checks that size against the limits
// of the BMP reader (sides up to 65535, a block below 2^31 bytes) before a
// byte is allocated, so a small file that declares a huge picture costs
// nothing; then it takes the record's zero-filled block from the heap. The
// decoder writes each row, top row first, as 3 * width bytes blue, green,
// red; row() points straight into the bottom-up block, so nothing is copied
// twice. finish() puts the block and the sizes into the record and counts
// the statistics; until then the record is untouched, so a decoder that
// gives up half-way leaves it without a block.
#pragma once

#include <cstdint>

#include "image/image_record.h"

class PictureTarget {
public:
    explicit PictureTarget(ImageRecord& record) : record_(record) {}
    PictureTarget(const PictureTarget&) = delete;
    PictureTarget& operator=(const PictureTarget&) = delete;

    // False when the size is over the limits or the heap refuses the block:
    // the decoder then stops and reports the picture as too large.
    bool begin(std::uint64_t width, std::uint64_t height);

    // Row y counted from the top (0 .. height - 1) once begin() succeeded.
    std::uint8_t* row(std::uint32_t y);

    bool begun() const { return static_cast<bool>(block_); }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }

    // Installs the picture in the record; false (record untouched) when
    // begin() never succeeded.
    bool finish();

private:
    ImageRecord& record_;
    HeapArray<std::uint8_t> block_;
    std::uint32_t width_ = 0, height_ = 0;
    std::size_t stride_ = 0;
};
