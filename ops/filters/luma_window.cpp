#include "ops/filters/luma_window.h"

#include <cmath>

namespace luma_filters {

namespace {

// The three products of the luma sum per byte value: a lookup gives the very
// doubles the direct expression forms, so the sum and its truncation agree.
struct LumaTerms {
    double b[256], g[256], r[256];
    LumaTerms()
    {
        for (int v = 0; v < 256; ++v) {
            b[v] = 0.11 * v + 0.5;
            g[v] = 0.59 * v;
            r[v] = 0.3 * v;
        }
    }
};

const LumaTerms& luma_terms()
{
    static const LumaTerms terms;
    return terms;
}

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

void luma_row(const std::uint8_t* pixels, std::size_t count, std::uint8_t* out)
{
    const LumaTerms& t = luma_terms();
    for (std::size_t x = 0; x < count; ++x, pixels += 3)
        out[x] = static_cast<std::uint8_t>(static_cast<int>((t.b[pixels[0]] + t.g[pixels[1]]) + t.r[pixels[2]]));
}

bool build_luma_plane(const ImageRecord& record, HeapArray<std::uint8_t>& plane)
{
    const std::size_t w = record.width, h = record.height, stride = record.stride();
    auto out = HeapArray<std::uint8_t>::allocate(w * h);
    if (!out) return false;
    luma_terms();  // built once, before the threads read it
    const std::uint8_t* in = record.pixels.get();
    std::uint8_t* luma = out.get();
    if (in != nullptr && w != 0)
        parallel_rows(h, w * h * 2, [&](std::size_t first, std::size_t end) {
            for (std::size_t y = first; y < end; ++y) luma_row(in + y * stride, w, luma + y * w);
        });
    plane = std::move(out);
    return true;
}

const std::uint8_t* rounded_root_table()
{
    static const RootTable table;
    return table.v;
}

}  // namespace luma_filters
