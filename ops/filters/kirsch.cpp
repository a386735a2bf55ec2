// Kirsch compass operator on the luma, grey, inside the one-pixel frame.
//
// Mask k weighs three ring-consecutive neighbours by 5 and the other five by
// -3: G_k = |5 S_k - 3 (N - S_k)| = |8 S_k - 3 N| with N the sum of the
// eight neighbours (the centre takes no part). V is the largest G_k.
#include <algorithm>
#include <cstdlib>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

bool kirsch_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(
        source, destination,
        [](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            for (std::size_t i = 0; i < n; ++i) {
                // The ring d0 d1 d2 m2 u2 u1 u0 m0; all values fit 16 bits.
                const int d0 = d[i], d1 = d[i + 1], d2 = d[i + 2], m2 = m[i + 2];
                const int u2 = u[i + 2], u1 = u[i + 1], u0 = u[i], m0 = m[i];
                const int three_n = 3 * (d0 + d1 + d2 + m2 + u2 + u1 + u0 + m0);
                int s = d0 + d1 + d2;
                int best = std::abs(8 * s - three_n);
                s += m2 - d0;
                best = std::max(best, std::abs(8 * s - three_n));
                s += u2 - d1;
                best = std::max(best, std::abs(8 * s - three_n));
                s += u1 - d2;
                best = std::max(best, std::abs(8 * s - three_n));
                s += u0 - m2;
                best = std::max(best, std::abs(8 * s - three_n));
                s += m0 - u2;
                best = std::max(best, std::abs(8 * s - three_n));
                s += d0 - u1;
                best = std::max(best, std::abs(8 * s - three_n));
                s += d1 - u0;
                best = std::max(best, std::abs(8 * s - three_n));
                out[i] = static_cast<std::uint8_t>(std::min(best, 255));
            }
        });
}
