#include "tests/reference/edge_filters.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/statistics.h"

namespace reference {

namespace {

int luma_of(const std::uint8_t* p) { return static_cast<int>(((0.11 * p[0] + 0.5) + 0.59 * p[1]) + 0.3 * p[2]); }

void take_block(const ImageRecord& source, ImageRecord& destination)
{
    if (!destination.pixels)
        destination.pixels = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(source.data_size));
}

struct Window {
    int u0, u1, u2, m0, c, m2, d0, d1, d2;
};

// Luma plane, block taken, sizes copied, V for rows 1..h-2, columns
// 1..w-2, statistics.
template <class Value>
void window_frame(const ImageRecord& source, ImageRecord& destination, Value value)
{
    const int w = source.width, h = source.height;
    const std::size_t stride = source.stride();
    std::vector<int> plane(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) plane[y * w + x] = luma_of(source.pixels.get() + y * stride + 3 * x);
    take_block(source, destination);
    destination.width = source.width;
    destination.height = source.height;
    destination.data_size = source.data_size;
    destination.row_padding = source.row_padding;
    auto L = [&](int y, int x) { return plane[y * w + x]; };
    for (int y = 1; y <= h - 2; ++y)
        for (int x = 1; x <= w - 2; ++x) {
            const Window n{L(y + 1, x - 1), L(y + 1, x), L(y + 1, x + 1), L(y, x - 1), L(y, x),
                           L(y, x + 1),     L(y - 1, x - 1), L(y - 1, x), L(y - 1, x + 1)};
            const int v = value(n);
            std::uint8_t* p = destination.pixels.get() + y * stride + 3 * x;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(v);
        }
    compute_statistics(destination);
}

int clamp_high(int v) { return v > 255 ? 255 : v; }
int clamp_both(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

void roberts(const ImageRecord& source, ImageRecord& destination)
{
    const int w = source.width, h = source.height;
    const std::size_t stride = source.stride();
    take_block(source, destination);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            destination.pixels[y * stride + 3 * x] =
                static_cast<std::uint8_t>(luma_of(source.pixels.get() + y * stride + 3 * x));
    destination.width = source.width;
    destination.height = source.height;
    destination.data_size = source.data_size;
    destination.row_padding = source.row_padding;
    auto L = [&](int y, int x) { return static_cast<int>(destination.pixels[y * stride + 3 * x]); };
    for (int y = 0; y <= h - 2; ++y)
        for (int x = 0; x <= w - 2; ++x) {
            const int a = L(y, x) - L(y + 1, x + 1);
            const int b = L(y, x + 1) - L(y + 1, x);
            const int v = clamp_high(static_cast<int>(std::sqrt(static_cast<double>(a * a + b * b)) + 0.5));
            std::uint8_t* p = destination.pixels.get() + y * stride + 3 * x;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(v);
        }
    compute_statistics(destination);
}

void sobel(const ImageRecord& source, ImageRecord& destination)
{
    window_frame(source, destination, [](const Window& n) {
        const int gx = (n.d2 + 2 * n.m2 + n.u2) - (n.d0 + 2 * n.m0 + n.u0);
        const int gy = (n.d0 + 2 * n.d1 + n.d2) - (n.u0 + 2 * n.u1 + n.u2);
        return clamp_high(static_cast<int>(std::sqrt(static_cast<double>(gx * gx + gy * gy)) + 0.5));
    });
}

void kirsch(const ImageRecord& source, ImageRecord& destination)
{
    window_frame(source, destination, [](const Window& n) {
        const int sum = n.d0 + n.d1 + n.d2 + n.m2 + n.u2 + n.u1 + n.u0 + n.m0;
        const int windows[8] = {
            n.d0 + n.d1 + n.d2, n.d1 + n.d2 + n.m2, n.d2 + n.m2 + n.u2, n.m2 + n.u2 + n.u1,
            n.u2 + n.u1 + n.u0, n.u1 + n.u0 + n.m0, n.u0 + n.m0 + n.d0, n.m0 + n.d0 + n.d1,
        };
        int best = 0;
        for (int s : windows) {
            const int g = std::abs(5 * s - 3 * (sum - s));
            if (g > best) best = g;
        }
        return clamp_high(best);
    });
}

void wallis(const ImageRecord& source, ImageRecord& destination)
{
    window_frame(source, destination, [](const Window& n) {
        const std::int64_t c4 = std::int64_t{n.c} * n.c * n.c * n.c;
        const std::int64_t p = std::int64_t{n.u1} * n.m0 * n.m2 * n.d1;
        if (p == 0) return 255;
        const double ratio = static_cast<double>(c4) / static_cast<double>(p);
        const double w = std::log(ratio + 0.5) * 0.25 * 800.0;
        const int v = static_cast<int>(w);
        return v < 0 || v > 255 ? 255 : v;
    });
}

void linear(const ImageRecord& source, ImageRecord& destination)
{
    window_frame(source, destination, [](const Window& n) {
        return clamp_both(8 * n.c - (n.d0 + n.d1 + n.d2 + n.m0 + n.m2 + n.u0 + n.u1 + n.u2));
    });
}

void laplace(const ImageRecord& source, ImageRecord& destination)
{
    window_frame(source, destination, [](const Window& n) {
        return clamp_both(12 * n.c - 2 * (n.d1 + n.m0 + n.m2 + n.u1) - (n.d0 + n.d2 + n.u0 + n.u2));
    });
}

int noise_draw(std::uint32_t& state)
{
    state = static_cast<std::uint32_t>((214013ull * state + 2531011ull) % 4294967296ull);
    return static_cast<int>((state >> 16) & 32767);
}

void noise(const ImageRecord& source, ImageRecord& destination, std::int32_t points, std::uint32_t seed)
{
    take_block(source, destination);
    destination.width = source.width;
    destination.height = source.height;
    destination.data_size = source.data_size;
    destination.row_padding = source.row_padding;
    for (std::int32_t i = 0; i < source.data_size; ++i) destination.pixels[i] = source.pixels[i];
    const double k = 1.0 / 32768 + 1.0 / 1073741824;  // the single-precision 1/32767, exactly
    std::uint32_t state = seed;
    const int w = source.width, h = source.height;
    if (w > 0 && h > 0)
        for (std::int32_t i = 0; i < points; ++i) {
            const int r1 = noise_draw(state), r2 = noise_draw(state), r3 = noise_draw(state);
            const int r4 = noise_draw(state), r5 = noise_draw(state);
            const int x = static_cast<int>((r1 * k) * (w - 1));
            const int y = static_cast<int>((r2 * k) * (h - 1));
            std::uint8_t* p = destination.pixels.get() + 3 * x + y * source.stride();
            p[0] = static_cast<std::uint8_t>(static_cast<int>((r3 * k) * 255.0));
            p[1] = static_cast<std::uint8_t>(static_cast<int>((r4 * k) * 255.0));
            p[2] = static_cast<std::uint8_t>(static_cast<int>((r5 * k) * 255.0));
        }
    compute_statistics(destination);
}

}  // namespace reference
