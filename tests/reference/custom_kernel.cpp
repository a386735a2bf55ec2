#include "tests/reference/custom_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/statistics.h"

namespace reference {

void custom_kernel(const ImageRecord& source, ImageRecord& destination, const CustomKernel& k)
{
    if (!destination.pixels)
        destination.pixels = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(source.data_size));
    destination.width = source.width;
    destination.height = source.height;
    destination.data_size = source.data_size;
    destination.row_padding = source.row_padding;

    const int w = source.width, h = source.height, n = k.size, half = n / 2;
    const std::size_t stride = source.stride();
    // Picture coordinates: x from the left, y from the top; memory row h-1-y.
    auto byte = [&](const ImageRecord& r, int x, int y, int c) -> std::uint8_t& {
        return r.pixels.get()[static_cast<std::size_t>(h - 1 - y) * stride + 3 * static_cast<std::size_t>(x) + c];
    };
    auto luma = [&](int x, int y) {
        return static_cast<int>(((0.11 * byte(source, x, y, 0) + 0.5) + 0.59 * byte(source, x, y, 1)) +
                                0.3 * byte(source, x, y, 2));
    };
    int divisor = k.divisor;
    if (divisor == 0) {
        int sum = 0;
        for (int i = 0; i < n * n; ++i) sum += k.weights[i];
        divisor = sum > 0 ? sum : 1;
    }
    auto written = [&](long long s) {
        const long long q = std::lround(static_cast<double>(s + static_cast<long long>(k.offset) * divisor) / divisor);
        const long long v = k.out_of_range == OutOfRange::Absolute ? std::llabs(q)
                            : k.out_of_range == OutOfRange::Plus128 ? q + 128
                                                                     : q;
        return static_cast<std::uint8_t>(std::clamp<long long>(v, 0, 255));
    };
    for (int y = half; y < h - half; ++y)
        for (int x = half; x < w - half; ++x) {
            if (k.channels == KernelChannels::Luma) {
                long long s = 0;
                for (int r = 0; r < n; ++r)
                    for (int c = 0; c < n; ++c) s += k.weights[r * n + c] * luma(x - half + c, y - half + r);
                const std::uint8_t v = written(s);
                for (int c = 0; c < 3; ++c) byte(destination, x, y, c) = v;
            } else {
                for (int channel = 0; channel < 3; ++channel) {
                    long long s = 0;
                    for (int r = 0; r < n; ++r)
                        for (int c = 0; c < n; ++c)
                            s += k.weights[r * n + c] * byte(source, x - half + c, y - half + r, channel);
                    byte(destination, x, y, channel) = written(s);
                }
            }
        }
    compute_statistics(destination);
}

}  // namespace reference
