// Shared pieces of the windowed filters (statistical, smoothing, median).
//
// Every window is `aperture` samples long and starts `aperture / 2` samples
// before the output position; an output position is written only when its
// whole window lies inside the picture, so the frame and the row padding of
// the destination keep what the buffer held.
//
// Work is cut into a fixed number of stripes of output rows. Each stripe owns
// its scratch memory, taken before anything is written, and writes only its
// own rows; since every result is exact, the output does not depend on how
// many threads run the stripes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/image_record.h"
#include "image/parallel.h"
#include "image/statistics.h"

namespace window_filters {

// Output positions along one axis of `length` samples: [first, first + count).
struct Span {
    std::size_t first = 0, count = 0;
};

inline Span output_span(std::size_t length, unsigned aperture)
{
    const std::size_t half = aperture / 2;
    if (aperture == 0 || length < 2 * half + 1) return {};
    return {half, length - 2 * half};
}

// Number of stripes whose scratch a filter takes up front: one per thread
// the jobs are split for.
inline std::size_t stripe_count(std::size_t rows)
{
    return std::max<std::size_t>(1, std::min<std::size_t>(parallel_threads(), rows));
}

// Calls fn(stripe, first_row, end_row) for every stripe of `rows` rows
// starting at `first`, on as many threads as parallel_rows chooses.
template <class Fn>
void for_each_stripe(std::size_t stripes, std::size_t first, std::size_t rows, std::size_t work, Fn&& fn)
{
    const std::size_t per = (rows + stripes - 1) / std::max<std::size_t>(stripes, 1);
    parallel_rows(stripes, work, [&](std::size_t s0, std::size_t s1) {
        for (std::size_t s = s0; s < s1; ++s) {
            const std::size_t begin = std::min(rows, s * per), end = std::min(rows, begin + per);
            if (begin < end) fn(s, first + begin, first + end);
        }
    });
}

// The end of every operation: size fields, then fresh statistics.
inline void finish(const ImageRecord& source, ImageRecord& destination)
{
    copy_size_fields(source, destination);
    compute_statistics(destination);
}

}  // namespace window_filters
