// Median kernels by compare-exchange network, apertures up to kNetworkMax.
#include "image/cpu_features.h"
#include "ops/filters/median_kernels.h"
#include "ops/filters/window_support.h"

namespace median_kernels {

namespace {

// The middle of n values after half + 1 bubble passes, as compare-exchanges.
template <class T>
VECTOR_INLINE T bubble_middle(T* a, unsigned n)
{
    const unsigned half = n / 2;
    for (unsigned o = n - 1; o >= half && o > 0; --o)
        for (unsigned t = 0; t < o; ++t) {
            const T s = lower(a[t], a[t + 1]);
            a[t + 1] = upper(a[t], a[t + 1]);
            a[t] = s;
        }
    return a[half];
}

// out[b] = median of rows[k][b] for k < N, b < count. The last vector group
// may overlap the one before: each byte comes from its own samples, so
// writing it twice writes the same value.
template <unsigned N>
VECTOR_INLINE void network_medians(const std::uint8_t* const* rows, std::size_t count, std::uint8_t* out)
{
    if (count < kLanes) {
        std::uint8_t s[N];
        for (std::size_t b = 0; b < count; ++b) {
            for (unsigned k = 0; k < N; ++k) s[k] = rows[k][b];
            out[b] = bubble_middle(s, N);
        }
        return;
    }
    for (std::size_t b = 0;; b += kLanes) {
        const std::size_t at = b + kLanes <= count ? b : count - kLanes;
        Bytes a[N];
        for (unsigned k = 0; k < N; ++k) a[k] = load(rows[k] + at);
        store(out + at, bubble_middle(a, N));
        if (at + kLanes >= count) break;
    }
}

// The same for a run-time n up to kNetworkMax; each size gets its own
// unrolled network so the values stay in registers.
VECTOR_INLINE void network_medians(const std::uint8_t* const* rows, unsigned n, std::size_t count, std::uint8_t* out)
{
    switch (n) {
    case 1: network_medians<1>(rows, count, out); break;
    case 3: network_medians<3>(rows, count, out); break;
    case 5: network_medians<5>(rows, count, out); break;
    case 7: network_medians<7>(rows, count, out); break;
    case 2: network_medians<2>(rows, count, out); break;
    case 4: network_medians<4>(rows, count, out); break;
    default: network_medians<6>(rows, count, out); break;
    }
}

VECTOR_INLINE void column_network(const std::uint8_t* const* rows, unsigned n, std::size_t count, std::uint8_t* out)
{
    network_medians(rows, n, count, out);
}

// Along a row, the n shifted rows are the row itself, one pixel further each.
VECTOR_INLINE void row_network(const std::uint8_t* row, std::size_t width, unsigned n, std::uint8_t* target)
{
    const window_filters::Span span = window_filters::output_span(width, n);
    if (span.count == 0) return;
    const std::uint8_t* shifted[kNetworkMax];
    for (unsigned k = 0; k < n; ++k) shifted[k] = row + 3 * k;
    network_medians(shifted, n, 3 * span.count, target);
}

}  // namespace

void pick_network_kernels(Kernels& kernels)
{
    kernels.column_network = pick_copy<&column_network, CpuLevel::avx2, CpuLevel::avx512>();
    kernels.row_network = pick_copy<&row_network, CpuLevel::avx2, CpuLevel::avx512>();
}

}  // namespace median_kernels
