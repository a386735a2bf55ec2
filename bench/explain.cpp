// Explaining one pixel, as the panel does on every mouse move: the largest
// windows (aperture 21), the noise generator replayed for the most points,
// a 3x3 filter, and the panel's text of the largest explanation.
#include <benchmark/benchmark.h>

#include <random>

#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/explain.h"

namespace {

const ImageRecord& picture()
{
    static const ImageRecord rec = [] {
        ImageRecord r = blank_record(640, 480);
        std::mt19937 rng(1);
        for (std::int32_t i = 0; i < r.data_size; ++i) r.pixels[i] = static_cast<std::uint8_t>(rng());
        compute_statistics(r);
        return r;
    }();
    return rec;
}

// Pixels inside every window, visited in turn as a moving mouse would.
template <class Explain>
void explain_pixels(benchmark::State& state, Explain explain)
{
    const PixelQuestion first{picture(), picture(), 0, 0};
    int i = 0;
    for (auto _ : state) {
        const PixelQuestion q{first.source, first.result, 20 + i % 600, 20 + (i / 600) % 440};
        benchmark::DoNotOptimize(explain(q));
        ++i;
    }
}

void BM_ExplainStatistical21(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_statistical(q, 21); }); }
void BM_ExplainMedian2d21(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_median_2d(q, 21); }); }
void BM_ExplainMedianLinear21(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_median_linear(q, 21); }); }
void BM_ExplainSmooth2d21(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_smooth_2d(q, 21); }); }
void BM_ExplainNoise65534(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_noise(q, 65534, 7); }); }
void BM_ExplainSobel(benchmark::State& s) { explain_pixels(s, [](auto& q) { return explain_sobel(q); }); }
void BM_TextOfMedian2d21(benchmark::State& s)
{
    const Explanation e = explain_median_2d({picture(), picture(), 100, 100}, 21);
    for (auto _ : s) benchmark::DoNotOptimize(explanation_text(e));
}

BENCHMARK(BM_ExplainStatistical21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExplainMedian2d21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExplainMedianLinear21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExplainSmooth2d21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExplainNoise65534)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExplainSobel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextOfMedian2d21)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
