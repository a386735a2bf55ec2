// What the Fourier and Walsh block transforms share.
//
// The block of size n is the first n pixels of the first n rows of the pixel
// block (on screen, the bottom-left corner). Block row k starts at byte
// k * stride, column c at 3c within it (blue, green, red). A transform never
// touches a byte outside the block, padding included.
//
// Coefficient planes are n * n floats, row-major: [k][c] at k * n + c. The
// record owns them from the forward transform until the matching inverse.
// Fourier holds six (real and imaginary, red/green/blue), Walsh the three
// real ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/heap.h"
#include "image/image_record.h"

// The butterfly loops touch disjoint halves of a row: no aliasing checks.
// Their copies for wider vectors come from pick_copy (image/cpu_features.h).
#if defined(__clang__)
#define LUMAFORGE_IVDEP _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define LUMAFORGE_IVDEP _Pragma("GCC ivdep")
#else
#define LUMAFORGE_IVDEP
#endif

// floor(log10(n) * 3.321928047038501 + 0.5) in double: log2 n for the powers
// of two that occur.
int transform_stages(int n);

// True when n is a power of two from 2 up and the n x n block lies inside the
// record's pixel block.
bool block_fits(const ImageRecord& record, int n);

// Writes coef_re_b/g/r into the block's blue, green and red bytes: each value
// truncated toward zero to a 64-bit integer, its low 8 bits kept (300 -> 44,
// -1 -> 255, 99.99998 -> 99). n is the record's block_size.
void store_block(ImageRecord& record);

// Swaps [l][m] with [m][l] for every l < m, in place; values move bit for bit.
void transpose_block(float* plane, std::size_t n);

// rev[m] is m with its log2 n low bits reversed, built as 0, n/2 and then
// rev[m] = rev[m - j] + n / (2j) for m in [j, 2j), j = 2, 4, ... n/2.
void fill_bit_reversal(std::int32_t* rev, int n, int stages);

// Takes `count` planes of n * n floats, zero-filled; all or none.
bool take_planes(HeapArray<float>* const* planes, int count, std::size_t n);
