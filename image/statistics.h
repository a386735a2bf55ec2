// Statistics and brightness of an ImageRecord.
//
// luma(B, G, R) is trunc(((0.11*B + 0.5) + 0.59*G) + 0.3*R), every product
// and sum rounded to double in exactly this order; the order decides the
// pixels whose exact weighted sum ends in .5. White gives 255.
//
// compute_statistics rewrites the four histograms, their maxima and the three
// channel means of a record from its pixel block (padding bytes never
// count). make_luma_plane gives one luma byte per pixel, width bytes per row,
// rows in the block's bottom-up order, no padding.
#pragma once

#include <cstdint>

#include "image/heap.h"
#include "image/image_record.h"

// The double expression, evaluated as written.
inline std::uint8_t luma_in_double(std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    const double v = ((0.11 * b + 0.5) + 0.59 * g) + 0.3 * r;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

// The same value in integers: s = 100 times the exact weighted sum. Unless s
// is a multiple of 100 the exact sum lies at least 0.01 from a whole number,
// far beyond the few ulps the double evaluation can stray, so both truncate
// alike; on whole numbers (the sums ending in .5 before the rounding term)
// the double rounding decides, so those go through the double expression.
inline std::uint8_t luma(std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    const unsigned s = 11u * b + 59u * g + 30u * r + 50u;
    const unsigned q = (s * 5243u) >> 19;  // s / 100 for s <= 25550
    if (s != q * 100u) return static_cast<std::uint8_t>(q);
    return luma_in_double(b, g, r);
}

// The luma of `count` consecutive pixels (blue, green, red bytes) into
// out[0..count): the same values as luma(), several pixels at a time where
// the processor allows (cpu_level()).
void luma_row(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out);

void compute_statistics(ImageRecord& record);

// Stores finished counts as the record's histograms and derives the maxima
// and the means (64-bit channel sums, reciprocal of the pixel count first).
void store_statistics(ImageRecord& record, const std::uint64_t (&red)[256], const std::uint64_t (&green)[256],
                      const std::uint64_t (&blue)[256], const std::uint64_t (&lumas)[256]);

// Fills `plane` with a fresh plane of width*height bytes. Returns false (and
// leaves `plane` empty) when the heap refuses.
bool make_luma_plane(const ImageRecord& record, HeapArray<std::uint8_t>& plane);
