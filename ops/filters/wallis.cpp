// Wallis filter: a logarithmic ratio of the centre's luma to its four direct
// neighbours, grey, inside the one-pixel frame.
//
//   ratio = c^4 / (above * left * right * below)
//   V     = trunc(ln(ratio + 0.5) * 0.25 * 800), 255 when outside 0..255
//
// Both products reach 255^4, past 32 bits but exact in a double. The ratio
// is undefined when a neighbour is black; such positions get 255, as the
// clamp gives every ratio far from 1.
#include <cmath>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

namespace {

std::uint8_t wallis_value(int c, std::uint64_t neighbours)
{
    if (neighbours == 0) return 255;
    const double c2 = static_cast<double>(c) * c;
    const double ratio = (c2 * c2) / static_cast<double>(neighbours);
    const int v = static_cast<int>(std::log(ratio + 0.5) * 0.25 * 800.0);
    return static_cast<std::uint8_t>(v < 0 || v > 255 ? 255 : v);
}

}  // namespace

bool wallis_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(
        source, destination,
        [](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t p = std::uint64_t{u[i + 1]} * m[i] * m[i + 2] * d[i + 1];
                out[i] = wallis_value(m[i + 1], p);
            }
        });
}
