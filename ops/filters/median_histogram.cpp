// Median kernel by sliding histogram: rows too narrow for a band of the
// sorted-set kernel, one pixel at a time.
#include "ops/filters/median_kernels.h"
#include "ops/filters/window_support.h"

namespace median_kernels {

namespace {

// One channel's histogram of the window and its running middle m, with
// `below` values under it: below <= half < below + hist[m].
struct ChannelWindow {
    std::uint16_t hist[256] = {};
    unsigned middle = 0, below = 0;

    void start(const std::uint8_t* samples, unsigned n, unsigned half)
    {
        for (unsigned i = 0; i < n; ++i) ++hist[samples[3 * i]];
        while (below + hist[middle] <= half) below += hist[middle++];
    }

    void slide(unsigned leaving, unsigned entering, unsigned half)
    {
        unsigned m = middle, under = below;
        --hist[leaving];
        ++hist[entering];
        under = under - (leaving < m) + (entering < m);
        while (under > half) under -= hist[--m];
        while (under + hist[m] <= half) under += hist[m++];
        middle = m;
        below = under;
    }
};

}  // namespace

void histogram_row_medians(const std::uint8_t* row, std::size_t width, unsigned n, std::uint8_t* target)
{
    const window_filters::Span span = window_filters::output_span(width, n);
    if (span.count == 0) return;
    const unsigned half = n / 2;
    ChannelWindow channels[3];
    for (unsigned c = 0; c < 3; ++c) channels[c].start(row + c, n, half);
    for (std::size_t x = 0;; ++x) {
        for (unsigned c = 0; c < 3; ++c) target[3 * x + c] = static_cast<std::uint8_t>(channels[c].middle);
        if (x + 1 == span.count) break;
        for (unsigned c = 0; c < 3; ++c) channels[c].slide(row[3 * x + c], row[3 * (x + n) + c], half);
    }
}

}  // namespace median_kernels
