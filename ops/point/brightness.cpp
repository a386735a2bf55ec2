// Brightness and contrast.
#include "image/parallel.h"
#include "image/statistics.h"
#include "ops/operations.h"

bool adjust_brightness(const ImageRecord& source, ImageRecord& destination, std::int16_t offset)
{
    if (!ensure_destination(source, destination)) return false;
    // Every byte of the block, padding included, shifted and clamped; written
    // as compare-and-select so the compiler turns it into saturating vectors.
    const std::uint8_t* in = source.pixels.get();
    std::uint8_t* out = destination.pixels.get();
    const std::size_t n = static_cast<std::size_t>(source.data_size);
    const int d = offset;
    parallel_rows(n / 4096 + 1, n, [&](std::size_t c0, std::size_t c1) {
        const std::size_t i0 = c0 * 4096, i1 = c1 * 4096 < n ? c1 * 4096 : n;
        if (d >= 0) {
            const std::uint8_t limit = static_cast<std::uint8_t>(d > 255 ? 0 : 255 - d);
            const std::uint8_t add = static_cast<std::uint8_t>(d > 255 ? 255 : d);
            for (std::size_t i = i0; i < i1; ++i)
                out[i] = in[i] > limit ? std::uint8_t{255} : static_cast<std::uint8_t>(in[i] + add);
        } else {
            const std::uint8_t sub = static_cast<std::uint8_t>(-d > 255 ? 255 : -d);
            for (std::size_t i = i0; i < i1; ++i)
                out[i] = in[i] < sub ? std::uint8_t{0} : static_cast<std::uint8_t>(in[i] - sub);
        }
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
