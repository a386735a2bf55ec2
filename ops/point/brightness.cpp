// Brightness and contrast.
#include "image/parallel.h"
#include "image/statistics.h"
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

}  // namespace

bool adjust_brightness(const ImageRecord& source, ImageRecord& destination, std::int16_t offset)
{
    if (!ensure_destination(source, destination)) return false;
    // Every byte of the block, padding included, shifted and clamped.
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    const std::size_t n = static_cast<std::size_t>(source.data_size);
    const int d = offset;
    const auto amount = static_cast<std::uint8_t>(d > 255 ? 255 : d < -255 ? 255 : d < 0 ? -d : d);
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
        for (int x = 0; x < 256; ++x) {
            const double v = ((static_cast<double>(x - m) * k) + m) + 0.5;
            const long long t = static_cast<long long>(v);
            table[c][x] = static_cast<std::uint8_t>(t > 255 ? 255 : t < 0 ? 0 : t);
        }
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
