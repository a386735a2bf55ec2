// Radix-2 decimation-in-time Fourier transform of the block, in place on the
// record, each colour channel on its own.
//
// The numbers are fixed to the bit: the twiddle angle uses 6.28318 for 2 pi,
// every product and sum of a butterfly is formed in double and each result
// is stored as a float at once. The sines and cosines come from a table made
// per call whose entries are computed by the very expression the butterfly
// would evaluate, so they are the same doubles; the rows run on several
// threads, each row on its own, so the result does not depend on them.
//
// A two-dimensional transform transposes the planes after the row pass and
// transforms the rows again, leaving the spectrum transposed: [k][c] holds
// horizontal frequency k and vertical frequency c. The inverse repeats the
// same sequence, scaling each row by 1/n after its butterflies, and so
// restores the block in its own orientation.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "image/cpu_features.h"
#include "image/parallel.h"
#include "ops/operations.h"
#include "ops/transforms/transform_block.h"

// The stages from half-span 4 on: for every group of every stage,
// body(r1, i1, r2, i2, c, s, half) with the group's lower and upper halves
// and the stage's twiddles.
template <class Body>
[[gnu::always_inline]] inline void wide_stages(float* re, float* im, std::size_t n, int stages, const double* cs,
                                               const double* sn, Body&& body)
{
    std::size_t half = 4;
    for (int s = 3; s <= stages; ++s, half *= 2)
        for (std::size_t g = 0; g < n; g += 2 * half)
            body(re + g, im + g, re + g + half, im + g + half, cs + (half - 1), sn + (half - 1), half);
}

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

struct FftTables {
    HeapArray<std::int32_t> rev;
    // The pairs (c, rev[c]) with c < rev[c], one after the other: a row is
    // reordered by swapping them, since the table is its own inverse.
    HeapArray<std::int32_t> swaps;
    std::size_t swap_count = 0;
    // Twiddles of the stage whose half-span is h sit at [h - 1, 2h - 1).
    HeapArray<double> cs, sn;
};

bool take_tables(int n, int direction, int stages, FftTables& t)
{
    t.rev = HeapArray<std::int32_t>::allocate(static_cast<std::size_t>(n));
    t.cs = HeapArray<double>::allocate(static_cast<std::size_t>(n));
    t.sn = HeapArray<double>::allocate(static_cast<std::size_t>(n));
    t.swaps = HeapArray<std::int32_t>::allocate(static_cast<std::size_t>(n));
    if (!t.rev || !t.cs || !t.sn || !t.swaps) return false;
    fill_bit_reversal(t.rev.get(), n, stages);
    for (int c = 0; c < n; ++c)
        if (c < t.rev[c]) {
            t.swaps[2 * t.swap_count] = c;
            t.swaps[2 * t.swap_count + 1] = t.rev[c];
            ++t.swap_count;
        }
    for (int half = 1; half < n; half *= 2) {
        const int span = 2 * half;
        for (int D = 0; D < half; ++D) {
            const double theta = direction * 6.28318 * D / span;
            t.cs[half - 1 + D] = std::cos(theta);
            t.sn[half - 1 + D] = std::sin(theta);
        }
    }
    return true;
}

// One butterfly: (x2 + i y2) times e^(-i theta) added to and taken from
// (x1 + i y1), in double, each result rounded to float.
inline void butterfly(float* __restrict re, float* __restrict im, std::size_t i1, std::size_t i2, double cs, double sn)
{
    const double x1 = re[i1], y1 = im[i1], x2 = re[i2], y2 = im[i2];
    const double tr = x2 * cs + y2 * sn;
    const double ti = y2 * cs - x2 * sn;
    re[i2] = static_cast<float>(x1 - tr);
    im[i2] = static_cast<float>(y1 - ti);
    re[i1] = static_cast<float>(x1 + tr);
    im[i1] = static_cast<float>(y1 + ti);
}

#if defined(__wasm_simd128__)

// WebAssembly: the butterflies of every stage four at a time in its vector
// instructions, the same operations in the same order on each lane. The loop
// vectoriser of the compiler would narrow each double result to float lane by
// lane; f32x4.demote_f64x2_zero narrows two at once.
namespace simd {

inline v128_t low(v128_t v) { return wasm_f64x2_promote_low_f32x4(v); }
inline v128_t high(v128_t v) { return wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(v, v, 2, 3, 2, 3)); }
// Two pairs of doubles as four floats: a's two, then b's two.
inline v128_t narrow(v128_t a, v128_t b)
{
    return wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(a), wasm_f32x4_demote_f64x2_zero(b), 0, 1, 4, 5);
}

