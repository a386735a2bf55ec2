// Sobel gradient magnitude of the luma, grey, inside the one-pixel frame.
#include "ops/filters/luma_window.h"
#include "ops/operations.h"

bool sobel_filter(const ImageRecord& source, ImageRecord& destination)
{
    const std::uint8_t* roots = luma_filters::rounded_root_table();
    return luma_filters::run_3x3(
        source, destination,
        [roots](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            // Gx^2 + Gy^2 first for the whole run (vectorises), then the root.
            std::uint32_t squared[luma_filters::kRun];
            for (std::size_t i = 0; i < n; ++i) {
                const int gx = (d[i + 2] + 2 * m[i + 2] + u[i + 2]) - (d[i] + 2 * m[i] + u[i]);
                const int gy = (d[i] + 2 * d[i + 1] + d[i + 2]) - (u[i] + 2 * u[i + 1] + u[i + 2]);
                squared[i] = static_cast<std::uint32_t>(gx * gx + gy * gy);
            }
            for (std::size_t i = 0; i < n; ++i) out[i] = luma_filters::rounded_root(roots, squared[i]);
        });
}
