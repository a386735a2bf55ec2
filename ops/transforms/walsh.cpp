// Walsh-Hadamard transform of the block in natural (Hadamard) order, in
// place on the record, each colour channel on its own, sums stored as floats.
// Coefficient [k][c] of a row is the sum of x[j] * (-1)^popcount(c & j); it
// is exact while the sums stay below 2^24, so forward then inverse gives
// every byte back for the linear transform and for 2-D blocks up to 256.
//
// A two-dimensional transform transposes the planes after the row pass and
// transforms the rows again; the inverse scales each row by 1/n after its
// butterflies (the last pass's rows as the block is stored). Rows are independent and run on several threads.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "image/cpu_features.h"
#include "image/parallel.h"
#include "ops/operations.h"
#include "ops/transforms/transform_block.h"

namespace {

typedef float Floats __attribute__((vector_size(16)));

[[gnu::always_inline]] inline void walsh_row_body(float* __restrict row, std::size_t n, int stages)
{
    std::size_t half = 1;
    int s = 1;
    if (stages >= 2) {
        // The first two stages together, a group of four at a time: the
        // same sums and differences as the loops below, lanes shuffled in
        // vectors rather than left scalar (a half of one or two is too
        // short for the loop vectorizers).
        for (std::size_t g = 0; g < n; g += 4) {
            Floats v;
            std::memcpy(&v, row + g, sizeof v);
            const Floats a = __builtin_shufflevector(v, v, 0, 0, 2, 2), b = __builtin_shufflevector(v, v, 1, 1, 3, 3);
            const Floats t = __builtin_shufflevector(a + b, a - b, 0, 4, 2, 6);  // after the first stage
            const Floats lo = __builtin_shufflevector(t, t, 0, 1, 0, 1), hi = __builtin_shufflevector(t, t, 2, 3, 2, 3);
            const Floats r = __builtin_shufflevector(lo + hi, lo - hi, 0, 1, 6, 7);
            std::memcpy(row + g, &r, sizeof r);
        }
        half = 4;
        s = 3;
    }
    for (; s <= stages; ++s) {
        const std::size_t span = 2 * half;
        if (half == 1) {
            for (std::size_t g = 0; g < n; g += 2) {
                const float a = row[g], b = row[g + 1];
                row[g] = a + b;
                row[g + 1] = a - b;
            }
#if defined(__wasm__)
        } else if (s + 2 <= stages) {
            // This stage and the next two in one sweep over the row: each
            // element is loaded and stored once for the three, with the same
            // sums and differences in the same order. Only in WebAssembly,
            // where each load and store costs more: on x86 two stages a
            // sweep are faster (eight rows of vectors do not stay in SSE2's
            // registers).
            for (std::size_t g = 0; g < n; g += 4 * span) {
                float* __restrict q[8];
                for (int j = 0; j < 8; ++j) q[j] = row + g + j * half;
LUMAFORGE_IVDEP
                for (std::size_t D = 0; D < half; ++D) {
                    const float a0 = q[0][D] + q[1][D], a1 = q[0][D] - q[1][D];
                    const float a2 = q[2][D] + q[3][D], a3 = q[2][D] - q[3][D];
                    const float a4 = q[4][D] + q[5][D], a5 = q[4][D] - q[5][D];
                    const float a6 = q[6][D] + q[7][D], a7 = q[6][D] - q[7][D];
                    const float b0 = a0 + a2, b2 = a0 - a2, b1 = a1 + a3, b3 = a1 - a3;
                    const float b4 = a4 + a6, b6 = a4 - a6, b5 = a5 + a7, b7 = a5 - a7;
                    q[0][D] = b0 + b4;
                    q[4][D] = b0 - b4;
                    q[1][D] = b1 + b5;
                    q[5][D] = b1 - b5;
                    q[2][D] = b2 + b6;
                    q[6][D] = b2 - b6;
                    q[3][D] = b3 + b7;
                    q[7][D] = b3 - b7;
                }
            }
            s += 2;
            half = 4 * span;
            continue;
#endif
        } else if (s < stages) {
            // This stage and the next in one sweep: each element is loaded
            // and stored once for both, with the same sums and differences
            // in the same order.
            for (std::size_t g = 0; g < n; g += 2 * span) {
                float* __restrict q0 = row + g;
                float* __restrict q1 = q0 + half;
                float* __restrict q2 = q0 + span;
                float* __restrict q3 = q2 + half;
LUMAFORGE_IVDEP
                for (std::size_t D = 0; D < half; ++D) {
                    const float a = q0[D] + q1[D], b = q0[D] - q1[D];
                    const float c = q2[D] + q3[D], d = q2[D] - q3[D];
                    q0[D] = a + c;
                    q2[D] = a - c;
                    q1[D] = b + d;
                    q3[D] = b - d;
                }
            }
            ++s;
            half = 2 * span;
            continue;
        } else {
            for (std::size_t g = 0; g < n; g += span) {
                float* __restrict lo = row + g;
                float* __restrict hi = row + g + half;
LUMAFORGE_IVDEP
                for (std::size_t D = 0; D < half; ++D) {
                    const float a = lo[D], b = hi[D];
                    lo[D] = a + b;
                    hi[D] = a - b;
                }
            }
        }
        half = span;
    }
}

void run_passes(ImageRecord& record, int passes, int direction, std::size_t n, int stages)
{
    const auto walsh_row = pick_copy<&walsh_row_body, CpuLevel::avx2>();
    float* const planes[3] = {record.coef_re_b.get(), record.coef_re_g.get(), record.coef_re_r.get()};
    const std::size_t stride = record.stride();
    const std::uint8_t* const pixels = record.pixels.get();
    const double scale = 1.0 / static_cast<double>(n);
    const std::size_t work = 3 * n * n * static_cast<std::size_t>(stages);

    for (int pass = 0; pass < passes; ++pass) {
        if (pass == 1)
            for (float* plane : planes) transpose_block(plane, n);
        const bool load = direction > 0 && pass == 0;
        const bool scaled = direction < 0 && pass + 1 < passes;  // the last pass's as the block is stored
        parallel_rows(n, work, [&](std::size_t first, std::size_t end) {
            for (std::size_t k = first; k < end; ++k) {
                if (load) {
                    const std::uint8_t* px = pixels + k * stride;
                    for (std::size_t c = 0; c < n; ++c, px += 3) {
                        planes[0][k * n + c] = static_cast<float>(px[0]);
                        planes[1][k * n + c] = static_cast<float>(px[1]);
                        planes[2][k * n + c] = static_cast<float>(px[2]);
                    }
                }
                for (float* plane : planes) {
                    float* const row = plane + k * n;
                    walsh_row(row, n, stages);
                    if (scaled) scale_row(row, n, scale);
                }
            }
        });
    }
}

class WalshArithmetic final : public BlockArithmetic {
public:
    bool prepare(int, int) override { return true; }
    void run(ImageRecord& record, int passes, int direction) override
    {
        const int n = record.block_size;
        run_passes(record, passes, direction, static_cast<std::size_t>(n), transform_stages(n));
    }
};

// Only the real planes: the imaginary ones belong to Fourier.
const TransformKind kWalsh = {
    {TRANSFORM_WALSH_LINEAR, TRANSFORM_WALSH_2D},
    3,
    {&ImageRecord::coef_re_r, &ImageRecord::coef_re_g, &ImageRecord::coef_re_b},
};

}  // namespace

bool walsh_block(ImageRecord& record, int passes, int direction, int n)
{
    WalshArithmetic arithmetic;
    return transform_block(record, kWalsh, arithmetic, passes, direction, n);
}