// Two butterflies whose lanes are given as doubles; sums into *_sum, differences into *_diff.
struct Pair {
    v128_t re_sum, im_sum, re_diff, im_diff;
};
inline Pair butterflies(v128_t x1, v128_t y1, v128_t x2, v128_t y2, v128_t c, v128_t s)
{
    const v128_t tr = wasm_f64x2_add(wasm_f64x2_mul(x2, c), wasm_f64x2_mul(y2, s));
    const v128_t ti = wasm_f64x2_sub(wasm_f64x2_mul(y2, c), wasm_f64x2_mul(x2, s));
    return {wasm_f64x2_add(x1, tr), wasm_f64x2_add(y1, ti), wasm_f64x2_sub(x1, tr), wasm_f64x2_sub(y1, ti)};
}

}  // namespace simd

[[gnu::always_inline]] inline void stages_body(float* __restrict re, float* __restrict im, std::size_t n, int stages,
                                                const double* cs, const double* sn)
{
    using namespace simd;
    if (n < 4) {  // a block of 2
        butterfly(re, im, 0, 1, cs[0], sn[0]);
        return;
    }
    // Half-span 1: lanes 0, 2 meet lanes 1, 3, with twiddle 0.
    {
        const v128_t c = wasm_f64x2_splat(cs[0]), s = wasm_f64x2_splat(sn[0]);
        for (std::size_t g = 0; g < n; g += 4) {
            const v128_t r = wasm_v128_load(re + g), i = wasm_v128_load(im + g);
            const v128_t r_even = wasm_i32x4_shuffle(r, r, 0, 2, 0, 2), r_odd = wasm_i32x4_shuffle(r, r, 1, 3, 1, 3);
            const v128_t i_even = wasm_i32x4_shuffle(i, i, 0, 2, 0, 2), i_odd = wasm_i32x4_shuffle(i, i, 1, 3, 1, 3);
            const Pair b = butterflies(low(r_even), low(i_even), low(r_odd), low(i_odd), c, s);
            const v128_t re_sum = wasm_f32x4_demote_f64x2_zero(b.re_sum), re_diff = wasm_f32x4_demote_f64x2_zero(b.re_diff);
            const v128_t im_sum = wasm_f32x4_demote_f64x2_zero(b.im_sum), im_diff = wasm_f32x4_demote_f64x2_zero(b.im_diff);
            wasm_v128_store(re + g, wasm_i32x4_shuffle(re_sum, re_diff, 0, 4, 1, 5));
            wasm_v128_store(im + g, wasm_i32x4_shuffle(im_sum, im_diff, 0, 4, 1, 5));
        }
    }
    if (stages < 2) return;
    // Half-span 2: lanes 0, 1 meet lanes 2, 3, with twiddles 1 and 2.
    {
        const v128_t c = wasm_v128_load(cs + 1), s = wasm_v128_load(sn + 1);
        for (std::size_t g = 0; g < n; g += 4) {
            const v128_t r = wasm_v128_load(re + g), i = wasm_v128_load(im + g);
            const Pair b = butterflies(low(r), low(i), high(r), high(i), c, s);
            wasm_v128_store(re + g, narrow(b.re_sum, b.re_diff));
            wasm_v128_store(im + g, narrow(b.im_sum, b.im_diff));
        }
    }
    wide_stages(re, im, n, stages, cs, sn,
                [](float* r1, float* i1, float* r2, float* i2, const double* c, const double* sv,
                   std::size_t half) __attribute__((always_inline)) {
            for (std::size_t D = 0; D < half; D += 4) {
                const v128_t x1 = wasm_v128_load(r1 + D), y1 = wasm_v128_load(i1 + D);
                const v128_t x2 = wasm_v128_load(r2 + D), y2 = wasm_v128_load(i2 + D);
                const v128_t c_low = wasm_v128_load(c + D), c_high = wasm_v128_load(c + D + 2);
                const v128_t s_low = wasm_v128_load(sv + D), s_high = wasm_v128_load(sv + D + 2);
                const Pair a = butterflies(low(x1), low(y1), low(x2), low(y2), c_low, s_low);
                const Pair b = butterflies(high(x1), high(y1), high(x2), high(y2), c_high, s_high);
                wasm_v128_store(r1 + D, narrow(a.re_sum, b.re_sum));
                wasm_v128_store(i1 + D, narrow(a.im_sum, b.im_sum));
                wasm_v128_store(r2 + D, narrow(a.re_diff, b.re_diff));
                wasm_v128_store(i2 + D, narrow(a.im_diff, b.im_diff));
            }
        });
}

#else

