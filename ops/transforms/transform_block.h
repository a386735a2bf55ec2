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

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

// The butterfly loops touch disjoint halves of a row: no aliasing checks.
// Their copies for wider vectors come from pick_copy (image/cpu_features.h).
// A target without vectors (WebAssembly without SIMD) gets no hint: clang
// reports the loop it cannot vectorise as an error under -Werror.
#if defined(__wasm__) && !defined(__wasm_simd128__)
#define LUMAFORGE_IVDEP
#elif defined(__clang__)
#define LUMAFORGE_IVDEP _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define LUMAFORGE_IVDEP _Pragma("GCC ivdep")
#else
#define LUMAFORGE_IVDEP
#endif

// What a record's transform_state says is pending: the number of passes
// (1 rows only, 2 two-dimensional; 0 when nothing, or nothing known, is
// pending) and of which kind.
int transform_passes(std::int32_t transform_state);
bool is_fourier_state(std::int32_t transform_state);
bool is_walsh_state(std::int32_t transform_state);

// A kind of block transform as the driver sees it: the states a forward
// transform of one and of two passes leaves, and the record's planes it owns,
// taken in this order (the three real planes among them: the block is
// written back from those).
struct TransformKind {
    std::int32_t states[2];
    int plane_count;
    HeapArray<float> ImageRecord::* planes[6];
};

// The arithmetic a kind brings. prepare takes what a run over n-point rows
// needs besides the planes, returning false when the heap refuses; run does
// `passes` passes over the record's planes, a forward run loading the block
// into them first. The driver writes the block back afterwards. A forward
// run gets its planes uninitialized and writes every element before reading
// it. An inverse run scales each pass's rows by 1/n but the last pass's:
// the driver multiplies those as it writes the block back (the planes are
// released then, so the scaled values are never needed as floats).
class BlockArithmetic {
public:
    virtual bool prepare(int n, int direction) = 0;
    virtual void run(ImageRecord& record, int passes, int direction) = 0;

protected:
    ~BlockArithmetic() = default;
};

// The driver both kinds share.
//  - Forward (direction +1) while any transform is pending, with passes other
//    than 1 or 2, or with a block that does not fit: nothing happens.
//    Otherwise the arithmetic is prepared and every plane taken, all or none
//    (false, nothing changed); then the state and block_size are set and the
//    block shows the coefficients.
//  - Inverse (direction -1) with nothing of this kind pending, or with a
//    block or planes that no longer match the record: nothing happens.
//    Otherwise the pending passes run backwards, the block is restored, this
//    kind's planes (and no others) are released and the state cleared;
//    block_size stays.
//  - Any other direction does nothing. Only a refused allocation returns false.
bool transform_block(ImageRecord& record, const TransformKind& kind, BlockArithmetic& arithmetic, int passes,
                     int direction, int n);

// floor(log10(n) * 3.321928047038501 + 0.5) in double: log2 n for the powers
// of two that occur.
int transform_stages(int n);

// True when n is a power of two from 2 up and the n x n block lies inside the
// record's pixel block.
bool block_fits(const ImageRecord& record, int n);

// Writes coef_re_b/g/r times `scale` into the block's blue, green and red
// bytes: each value truncated toward zero to a 64-bit integer, its low 8 bits
// kept (300 -> 44, -1 -> 255, 99.99998 -> 99). n is the record's block_size.
// `scale` is 1 or 1/n: a power of two, so the float product is the same
// float as the double product narrowed (both are the exact product rounded
// once), and the bytes are those of scale_row and then storing.
void store_block(ImageRecord& record, double scale = 1.0);

// row[c] = float(row[c] * scale) in double, c in [0, n): the end of each of
// an inverse's passes but the last. Inline, so that in WebAssembly it is compiled with the row loops that
// the forward transform has already made hot (the engine optimises a function
// only after some calls, and the first inverse would run it unoptimised).
inline void scale_row(float* row, std::size_t n, double scale)
{
    std::size_t c = 0;
#if defined(__wasm_simd128__)
    // WebAssembly: four at a time (the compiler's vectoriser would narrow
    // each product to float lane by lane).
    const v128_t factor = wasm_f64x2_splat(scale);
    for (; c + 4 <= n; c += 4) {
        const v128_t v = wasm_v128_load(row + c);
        const v128_t low = wasm_f64x2_mul(wasm_f64x2_promote_low_f32x4(v), factor);
        const v128_t high = wasm_f64x2_mul(wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(v, v, 2, 3, 2, 3)), factor);
        wasm_v128_store(row + c, wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(low),
                                                    wasm_f32x4_demote_f64x2_zero(high), 0, 1, 4, 5));
    }
#endif
    for (; c < n; ++c) row[c] = static_cast<float>(row[c] * scale);
}

// Swaps [l][m] with [m][l] for every l < m, in place; values move bit for bit.
void transpose_block(float* plane, std::size_t n);

// rev[m] is m with its log2 n low bits reversed, built as 0, n/2 and then
// rev[m] = rev[m - j] + n / (2j) for m in [j, 2j), j = 2, 4, ... n/2.
void fill_bit_reversal(std::int32_t* rev, int n, int stages);
