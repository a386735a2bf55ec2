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

    store_statistics(record, r, g, b, l);
}

bool begin_3x3(const PixelQuestion& q, Explanation& e, Window3x3& w)
{
    const int width = q.source.width, height = q.source.height;
    if (q.x == 0 || q.y == 0 || q.x + 1 >= width || q.y + 1 >= height) {
        e = explain::not_written(q, "Пиксель рамки: окно 3x3 выходит за край, фильтр его не записывает.");
        return false;
    }
    e = explain::computed(q);
    e.inputs.push_back(explain::window(q.source, Sample::Luma, q.x - 1, q.y - 1, 3, 3));
    const std::vector<int>& v = e.inputs.back().values;  // top row first: memory row y+1
    for (int i = 0; i < 3; ++i) {
        w.above[i] = static_cast<std::uint8_t>(v[i]);
        w.row[i] = static_cast<std::uint8_t>(v[3 + i]);
        w.below[i] = static_cast<std::uint8_t>(v[6 + i]);
    }
    return true;
}

const std::uint8_t* rounded_root_table()
{
    static const RootTable table;
    return table.v;
}

}  // namespace luma_filters
