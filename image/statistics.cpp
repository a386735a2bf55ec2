#include "image/statistics.h"

#include <cstring>

namespace {

// Per-channel products of the luma sum, each the same double the direct
// expression forms, so a lookup and two additions give the identical result.
struct LumaTables {
    double b[256], g[256], r[256];
    LumaTables()
    {
        for (int v = 0; v < 256; ++v) {
            b[v] = 0.11 * v + 0.5;
            g[v] = 0.59 * v;
            r[v] = 0.3 * v;
        }
    }
};

const LumaTables& luma_tables()
{
    static const LumaTables tables;
    return tables;
}

}  // namespace

void compute_statistics(ImageRecord& record)
{
    // Four partial histograms per channel would break store-to-load chains;
    // one set is plenty for a single pass that is memory bound anyway.
    std::int32_t hr[256] = {}, hg[256] = {}, hb[256] = {}, hl[256] = {};
    const LumaTables& t = luma_tables();
    const std::size_t stride = record.stride();
    const std::uint8_t* base = record.pixels.get();
    if (base != nullptr) {
        for (std::size_t y = 0; y < record.height; ++y) {
            const std::uint8_t* p = base + y * stride;
            for (std::size_t x = 0; x < record.width; ++x, p += 3) {
                const std::uint8_t b = p[0], g = p[1], r = p[2];
                ++hb[b];
                ++hg[g];
                ++hr[r];
                ++hl[static_cast<int>((t.b[b] + t.g[g]) + t.r[r])];
            }
        }
    }

    std::memcpy(record.hist_r, hr, sizeof hr);
    std::memcpy(record.hist_g, hg, sizeof hg);
    std::memcpy(record.hist_b, hb, sizeof hb);
    std::memcpy(record.hist_luma, hl, sizeof hl);

    record.max_r = record.max_g = record.max_b = record.max_luma = 0;
    std::uint64_t sum_r = 0, sum_g = 0, sum_b = 0;
    for (int v = 0; v < 256; ++v) {
        sum_r += static_cast<std::uint64_t>(v) * static_cast<std::uint32_t>(hr[v]);
        sum_g += static_cast<std::uint64_t>(v) * static_cast<std::uint32_t>(hg[v]);
        sum_b += static_cast<std::uint64_t>(v) * static_cast<std::uint32_t>(hb[v]);
        if (hr[v] > record.max_r) record.max_r = hr[v];
        if (hg[v] > record.max_g) record.max_g = hg[v];
        if (hb[v] > record.max_b) record.max_b = hb[v];
        if (hl[v] > record.max_luma) record.max_luma = hl[v];
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
    const LumaTables& t = luma_tables();
    const std::size_t stride = record.stride();
    const std::uint8_t* base = record.pixels.get();
    if (base != nullptr) {
        std::uint8_t* q = out.get();
        for (std::size_t y = 0; y < h; ++y) {
            const std::uint8_t* p = base + y * stride;
            for (std::size_t x = 0; x < w; ++x, p += 3)
                *q++ = static_cast<std::uint8_t>(static_cast<int>((t.b[p[0]] + t.g[p[1]]) + t.r[p[2]]));
        }
    }
    plane = std::move(out);
    return true;
}
