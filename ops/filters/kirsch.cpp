// Kirsch compass operator on the luma, grey, inside the one-pixel frame.
//
// Mask k weighs three ring-consecutive neighbours by 5 and the other five by
// -3: G_k = |5 S_k - 3 (N - S_k)| = |8 S_k - 3 N| with N the sum of the
// eight neighbours (the centre takes no part). V is the largest G_k.
#include <algorithm>
#include <cstdlib>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

namespace {

struct KirschKernel {
    void operator()(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n,
                    std::uint8_t* out) const
    {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {  // the loop below, eight positions at a time
            using luma_filters::load_shorts;
            using luma_filters::max_shorts;
            const auto abs = [](luma_filters::Shorts v) { return max_shorts(v, -v); };
            const luma_filters::Shorts d0 = load_shorts(d + i), d1 = load_shorts(d + i + 1),
                                       d2 = load_shorts(d + i + 2), m2 = load_shorts(m + i + 2),
                                       u2 = load_shorts(u + i + 2), u1 = load_shorts(u + i + 1),
                                       u0 = load_shorts(u + i), m0 = load_shorts(m + i);
            const luma_filters::Shorts three_n = 3 * (d0 + d1 + d2 + m2 + u2 + u1 + u0 + m0);
            luma_filters::Shorts s = d0 + d1 + d2;
            luma_filters::Shorts best = abs(8 * s - three_n);
            s += m2 - d0;
            best = max_shorts(best, abs(8 * s - three_n));
            s += u2 - d1;
            best = max_shorts(best, abs(8 * s - three_n));
            s += u1 - d2;
            best = max_shorts(best, abs(8 * s - three_n));
            s += u0 - m2;
            best = max_shorts(best, abs(8 * s - three_n));
            s += m0 - u2;
            best = max_shorts(best, abs(8 * s - three_n));
            s += d0 - u1;
            best = max_shorts(best, abs(8 * s - three_n));
            s += d1 - u0;
            best = max_shorts(best, abs(8 * s - three_n));
            luma_filters::store_bytes(out + i, luma_filters::clamp_byte_shorts(best));
        }
        for (; i < n; ++i) {
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
    }
};

}  // namespace

bool kirsch_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(source, destination, KirschKernel{});
}

// The kernel keeps only the largest response; the panel shows all eight,
// each window formed from the previous one round the ring as the kernel does.
Explanation explain_kirsch(const PixelQuestion& q)
{
    Explanation e;
    luma_filters::Window3x3 w;
    if (!luma_filters::begin_3x3(q, e, w)) return e;
    const int ring[8] = {w.below[0], w.below[1], w.below[2], w.row[2], w.above[2], w.above[1], w.above[0], w.row[0]};
    int n = 0;
    for (int v : ring) n += v;
    std::vector<double> sums, responses;
    int s = ring[0] + ring[1] + ring[2], largest = 0;
    for (int k = 0; k < 8; ++k) {
        if (k > 0) s += ring[(k + 2) % 8] - ring[k - 1];
        const int g = std::abs(5 * s - 3 * (n - s));
        sums.push_back(s);
        responses.push_back(g);
        largest = std::max(largest, g);
    }
    explain::add_step(e, "neighbour_sum", "Сумма восьми соседей N", n);
    explain::add_step(e, "window_sums", "Суммы троек S1..S8 (снизу, против часовой стрелки)", std::move(sums));
    explain::add_step(e, "responses", "Отклики |5·S − 3·(N − S)|", std::move(responses));
    explain::add_step(e, "largest", "Наибольший отклик, до ограничения 255", largest);
    e.result = explain::grey(luma_filters::kernel_value(w, KirschKernel{}));
    return e;
}