// The butterflies vectorise across D. Half-spans 1 and 2 have too few
// butterflies per group for that; they run group by group with their one or
// two twiddles.
[[gnu::always_inline]] inline void stages_body(float* __restrict re, float* __restrict im, std::size_t n, int stages,
                                                const double* cs, const double* sn)
{
    for (std::size_t g = 0; g < n; g += 2) butterfly(re, im, g, g + 1, cs[0], sn[0]);
    if (stages < 2) return;
    for (std::size_t g = 0; g < n; g += 4) {
        butterfly(re, im, g, g + 2, cs[1], sn[1]);
        butterfly(re, im, g + 1, g + 3, cs[2], sn[2]);
    }
    wide_stages(re, im, n, stages, cs, sn,
                [](float* __restrict r1, float* __restrict i1, float* __restrict r2, float* __restrict i2,
                   const double* c, const double* sv, std::size_t half) __attribute__((always_inline)) {
LUMAFORGE_IVDEP
            for (std::size_t D = 0; D < half; ++D) {
                const double x1 = r1[D], y1 = i1[D], x2 = r2[D], y2 = i2[D];
                const double tr = x2 * c[D] + y2 * sv[D];
                const double ti = y2 * c[D] - x2 * sv[D];
                r2[D] = static_cast<float>(x1 - tr);
                i2[D] = static_cast<float>(y1 - ti);
                r1[D] = static_cast<float>(x1 + tr);
                i1[D] = static_cast<float>(y1 + ti);
            }
        });
}

#endif

using StagesFn = decltype(&stages_body);

// Reorders one row by the bit-reversal table: row[c] = old row[rev[c]].
inline void bit_reverse_row(float* row, const FftTables& t)
{
    const std::int32_t* pair = t.swaps.get();
    for (std::size_t i = 0; i < t.swap_count; ++i, pair += 2) std::swap(row[pair[0]], row[pair[1]]);
}

struct Planes {
    float* re[3];  // blue, green, red
    float* im[3];
};

Planes planes_of(ImageRecord& record)
{
    return {{record.coef_re_b.get(), record.coef_re_g.get(), record.coef_re_r.get()},
            {record.coef_im_b.get(), record.coef_im_g.get(), record.coef_im_r.get()}};
}

// Runs the passes on the record's six planes. A forward transform loads the
// block in bit-reversed column order at the start of its first pass, and
// clears the imaginary rows; every other pass reorders its rows from the
// planes themselves.
void run_passes(ImageRecord& record, int passes, int direction, std::size_t n, int stage_count, const FftTables& t)
{
    const StagesFn stages = pick_copy<&stages_body, CpuLevel::avx2>();
    const Planes p = planes_of(record);
    const std::size_t stride = record.stride();
    const std::uint8_t* const pixels = record.pixels.get();
    const std::int32_t* const rev = t.rev.get();
    const double scale = 1.0 / static_cast<double>(n);
    const std::size_t work = 3 * n * n * static_cast<std::size_t>(stage_count);

    for (int pass = 0; pass < passes; ++pass) {
        if (pass == 1) {
            for (int ch = 0; ch < 3; ++ch) {
                transpose_block(p.re[ch], n);
                transpose_block(p.im[ch], n);
            }
        }
        const bool load = direction > 0 && pass == 0;
        // The last pass's real rows are scaled as the block is stored, and
        // its imaginary rows are released unread.
        const bool scaled = direction < 0 && pass + 1 < passes;
        parallel_rows(n, work, [&](std::size_t first, std::size_t end) {
            for (std::size_t k = first; k < end; ++k) {
                if (load) {
                    const std::uint8_t* const src = pixels + k * stride;
                    for (std::size_t c = 0; c < n; ++c) {
                        const std::uint8_t* const px = src + 3 * static_cast<std::size_t>(rev[c]);
                        p.re[0][k * n + c] = static_cast<float>(px[0]);
                        p.re[1][k * n + c] = static_cast<float>(px[1]);
                        p.re[2][k * n + c] = static_cast<float>(px[2]);
                    }
                    for (int ch = 0; ch < 3; ++ch) std::fill_n(p.im[ch] + k * n, n, 0.0f);
                }
                for (int ch = 0; ch < 3; ++ch) {
                    float* const re = p.re[ch] + k * n;
                    float* const im = p.im[ch] + k * n;
                    if (!load) {
                        bit_reverse_row(re, t);
                        bit_reverse_row(im, t);
                    }
                    stages(re, im, n, stage_count, t.cs.get(), t.sn.get());
                    if (scaled) {
                        scale_row(re, n, scale);
                        scale_row(im, n, scale);
                    }
                }
            }
        });
    }
}

class FftArithmetic final : public BlockArithmetic {
public:
    bool prepare(int n, int direction) override
    {
        stages_ = transform_stages(n);
        return take_tables(n, direction, stages_, tables_);
    }
    void run(ImageRecord& record, int passes, int direction) override
    {
        run_passes(record, passes, direction, static_cast<std::size_t>(record.block_size), stages_, tables_);
    }

private:
    int stages_ = 0;
    FftTables tables_;
};

const TransformKind kFourier = {
    {TRANSFORM_FFT_LINEAR, TRANSFORM_FFT_2D},
    6,
    {&ImageRecord::coef_re_r, &ImageRecord::coef_re_g, &ImageRecord::coef_re_b, &ImageRecord::coef_im_r,
     &ImageRecord::coef_im_g, &ImageRecord::coef_im_b},
};

}  // namespace

bool fft_block(ImageRecord& record, int passes, int direction, int n)
{
    FftArithmetic arithmetic;
    return transform_block(record, kFourier, arithmetic, passes, direction, n);
}
