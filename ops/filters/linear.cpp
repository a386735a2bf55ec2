// The two sharpening kernels on the luma, grey, clamped to 0..255, inside the
// one-pixel frame:
//   linear   8 c minus the eight neighbours;
//   Laplace  12 c, minus 2 for each direct neighbour, minus 1 for each
//            diagonal one.
// Both sum to zero, so flat areas give 0.
#include <algorithm>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

namespace {

inline std::uint8_t clamp_byte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

namespace {

struct LinearKernel {
    void operator()(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n,
                    std::uint8_t* out) const
    {
        using luma_filters::load_shorts;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {  // the loop below, eight positions at a time
            const luma_filters::Shorts ring = load_shorts(d + i) + load_shorts(d + i + 1) + load_shorts(d + i + 2) +
                                              load_shorts(m + i) + load_shorts(m + i + 2) + load_shorts(u + i) +
                                              load_shorts(u + i + 1) + load_shorts(u + i + 2);
            luma_filters::store_bytes(out + i, luma_filters::clamp_byte_shorts(8 * load_shorts(m + i + 1) - ring));
        }
        for (; i < n; ++i) {
            const int ring = d[i] + d[i + 1] + d[i + 2] + m[i] + m[i + 2] + u[i] + u[i + 1] + u[i + 2];
            out[i] = clamp_byte(8 * m[i + 1] - ring);
        }
    }
};

struct LaplaceKernel {
    void operator()(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n,
                    std::uint8_t* out) const
    {
        using luma_filters::load_shorts;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {  // the loop below, eight positions at a time
            const luma_filters::Shorts direct =
                load_shorts(d + i + 1) + load_shorts(m + i) + load_shorts(m + i + 2) + load_shorts(u + i + 1);
            const luma_filters::Shorts diagonal =
                load_shorts(d + i) + load_shorts(d + i + 2) + load_shorts(u + i) + load_shorts(u + i + 2);
            luma_filters::store_bytes(
                out + i, luma_filters::clamp_byte_shorts(12 * load_shorts(m + i + 1) - 2 * direct - diagonal));
        }
        for (; i < n; ++i) {
            const int direct = d[i + 1] + m[i] + m[i + 2] + u[i + 1];
            const int diagonal = d[i] + d[i + 2] + u[i] + u[i + 2];
            out[i] = clamp_byte(12 * m[i + 1] - 2 * direct - diagonal);
        }
    }
};

}  // namespace

bool linear_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(source, destination, LinearKernel{});
}

bool laplace_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(source, destination, LaplaceKernel{});
}

Explanation explain_linear(const PixelQuestion& q)
{
    Explanation e;
    luma_filters::Window3x3 w;
    if (!luma_filters::begin_3x3(q, e, w)) return e;
    const int ring = w.below[0] + w.below[1] + w.below[2] + w.row[0] + w.row[2] + w.above[0] + w.above[1] + w.above[2];
    explain::add_step(e, "centre_8", "8·c", 8 * w.c());
    explain::add_step(e, "neighbour_sum", "Сумма восьми соседей", ring);
    explain::add_step(e, "sum", "8·c − соседи, до ограничения 0..255", 8 * w.c() - ring);
    e.result = explain::grey(luma_filters::kernel_value(w, LinearKernel{}));
    return e;
}

Explanation explain_laplace(const PixelQuestion& q)
{
    Explanation e;
    luma_filters::Window3x3 w;
    if (!luma_filters::begin_3x3(q, e, w)) return e;
    const int direct = w.below[1] + w.row[0] + w.row[2] + w.above[1];
    const int diagonal = w.below[0] + w.below[2] + w.above[0] + w.above[2];
    explain::add_step(e, "centre_12", "12·c", 12 * w.c());
    explain::add_step(e, "direct_sum", "Сумма прямых соседей (вес −2)", direct);
    explain::add_step(e, "diagonal_sum", "Сумма диагональных соседей (вес −1)", diagonal);
    explain::add_step(e, "sum", "12·c − 2·прямые − диагональные, до ограничения 0..255", 12 * w.c() - 2 * direct - diagonal);
    e.result = explain::grey(luma_filters::kernel_value(w, LaplaceKernel{}));
    return e;
}
