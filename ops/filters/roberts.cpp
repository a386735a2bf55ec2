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
// Working from a separate luma plane gives the same bytes and lets the rows
// be split across threads.
#include <algorithm>
#include <cmath>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"
#include "text/catalogue.h"

namespace {

// The two differences of the window whose bottom-left luma is low[0] (memory
// row y) with high[0] above it (row y+1).
inline int difference_a(const std::uint8_t* low, const std::uint8_t* high) { return low[0] - high[1]; }
inline int difference_b(const std::uint8_t* low, const std::uint8_t* high) { return low[1] - high[0]; }

}  // namespace

bool roberts_filter(const ImageRecord& source, ImageRecord& destination)
{
    using luma_filters::kRun;
    HeapArray<std::uint8_t> plane;
    if (!make_luma_plane(source, plane)) return false;
    if (!ensure_destination(source, destination)) return false;
    copy_size_fields(source, destination);

    const std::size_t w = source.width, h = source.height, stride = source.stride();
    const std::uint8_t* roots = luma_filters::rounded_root_table();
    const std::uint8_t* luma = plane.get();
    std::uint8_t* out = destination.pixels.get();
    luma_filters::GreyCounts grey;
    if (w != 0)
        parallel_rows(h, w * h * 3, [&](std::size_t first, std::size_t end) {
            std::uint8_t values[kRun];
            luma_filters::GreyCounts::Local counts;
            for (std::size_t y = first; y < end; ++y) {
                const std::uint8_t* low = luma + y * w;
                std::uint8_t* q = out + y * stride;
                if (y + 1 == h) {  // the top row keeps its luma, in blue only
                    for (std::size_t x = 0; x < w; ++x) q[3 * x] = low[x];
                    continue;
                }
                const std::uint8_t* high = low + w;
                for (std::size_t x = 0; x + 1 < w; x += kRun) {
                    const std::size_t n = std::min(kRun, w - 1 - x);
                    for (std::size_t i = 0; i < n; ++i) {
                        const int a = difference_a(low + x + i, high + x + i);
                        const int b = difference_b(low + x + i, high + x + i);
                        values[i] = luma_filters::rounded_root(roots, static_cast<std::uint32_t>(a * a + b * b));
                    }
                    luma_filters::write_grey(q + 3 * x, values, n);
                    counts.add(values, n);
                }
                q[3 * (w - 1)] = low[w - 1];
            }
            grey.merge(counts);
        });
    // The cross covers rows 0 .. h-2 and columns 0 .. w-2.
    if (w >= 2 && h >= 2)
        luma_filters::finish_statistics(destination, grey, 0, w - 1, 0, h - 1);
    else
        luma_filters::finish_statistics(destination, grey, 0, 0, 0, 0);
    return true;
}

// The top row and the right-hand column keep their luma in the blue byte
// only; every other pixel is the cross of its 2x2 window reaching one row up
// (displayed above) and one column right.
Explanation explain_roberts(const PixelQuestion& q)
{
    const int width = q.source.width;
    Explanation e = explain::computed(q);
    if (q.y == 0 || q.x + 1 == width) {
        e.inputs.push_back(explain::window(q.source, Sample::Luma, q.x, q.y, 1, 1));
        explain::add_step(e, "luma", "Яркость пикселя, записанная в синий байт", e.inputs.back().values[0]);
        const PixelBytes kept = explain::bytes_at(q.result, q.x, q.y);
        e.result = {kept.r, kept.g, static_cast<std::uint8_t>(e.inputs.back().values[0])};
        e.note = text::tr(q.y == 0 ? "Верхняя строка: окна 2x2 нет; в синий байт записана яркость, зелёный и красный "
                                     "остались от прежнего изображения."
                                   : "Правый столбец: окна 2x2 нет; в синий байт записана яркость, зелёный и красный "
                                     "остались от прежнего изображения.");
        return e;
    }
    e.inputs.push_back(explain::window(q.source, Sample::Luma, q.x, q.y - 1, 2, 2));
    const std::vector<int>& v = e.inputs.back().values;  // top row first
    const std::uint8_t high[2] = {static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1])};
    const std::uint8_t low[2] = {static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[3])};
    const int a = difference_a(low, high), b = difference_b(low, high);
    explain::add_step(e, "a", "a = L(x, y) − L(x+1, y−1)", a);
    explain::add_step(e, "b", "b = L(x+1, y) − L(x, y−1)", b);
    explain::add_step(e, "squares", "a² + b²", a * a + b * b);
    explain::add_step(e, "length", "√(a² + b²) до округления и ограничения 255", std::sqrt(static_cast<double>(a * a + b * b)));
    e.result = explain::grey(luma_filters::rounded_root(luma_filters::rounded_root_table(),
                                                        static_cast<std::uint32_t>(a * a + b * b)));
    return e;
}
