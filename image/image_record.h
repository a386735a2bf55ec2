// The image store: one ImageRecord per working buffer, the two working
// records and the selector of the one on display (ImageStore).
//
// Pixel block: 3 bytes per pixel in the order blue, green, red; rows stored
// bottom-up (the first row of the block is the bottom row of the picture);
// each row followed by row_padding bytes so that it occupies a multiple of 4
// bytes. Pixel (x, y) from the bottom-left corner starts at byte
// y * (3 * width + row_padding) + 3 * x: the pixel array of a 24-bit BMP.
//
// A record owns its pixel block and its coefficient planes. An empty
// `pixels` means the record holds no image; an image without pixels
// (width or height 0) still holds a block of 0 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "image/heap.h"

enum TransformState : std::int32_t {
    TRANSFORM_NONE = 0,
    TRANSFORM_FFT_LINEAR = 1,
    TRANSFORM_FFT_2D = 2,
    TRANSFORM_WALSH_LINEAR = 3,
    TRANSFORM_WALSH_2D = 4,
};

struct ImageRecord {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t row_padding = 0;
    std::int32_t data_size = 0;
    HeapArray<std::uint8_t> pixels;

    std::int32_t hist_r[256] = {};
    std::int32_t hist_g[256] = {};
    std::int32_t hist_b[256] = {};
    std::int32_t hist_luma[256] = {};
    std::int32_t max_r = 0, max_g = 0, max_b = 0, max_luma = 0;
    std::int32_t mean_r = 0, mean_g = 0, mean_b = 0;

    std::int32_t block_size = 0;
    std::int32_t transform_state = TRANSFORM_NONE;
    HeapArray<float> coef_re_r, coef_re_g, coef_re_b;
    HeapArray<float> coef_im_r, coef_im_g, coef_im_b;

    // Bytes from the start of one row of the block to the next.
    std::size_t stride() const { return 3u * width + row_padding; }
    // The block is stored bottom-up: picture row y, counted from the top, is
    // block row memory_row(y); pixel(x, y) is its blue byte, then green, red.
    std::size_t memory_row(int y) const { return static_cast<std::size_t>(height - 1 - y); }
    const std::uint8_t* pixel(int x, int y) const
    {
        return pixels.get() + memory_row(y) * stride() + 3 * static_cast<std::size_t>(x);
    }
};

// Row padding for a width: (4 - (3 * width mod 4)) mod 4.
inline std::uint8_t row_padding_for(std::uint32_t width)
{
    return static_cast<std::uint8_t>((4 - (3 * static_cast<std::uint64_t>(width)) % 4) % 4);
}

// The block size of a width x height picture, or nothing when it is over
// the limits every reader applies before allocating: a side over 65535, or
// a block of 2^31 bytes or more.
std::optional<std::uint64_t> block_size_within_limits(std::uint64_t width, std::uint64_t height);

// Gives `record` a picture of width x height whose rows are padded to 4
// bytes in `block`: its size fields, the block and its statistics.
void install_picture(ImageRecord& record, std::uint32_t width, std::uint32_t height, HeapArray<std::uint8_t> block);

// A record of the given size holding a fresh zero-filled block (no block
// when the heap refuses); statistics and transform fields zero.
ImageRecord blank_record(std::uint16_t width, std::uint16_t height);

// Copies width, height, row_padding and data_size from source to destination.
void copy_size_fields(const ImageRecord& source, ImageRecord& destination);

// Releases the coefficient planes and clears the pending transform.
void release_planes(ImageRecord& record);

// Operation protocol, step 1: gives the destination a pixel block of the
// source's data_size unless it holds one already (then reused as it is).
// Returns false, changing nothing, when the heap refuses.
bool ensure_destination(const ImageRecord& source, ImageRecord& destination);

// The two working records and the selector of the one on display. Each front
// end owns one (inside its session); nothing in the core keeps pictures
// globally. The selector points into the store, so a store is never copied.
struct ImageStore {
    ImageRecord image_a;
    ImageRecord image_b;
    ImageRecord* current_image = nullptr;  // nullptr: nothing loaded

    ImageStore() = default;
    ImageStore(const ImageStore&) = delete;
    ImageStore& operator=(const ImageStore&) = delete;

    // The record that current_image does not point to; image_a while nothing
    // is loaded.
    ImageRecord& other_record() { return current_image == &image_a ? image_b : image_a; }
    const ImageRecord& other_record() const { return current_image == &image_a ? image_b : image_a; }

    // Shutdown and a new file: releases, in this order, image_a's pixels, image_b's pixels,
    // image_a's six coefficient planes, then image_b's. Safe to call twice.
    void release_all_images();
};
