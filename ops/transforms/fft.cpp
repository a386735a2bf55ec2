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
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "image/cpu_features.h"
#include "image/parallel.h"
#include "ops/operations.h"
#include "ops/transforms/transform_block.h"

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
    std::size_t half = 4;
    for (int s = 3; s <= stages; ++s) {
        const std::size_t span = 2 * half;
        const double* const c = cs + (half - 1);
        const double* const sv = sn + (half - 1);
        for (std::size_t g = 0; g < n; g += span) {
            float* __restrict r1 = re + g;
            float* __restrict i1 = im + g;
            float* __restrict r2 = re + g + half;
            float* __restrict i2 = im + g + half;
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
        }
        half = span;
    }
}

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
// block in bit-reversed column order at the start of its first pass; every
// other pass reorders its rows from the planes themselves.
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
                }
                for (int ch = 0; ch < 3; ++ch) {
                    float* const re = p.re[ch] + k * n;
                    float* const im = p.im[ch] + k * n;
                    if (!load) {
                        bit_reverse_row(re, t);
                        bit_reverse_row(im, t);
                    }
                    stages(re, im, n, stage_count, t.cs.get(), t.sn.get());
                    if (direction < 0) {
                        for (std::size_t c = 0; c < n; ++c) {
                            re[c] = static_cast<float>(re[c] * scale);
                            im[c] = static_cast<float>(im[c] * scale);
                        }
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
