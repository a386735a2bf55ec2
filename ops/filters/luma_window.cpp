#include "ops/filters/luma_window.h"

#include <cmath>

namespace luma_filters {

namespace {

struct RootTable {
    std::uint8_t v[kRootTableSize];
    RootTable()
    {
        for (std::uint32_t n = 0; n < kRootTableSize; ++n) {
            const int r = static_cast<int>(std::sqrt(static_cast<double>(n)) + 0.5);
            v[n] = static_cast<std::uint8_t>(r > 255 ? 255 : r);
        }
    }
};

}  // namespace

void finish_statistics(ImageRecord& record, const GreyCounts& grey, std::size_t x0, std::size_t x1, std::size_t y0,
                       std::size_t y1)
{
    std::uint64_t r[256], g[256], b[256], l[256];
    for (int v = 0; v < 256; ++v) r[v] = g[v] = b[v] = l[v] = grey.counts()[v];

    const std::size_t w = record.width, h = record.height, stride = record.stride();
    auto count = [&](std::size_t x, std::size_t y) {
        const std::uint8_t* p = record.pixels.get() + y * stride + 3 * x;
        ++b[p[0]];
        ++g[p[1]];
        ++r[p[2]];
        ++l[luma(p[0], p[1], p[2])];
    };
    for (std::size_t y = 0; y < h; ++y) {
        if (y < y0 || y >= y1) {
            for (std::size_t x = 0; x < w; ++x) count(x, y);
            continue;
        }
        for (std::size_t x = 0; x < x0; ++x) count(x, y);
        for (std::size_t x = x1; x < w; ++x) count(x, y);
    }

    record.max_r = record.max_g = record.max_b = record.max_luma = 0;
    std::uint64_t sum_r = 0, sum_g = 0, sum_b = 0;
    for (int v = 0; v < 256; ++v) {
        record.hist_r[v] = static_cast<std::int32_t>(r[v]);
        record.hist_g[v] = static_cast<std::int32_t>(g[v]);
        record.hist_b[v] = static_cast<std::int32_t>(b[v]);
        record.hist_luma[v] = static_cast<std::int32_t>(l[v]);
        sum_r += v * r[v];
        sum_g += v * g[v];
        sum_b += v * b[v];
        record.max_r = std::max(record.max_r, record.hist_r[v]);
        record.max_g = std::max(record.max_g, record.hist_g[v]);
        record.max_b = std::max(record.max_b, record.hist_b[v]);
        record.max_luma = std::max(record.max_luma, record.hist_luma[v]);
    }

    const std::uint32_t n = static_cast<std::uint32_t>(w * h);
    if (n == 0) {
        record.mean_r = record.mean_g = record.mean_b = 0;
        return;
    }
    const double reciprocal = 1.0 / n;
    record.mean_r = static_cast<std::int32_t>(static_cast<double>(sum_r) * reciprocal + 0.5);
    record.mean_g = static_cast<std::int32_t>(static_cast<double>(sum_g) * reciprocal + 0.5);
    record.mean_b = static_cast<std::int32_t>(static_cast<double>(sum_b) * reciprocal + 0.5);
}

const std::uint8_t* rounded_root_table()
{
    static const RootTable table;
    return table.v;
}

}  // namespace luma_filters
