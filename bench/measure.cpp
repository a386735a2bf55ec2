// The measuring tools over a 4000x3000 picture with a picture of the same
// size in the other record: the profile along the whole diagonal (4000
// samples, both pictures), a 2000x2000 region's statistics in both
// pictures, and a 1920x1080 frame of the compare views beside the plain one.
#include <benchmark/benchmark.h>

#include <random>

#include "image/image_record.h"
#include "image/statistics.h"
#include "render/view.h"
#include "commands/measure.h"

namespace {

ImageStore& store()
{
    static ImageStore s;
    static const bool filled = [] {
        std::mt19937 rng(1);
        for (ImageRecord* r : {&s.image_a, &s.image_b}) {
            *r = blank_record(4000, 3000);
            for (std::int32_t i = 0; i < r->data_size; ++i) r->pixels[i] = static_cast<std::uint8_t>(rng());
            compute_statistics(*r);
        }
        s.current_image = &s.image_a;
        return true;
    }();
    (void)filled;
    return s;
}

void BM_ProfileDiagonal(benchmark::State& state)
{
    ImageStore& s = store();
    for (auto _ : state) benchmark::DoNotOptimize(measure_profile(s, {0, 0, 3999, 2999}));
}
BENCHMARK(BM_ProfileDiagonal)->Unit(benchmark::kMillisecond);

void BM_Region2000(benchmark::State& state)
{
    ImageStore& s = store();
    for (auto _ : state) benchmark::DoNotOptimize(measure_region(s, {1000, 500, 2000, 2000}));
}
BENCHMARK(BM_Region2000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompareFrame(benchmark::State& state)
{
    ImageStore& s = store();
    ViewState view;
    view.scroll_x = 1000;
    view.scroll_y = 1000;
    view.compare = static_cast<CompareMode>(state.range(0));
    view.compare_split_x = 1900;
    view.compare_diff = 4;
    Frame frame;
    frame.resize(1920, 1080);
    for (auto _ : state) {
        render_client(frame, s, view);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
}
BENCHMARK(BM_CompareFrame)->Arg(COMPARE_OFF)->Arg(COMPARE_SPLIT)->Arg(COMPARE_DIFF)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
