// Grayscale, binarization and negative: per-pixel operations of the first lab.
#include <cstring>
#include <mutex>

#include "image/parallel.h"
#include "image/statistics.h"
#include "ops/explain.h"
#include "ops/operations.h"

namespace {

std::uint8_t grey_of(std::uint8_t luma) { return luma; }
std::uint8_t binary_of(std::uint8_t luma, std::uint8_t threshold)
{
    return static_cast<std::uint8_t>(luma > threshold ? 255 : 0);
}

// Writes `value_of(luma)` into all three bytes of every pixel; padding bytes
// of the destination keep what they held. The result is grey, and a grey
// pixel of value v has luma v, so all four histograms are the counts of the
// values written: they are taken here instead of in a second pass.
template <class ValueOf>
void write_luma_picture(const ImageRecord& source, ImageRecord& destination, ValueOf value_of)
{
    const std::size_t stride = source.stride(), w = source.width;
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    std::uint64_t counts[256] = {};
    std::mutex merge;
    parallel_rows(source.height, w * source.height, [&](std::size_t y0, std::size_t y1) {
        std::uint8_t lumas[1024];
        std::uint32_t part[256] = {};
        for (std::size_t y = y0; y < y1; ++y)
            for (std::size_t x0 = 0; x0 < w; x0 += sizeof lumas) {
                const std::size_t n = w - x0 < sizeof lumas ? w - x0 : sizeof lumas;
                luma_row(in + y * stride + 3 * x0, n, lumas);
                std::uint8_t* q = out + y * stride + 3 * x0;
                for (std::size_t x = 0; x < n; ++x, q += 3) {
                    const std::uint8_t v = value_of(lumas[x]);
                    q[0] = q[1] = q[2] = v;
                    ++part[v];
                }
            }
        std::lock_guard<std::mutex> lock(merge);
        for (int v = 0; v < 256; ++v) counts[v] += part[v];
    });
    copy_size_fields(source, destination);
    store_statistics(destination, counts, counts, counts, counts);
}

void invert(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(255 - in[i]);
}

void finish(const ImageRecord& source, ImageRecord& destination)
{
    copy_size_fields(source, destination);
    compute_statistics(destination);
}

}  // namespace

bool to_grayscale(const ImageRecord& source, ImageRecord& destination)
{
    if (!ensure_destination(source, destination)) return false;
    write_luma_picture(source, destination, [](std::uint8_t l) { return grey_of(l); });
    return true;
}

bool binarize(const ImageRecord& source, ImageRecord& destination, std::uint8_t threshold)
{
    if (!ensure_destination(source, destination)) return false;
    write_luma_picture(source, destination, [threshold](std::uint8_t l) { return binary_of(l, threshold); });
    return true;
}

bool make_negative(const ImageRecord& source, ImageRecord& destination)
{
    if (!ensure_destination(source, destination)) return false;
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    const std::size_t n = static_cast<std::size_t>(source.data_size);
    parallel_rows(n / 4096 + 1, n, [=](std::size_t c0, std::size_t c1) {
        const std::size_t i1 = c1 * 4096 < n ? c1 * 4096 : n;
        invert(in + c0 * 4096, out + c0 * 4096, i1 - c0 * 4096);
    });
    finish(source, destination);
    return true;
}

namespace {

// The pixel's bytes, the weighted sum as the luma defines it and the luma
// itself, taken by the row function the operations use.
std::uint8_t explain_luma(const PixelQuestion& q, Explanation& e)
{
    explain::add_own_pixel(q, e);
    const std::uint8_t* p = q.source.pixel(q.x, q.y);
    explain::add_step(e, "weighted_sum", "Взвешенная сумма (0,11·B + 0,5) + 0,59·G + 0,3·R",
                      ((0.11 * p[0] + 0.5) + 0.59 * p[1]) + 0.3 * p[2]);
    std::uint8_t l = 0;
    luma_row(p, 1, &l);
    explain::add_step(e, "luma", "Яркость (целая часть суммы)", l);
    return l;
}

}  // namespace

Explanation explain_grayscale(const PixelQuestion& q)
{
    Explanation e = explain::computed(q);
    e.result = explain::grey(grey_of(explain_luma(q, e)));
    return e;
}

Explanation explain_binarize(const PixelQuestion& q, std::uint8_t threshold)
{
    Explanation e = explain::computed(q);
    const std::uint8_t l = explain_luma(q, e);
    explain::add_step(e, "above_threshold", "Яркость больше порога (1 — да, 0 — нет)", l > threshold ? 1 : 0);
    e.result = explain::grey(binary_of(l, threshold));
    return e;
}

Explanation explain_negative(const PixelQuestion& q)
{
    Explanation e = explain::computed(q);
    explain::add_own_pixel(q, e);
    std::uint8_t out[3];
    invert(q.source.pixel(q.x, q.y), out, 3);
    explain::add_channel_step(e, "inverted", "255 − значение", out[0], out[1], out[2]);
    e.result = {out[2], out[1], out[0]};
    return e;
}
