// Where a platform decoder puts a picture other than a BMP (commands/platform.h
// decode_picture): the record that the open command fills.
//
// The decoder first says how large the picture is as stored, and how the
// picture declares it must be turned to stand upright (a photo's Exif
// orientation). begin() checks the upright size against the limits of the
// BMP reader (sides up to 65535, a block below 2^31 bytes) before a byte is
// allocated, so a small file that declares a huge picture costs nothing;
// then it takes the record's zero-filled block from the heap. The decoder
// writes each stored row, top row first, pixel after pixel (blue, green,
// red) where stored_row() says: the upright place of its first pixel and the
// step to the next, straight into the bottom-up block, so no turned copy of
// the picture is ever made. finish() puts the block and the sizes into the
// record and counts the statistics; until then the record is untouched, so a
// decoder that gives up half-way leaves it without a block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_record.h"

// An 8-bit channel c of alpha a laid over white: round((c * a + 255 *
// (255 - a)) / 255); no value lies half-way between two results, so the
// rounding direction never matters.
inline std::uint8_t over_white(unsigned c, unsigned a)
{
    return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

// The same for 16-bit channels: round((c * a + max * (max - a)) / max^2 *
// 255) with max = 65535; an opaque c becomes round(c / 257).
inline std::uint8_t over_white16(std::uint64_t c, std::uint64_t a)
{
    constexpr std::uint64_t max = 65535, square = max * max;
    return static_cast<std::uint8_t>(((c * a + max * (max - a)) * 255 + square / 2) / square);
}

class PictureTarget {
public:
    explicit PictureTarget(ImageRecord& record) : record_(record) {}
    PictureTarget(const PictureTarget&) = delete;
    PictureTarget& operator=(const PictureTarget&) = delete;

    // Orientations as Exif numbers them: how the stored picture is shown.
    enum Orientation : int {
        AS_STORED = 1,
        MIRRORED = 2,             // left and right swapped
        HALF_TURN = 3,
        FLIPPED = 4,              // top and bottom swapped
        TRANSPOSED = 5,           // mirrored, then a quarter turn anticlockwise
        QUARTER_CLOCKWISE = 6,    // turned a quarter clockwise to stand upright
        TRANSVERSED = 7,          // mirrored, then a quarter turn clockwise
        QUARTER_ANTICLOCKWISE = 8,
    };

    // The stored size and the orientation (anything outside 1..8 counts as
    // 1). False when the upright size is over the limits or the heap refuses
    // the block: the decoder then stops and reports the picture as too large.
    bool begin(std::uint64_t stored_width, std::uint64_t stored_height, int orientation = AS_STORED);

    // Where stored row y (counted from the top) goes: its first pixel's
    // three bytes, and the step in bytes from one pixel to the next.
    struct Place {
        std::uint8_t* first;
        std::ptrdiff_t step;
    };
    Place stored_row(std::uint32_t y) const;

    // Installs the picture in the record; false (record untouched) when
    // begin() never succeeded.
    bool finish();

private:
    ImageRecord& record_;
    // The upright pixel (x, y), counted from the top left.
    std::uint8_t* at(std::uint32_t x, std::uint32_t y) const;

    HeapArray<std::uint8_t> block_;
    std::uint32_t width_ = 0, height_ = 0;  // upright
    std::uint32_t stored_width_ = 0, stored_height_ = 0;
    int orientation_ = AS_STORED;
    std::size_t stride_ = 0;
};
