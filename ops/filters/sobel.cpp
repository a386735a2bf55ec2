// Sobel gradient magnitude of the luma, grey, inside the one-pixel frame.
#include <cmath>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

namespace {

// The two sums of the window whose column x-1 is at d, m, u (memory rows
// y-1, y, y+1).
inline int sum_x(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u)
{
    return (d[2] + 2 * m[2] + u[2]) - (d[0] + 2 * m[0] + u[0]);
}
inline int sum_y(const std::uint8_t* d, const std::uint8_t* u) { return (d[0] + 2 * d[1] + d[2]) - (u[0] + 2 * u[1] + u[2]); }

struct SobelKernel {
    const std::uint8_t* roots;
    void operator()(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n,
                    std::uint8_t* out) const
    {
        // Gx^2 + Gy^2 first for the whole run (vectorises), then the root.
        std::uint32_t squared[luma_filters::kRun];
        for (std::size_t i = 0; i < n; ++i) {
            const int gx = sum_x(d + i, m + i, u + i);
            const int gy = sum_y(d + i, u + i);
            squared[i] = static_cast<std::uint32_t>(gx * gx + gy * gy);
        }
        for (std::size_t i = 0; i < n; ++i) out[i] = luma_filters::rounded_root(roots, squared[i]);
    }
};

}  // namespace

bool sobel_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(source, destination, SobelKernel{luma_filters::rounded_root_table()});
}

Explanation explain_sobel(const PixelQuestion& q)
{
    Explanation e;
    luma_filters::Window3x3 w;
    if (!luma_filters::begin_3x3(q, e, w)) return e;
    const int gx = sum_x(w.below, w.row, w.above), gy = sum_y(w.below, w.above);
    explain::add_step(e, "gx", "Сумма по X", gx);
    explain::add_step(e, "gy", "Сумма по Y", gy);
    explain::add_step(e, "squares", "Gx² + Gy²", gx * gx + gy * gy);
    explain::add_step(e, "length", "Длина √(Gx² + Gy²) до округления и ограничения 255", std::sqrt(static_cast<double>(gx * gx + gy * gy)));
    e.result = explain::grey(luma_filters::kernel_value(w, SobelKernel{luma_filters::rounded_root_table()}));
    return e;
}
