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

bool linear_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(
        source, destination,
        [](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            for (std::size_t i = 0; i < n; ++i) {
                const int ring = d[i] + d[i + 1] + d[i + 2] + m[i] + m[i + 2] + u[i] + u[i + 1] + u[i + 2];
                out[i] = clamp_byte(8 * m[i + 1] - ring);
            }
        });
}

bool laplace_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(
        source, destination,
        [](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            for (std::size_t i = 0; i < n; ++i) {
                const int direct = d[i + 1] + m[i] + m[i + 2] + u[i + 1];
                const int diagonal = d[i] + d[i + 2] + u[i] + u[i + 2];
                out[i] = clamp_byte(12 * m[i + 1] - 2 * direct - diagonal);
            }
        });
}
