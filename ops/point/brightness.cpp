// Brightness and contrast.
#include <cmath>

#include "image/parallel.h"
#include "image/statistics.h"
#include "ops/explain.h"
#include "ops/operations.h"

namespace {

// Saturating byte arithmetic, written so the compiler emits saturating
// vector instructions.
void add_saturated(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n, std::uint8_t add)
{
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned v = static_cast<unsigned>(in[i]) + add;
        out[i] = static_cast<std::uint8_t>(v > 255u ? 255u : v);
    }
}

void subtract_saturated(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
                        std::uint8_t sub)
{
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(in[i] > sub ? in[i] - sub : 0);
}

// The amount a brightness offset adds (d >= 0) or takes away, as a byte.
std::uint8_t brightness_amount(int d) { return static_cast<std::uint8_t>(d > 255 ? 255 : d < -255 ? 255 : d < 0 ? -d : d); }

// A contrast factor applied to value x of a channel whose mean is m, in
// double: ((x - m) * k + m) + 0.5 truncated and clamped.
double contrast_unrounded(int x, int m, double k) { return ((static_cast<double>(x - m) * k) + m) + 0.5; }
std::uint8_t contrast_value(int x, int m, double k)
{
    const long long t = static_cast<long long>(contrast_unrounded(x, m, k));
    return static_cast<std::uint8_t>(t > 255 ? 255 : t < 0 ? 0 : t);
}

}  // namespace

bool adjust_brightness(const ImageRecord& source, ImageRecord& destination, std::int16_t offset)
{
    if (!ensure_destination(source, destination)) return false;
    // Every byte of the block, padding included, shifted and clamped.
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    const std::size_t n = static_cast<std::size_t>(source.data_size);
    const int d = offset;
    const std::uint8_t amount = brightness_amount(d);
    parallel_rows(n / 4096 + 1, n, [=](std::size_t c0, std::size_t c1) {
        const std::size_t i0 = c0 * 4096, i1 = c1 * 4096 < n ? c1 * 4096 : n;
        if (d >= 0)
            add_saturated(in + i0, out + i0, i1 - i0, amount);
        else
            subtract_saturated(in + i0, out + i0, i1 - i0, amount);
    });
    copy_size_fields(source, destination);
    compute_statistics(destination);
    return true;
}

bool adjust_contrast(const ImageRecord& source, ImageRecord& destination, float factor)
{
    if (!ensure_destination(source, destination)) return false;
    // x - m is an integer and the rest is fixed per channel, so each channel
    // maps its 256 values through a table of the exact double arithmetic.
    std::uint8_t table[3][256];
    const int means[3] = {source.mean_b, source.mean_g, source.mean_r};
    const double k = factor;
    for (int c = 0; c < 3; ++c) {
        const int m = means[c];
        for (int x = 0; x < 256; ++x) table[c][x] = contrast_value(x, m, k);
    }
    const std::size_t stride = source.stride(), w = source.width;
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    parallel_rows(source.height, w * source.height, [&](std::size_t y0, std::size_t y1) {
        for (std::size_t y = y0; y < y1; ++y) {
            const std::uint8_t* p = in + y * stride;
            std::uint8_t* q = out + y * stride;
            for (std::size_t x = 0; x < w; ++x, p += 3, q += 3) {
                q[0] = table[0][p[0]];
                q[1] = table[1][p[1]];
                q[2] = table[2][p[2]];
            }
        }
    });
    copy_size_fields(source, destination);
    compute_statistics(destination);
    return true;
}

Explanation explain_brightness(const PixelQuestion& q, std::int16_t offset)
{
    Explanation e = explain::computed(q);
    explain::add_own_pixel(q, e);
    const std::uint8_t* p = q.source.pixel(q.x, q.y);
    explain::add_step(e, "offset", "Сдвиг", offset);
    explain::add_channel_step(e, "sum", "Сумма до ограничения 0..255", p[0] + offset, p[1] + offset, p[2] + offset);
    std::uint8_t out[3];
    if (offset >= 0)
        add_saturated(p, out, 3, brightness_amount(offset));
    else
        subtract_saturated(p, out, 3, brightness_amount(offset));
    e.result = {out[2], out[1], out[0]};
    return e;
}

Explanation explain_contrast(const PixelQuestion& q, float factor)
{
    Explanation e = explain::computed(q);
    explain::add_own_pixel(q, e);
    const std::uint8_t* p = q.source.pixel(q.x, q.y);
    const int means[3] = {q.source.mean_b, q.source.mean_g, q.source.mean_r};
    const double k = factor;
    explain::add_step(e, "factor", "Коэффициент k", k);
    explain::add_channel_step(e, "mean", "Среднее канала m", means[0], means[1], means[2]);
    explain::add_channel_step(e, "difference", "Отклонение d = x − m", p[0] - means[0], p[1] - means[1],
                              p[2] - means[2]);
    explain::add_channel_step(e, "scaled", "(d·k + m) + 0,5", contrast_unrounded(p[0], means[0], k),
                              contrast_unrounded(p[1], means[1], k), contrast_unrounded(p[2], means[2], k));
    explain::add_channel_step(e, "truncated", "Целая часть до ограничения 0..255",
                              std::trunc(contrast_unrounded(p[0], means[0], k)),
                              std::trunc(contrast_unrounded(p[1], means[1], k)),
                              std::trunc(contrast_unrounded(p[2], means[2], k)));
    e.result = {contrast_value(p[2], means[2], k), contrast_value(p[1], means[1], k), contrast_value(p[0], means[0], k)};
    return e;
}
