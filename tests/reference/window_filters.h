// Literal, slow versions of the windowed filters, written as plainly as the
// algorithms read: every window summed or copied and bubble-sorted afresh at
// every position, a row table of pointers moved along as the walk goes. They
// are the oracles the fast filters are compared with, byte for byte.
//
// Same protocol as the operations: the destination gets a block of the
// source's size when it has none, unwritten bytes keep what it held, the
// size fields are copied and the statistics recomputed.
#pragma once

#include <cstdint>

#include "image/image_record.h"

void reference_statistical_filter(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
void reference_smooth_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
void reference_smooth_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
void reference_median_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);
void reference_median_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture);

// The partial bubble sort: half + 1 passes leave the median at a[n / 2].
void reference_partial_bubble_sort(std::uint8_t* a, int n);
