// Roberts cross on the luma, grey.
//
// The filter keeps the luma of every pixel in the destination's blue bytes
// and overwrites them, row by row from the bottom, with the cross magnitude
// of the 2x2 window reaching one row up and one column right:
//   a = L(y, x) - L(y+1, x+1),  b = L(y, x+1) - L(y+1, x)
//   V = trunc(sqrt(a^2 + b^2) + 0.5), clamped to 255, into all three bytes.
// So the top row and the right-hand column end with their luma in the blue
// byte while green and red keep the destination's bytes; the padding is never
// written.
//
// Here each row computes the luma of its own and the next source row, so the
// rows can be split across threads with no shared luma and no extra buffer.
#include <algorithm>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

bool roberts_filter(const ImageRecord& source, ImageRecord& destination)
{
    using luma_filters::kRun;
    if (!ensure_destination(source, destination)) return false;
    copy_size_fields(source, destination);

    const std::size_t w = source.width, h = source.height, stride = source.stride();
    const std::uint8_t* roots = luma_filters::rounded_root_table();
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    if (w != 0)
        parallel_rows(h, w * h * 4, [&](std::size_t first, std::size_t end) {
            std::uint8_t low[kRun + 1], high[kRun + 1], values[kRun];
            for (std::size_t y = first; y < end; ++y) {
                const std::uint8_t* row = in + y * stride;
                std::uint8_t* q = out + y * stride;
                if (y + 1 == h) {  // top row: luma into blue only
                    for (std::size_t x = 0; x < w; x += kRun) {
                        const std::size_t n = std::min(kRun, w - x);
                        luma_filters::luma_row(row + 3 * x, n, low);
                        for (std::size_t i = 0; i < n; ++i) q[3 * (x + i)] = low[i];
                    }
                    continue;
                }
                // Windows x = 0 .. w-2 in runs; each run reads one column more.
                for (std::size_t x = 0; x + 1 < w; x += kRun) {
                    const std::size_t n = std::min(kRun, w - 1 - x);
                    luma_filters::luma_row(row + 3 * x, n + 1, low);
                    luma_filters::luma_row(row + stride + 3 * x, n + 1, high);
                    for (std::size_t i = 0; i < n; ++i) {
                        const int a = low[i] - high[i + 1], b = low[i + 1] - high[i];
                        values[i] = luma_filters::rounded_root(roots, static_cast<std::uint32_t>(a * a + b * b));
                    }
                    luma_filters::write_grey(q + 3 * x, values, n);
                }
                q[3 * (w - 1)] = luma(row[3 * (w - 1)], row[3 * (w - 1) + 1], row[3 * (w - 1) + 2]);
            }
        });
    compute_statistics(destination);
    return true;
}
