#include "image/statistics.h"

#include <cstring>
#include <mutex>

#include "image/parallel.h"

namespace {

struct Histograms {
    std::int32_t r[256] = {}, g[256] = {}, b[256] = {}, l[256] = {};
};

// Counts the rows [y0, y1) into h.
void count_rows(const ImageRecord& record, std::size_t y0, std::size_t y1, Histograms& h)
{
    const std::size_t stride = record.stride(), w = record.width;
    std::uint8_t lumas[1024];
    for (std::size_t y = y0; y < y1; ++y) {
        const std::uint8_t* row = record.pixels.get() + y * stride;
        for (std::size_t x0 = 0; x0 < w; x0 += sizeof lumas) {
            const std::size_t n = w - x0 < sizeof lumas ? w - x0 : sizeof lumas;
            const std::uint8_t* p = row + 3 * x0;
            luma_row(p, n, lumas);
            for (std::size_t x = 0; x < n; ++x, p += 3) {
                ++h.b[p[0]];
                ++h.g[p[1]];
                ++h.r[p[2]];
                ++h.l[lumas[x]];
            }
        }
    }
}

}  // namespace

void compute_statistics(ImageRecord& record)
{
    Histograms total;
    if (record.pixels) {
        std::mutex merge;
        const std::size_t pixels = static_cast<std::size_t>(record.width) * record.height;
        parallel_rows(record.height, pixels, [&](std::size_t y0, std::size_t y1) {
            Histograms part;
            count_rows(record, y0, y1, part);
            std::lock_guard<std::mutex> lock(merge);
            for (int v = 0; v < 256; ++v) {
                total.r[v] += part.r[v];
                total.g[v] += part.g[v];
                total.b[v] += part.b[v];
                total.l[v] += part.l[v];
            }
        });
    }

    std::uint64_t r[256], g[256], b[256], l[256];
    for (int v = 0; v < 256; ++v) {
        r[v] = static_cast<std::uint32_t>(total.r[v]);
        g[v] = static_cast<std::uint32_t>(total.g[v]);
        b[v] = static_cast<std::uint32_t>(total.b[v]);
        l[v] = static_cast<std::uint32_t>(total.l[v]);
    }
    store_statistics(record, r, g, b, l);
}

void store_statistics(ImageRecord& record, const std::uint64_t (&red)[256], const std::uint64_t (&green)[256],
                      const std::uint64_t (&blue)[256], const std::uint64_t (&lumas)[256])
{
    // Channel sums in 64 bits: a 32-bit sum wraps on bright pictures of more
    // than 16,843,009 pixels.
    record.max_r = record.max_g = record.max_b = record.max_luma = 0;
    std::uint64_t sum_r = 0, sum_g = 0, sum_b = 0;
    for (int v = 0; v < 256; ++v) {
        record.hist_r[v] = static_cast<std::int32_t>(red[v]);
        record.hist_g[v] = static_cast<std::int32_t>(green[v]);
        record.hist_b[v] = static_cast<std::int32_t>(blue[v]);
        record.hist_luma[v] = static_cast<std::int32_t>(lumas[v]);
        sum_r += static_cast<std::uint64_t>(v) * red[v];
        sum_g += static_cast<std::uint64_t>(v) * green[v];
        sum_b += static_cast<std::uint64_t>(v) * blue[v];
        if (record.hist_r[v] > record.max_r) record.max_r = record.hist_r[v];
        if (record.hist_g[v] > record.max_g) record.max_g = record.hist_g[v];
        if (record.hist_b[v] > record.max_b) record.max_b = record.hist_b[v];
        if (record.hist_luma[v] > record.max_luma) record.max_luma = record.hist_luma[v];
    }

    const std::uint32_t n = static_cast<std::uint32_t>(record.width) * record.height;
    if (n == 0) {
        record.mean_r = record.mean_g = record.mean_b = 0;
        return;
    }
    const double reciprocal = 1.0 / n;
    record.mean_r = static_cast<std::int32_t>(static_cast<double>(sum_r) * reciprocal + 0.5);
    record.mean_g = static_cast<std::int32_t>(static_cast<double>(sum_g) * reciprocal + 0.5);
    record.mean_b = static_cast<std::int32_t>(static_cast<double>(sum_b) * reciprocal + 0.5);
}

bool make_luma_plane(const ImageRecord& record, HeapArray<std::uint8_t>& plane)
{
    const std::size_t w = record.width, h = record.height;
    auto out = HeapArray<std::uint8_t>::allocate(w * h);
    if (!out) {
        plane.reset();
        return false;
    }
    if (record.pixels) {
        const std::size_t stride = record.stride();
        parallel_rows(h, w * h, [&](std::size_t y0, std::size_t y1) {
            for (std::size_t y = y0; y < y1; ++y) luma_row(record.pixels.get() + y * stride, w, out.get() + y * w);
        });
    }
    plane = std::move(out);
    return true;
}
