// Every image operation the dispatcher runs.
//
// The ordinary operations follow one protocol: read `source` (never
// changed), give `destination` a pixel block of the source's data_size when
// it has none (a block it holds is reused as it is), write the result, copy
// the size fields and recompute the destination's statistics. Bytes an
// operation does not write (padding, a filter's frame) keep what the block
// held. Each takes every buffer it needs before it writes anything and
// returns false, with both records untouched, when the heap refuses.
//
// The block transforms work in place on one record and keep their
// coefficients in it until the matching inverse. Segmentation
// (ops/segment/segment.h) only reads its record and returns frames.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "ops/filters/custom_kernel.h"

// Beside each operation, its explain_* function: how one pixel of its result
// came about, for the explanation panel and --explain (ops/explain.h).
struct Explanation;
struct PixelQuestion;

// Point operations.
bool to_grayscale(const ImageRecord& source, ImageRecord& destination);
Explanation explain_grayscale(const PixelQuestion& q);
bool binarize(const ImageRecord& source, ImageRecord& destination, std::uint8_t threshold);
Explanation explain_binarize(const PixelQuestion& q, std::uint8_t threshold);
bool make_negative(const ImageRecord& source, ImageRecord& destination);
Explanation explain_negative(const PixelQuestion& q);
bool adjust_brightness(const ImageRecord& source, ImageRecord& destination, std::int16_t offset);
Explanation explain_brightness(const PixelQuestion& q, std::int16_t offset);
bool adjust_contrast(const ImageRecord& source, ImageRecord& destination, float factor);
Explanation explain_contrast(const PixelQuestion& q, float factor);

// Neighbourhood filters on the luma plane.
bool roberts_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_roberts(const PixelQuestion& q);
bool sobel_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_sobel(const PixelQuestion& q);
bool kirsch_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_kirsch(const PixelQuestion& q);
bool wallis_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_wallis(const PixelQuestion& q);
bool linear_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_linear(const PixelQuestion& q);
bool laplace_filter(const ImageRecord& source, ImageRecord& destination);
Explanation explain_laplace(const PixelQuestion& q);
bool statistical_filter(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
Explanation explain_statistical(const PixelQuestion& q, std::uint8_t aperture);

// A kernel of the user's own, on the luma or on each channel
// (ops/filters/custom_kernel.h); `kernel` must be kernel_valid.
bool custom_kernel_filter(const ImageRecord& source, ImageRecord& destination, const CustomKernel& kernel);
Explanation explain_custom_kernel(const PixelQuestion& q, const CustomKernel& kernel);

// Filters on each colour channel; aperture 3, 5, ... 21.
bool smooth_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
Explanation explain_smooth_2d(const PixelQuestion& q, std::uint8_t aperture);
bool smooth_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
Explanation explain_smooth_linear(const PixelQuestion& q, std::uint8_t aperture);
bool median_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
Explanation explain_median_linear(const PixelQuestion& q, std::uint8_t aperture);
bool median_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
Explanation explain_median_2d(const PixelQuestion& q, std::uint8_t aperture);

// Impulse noise: `points` (2 to 65534) random pixels drawn by the generator
// started from `seed` (the program passes the calendar time in seconds unless
// the session fixes a seed); its explanation replays the generator.
bool add_noise(const ImageRecord& source, ImageRecord& destination, std::int32_t points, std::uint32_t seed);
Explanation explain_noise(const PixelQuestion& q, std::int32_t points, std::uint32_t seed);

// Block transforms of the n x n block at the start of the pixel block.
// passes 1 (rows) or 2 (two-dimensional), direction +1 forward or -1 inverse;
// an inverse reads its passes and block size from the record.
bool fft_block(ImageRecord& record, int passes, int direction, int n);
bool walsh_block(ImageRecord& record, int passes, int direction, int n);
// Which block a pixel belongs to, its size and state (q.source is not read).
Explanation explain_block(const PixelQuestion& q);
