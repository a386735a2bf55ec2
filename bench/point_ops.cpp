// Point operations and statistics on a 4000x3000 picture, beside a memcpy of
// the same bytes: these passes are memory bound, so memcpy is the yardstick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "image/statistics.h"
#include "ops/operations.h"

namespace {

const ImageRecord& photo()
{
    static ImageRecord r = [] {
        ImageRecord p = blank_record(4000, 3000);
        std::mt19937 rng(1);
        for (std::int32_t i = 0; i < p.data_size; ++i) p.pixels[i] = static_cast<std::uint8_t>(rng() >> 24);
        compute_statistics(p);
        return p;
    }();
    return r;
}

void report(benchmark::State& state)
{
    const double pixels = 4000.0 * 3000.0;
    state.counters["Mpx/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * photo().data_size);
}

void BM_memcpy(benchmark::State& state)
{
    const ImageRecord& src = photo();
    auto dst = HeapArray<std::uint8_t>::allocate(src.pixels.size());
    for (auto _ : state) {
        std::memcpy(dst.get(), src.pixels.get(), src.pixels.size());
        benchmark::ClobberMemory();
    }
    report(state);
}

template <class Op>
void run(benchmark::State& state, Op op)
{
    ImageRecord dst;
    op(photo(), dst);  // the first call takes the block; later calls reuse it
    for (auto _ : state) {
        op(photo(), dst);
        benchmark::ClobberMemory();
    }
    report(state);
}

// A smooth picture: long runs of equal bytes, the hard case for counting.
void BM_statistics_smooth(benchmark::State& state)
{
    ImageRecord copy = blank_record(photo().width, photo().height);
    for (std::size_t y = 0; y < copy.height; ++y)
        for (std::size_t x = 0; x < copy.width; ++x) {
            std::uint8_t* p = copy.pixels.get() + y * copy.stride() + 3 * x;
            p[0] = static_cast<std::uint8_t>(x / 64);
            p[1] = static_cast<std::uint8_t>(y / 32);
            p[2] = 200;
        }
    for (auto _ : state) compute_statistics(copy);
    report(state);
}

void BM_statistics(benchmark::State& state)
{
    ImageRecord copy = blank_record(photo().width, photo().height);
    std::memcpy(copy.pixels.get(), photo().pixels.get(), photo().pixels.size());
    for (auto _ : state) compute_statistics(copy);
    report(state);
}

void BM_luma_plane(benchmark::State& state)
{
    HeapArray<std::uint8_t> plane;
    for (auto _ : state) {
        make_luma_plane(photo(), plane);
        benchmark::DoNotOptimize(plane.get());
    }
    report(state);
}

void BM_grayscale(benchmark::State& s) { run(s, to_grayscale); }
void BM_binarize(benchmark::State& s) { run(s, [](const ImageRecord& a, ImageRecord& b) { return binarize(a, b, 128); }); }
void BM_negative(benchmark::State& s) { run(s, make_negative); }
void BM_brightness(benchmark::State& s)
{
    run(s, [](const ImageRecord& a, ImageRecord& b) { return adjust_brightness(a, b, 25); });
}
void BM_contrast(benchmark::State& s)
{
    run(s, [](const ImageRecord& a, ImageRecord& b) { return adjust_contrast(a, b, 1.5f); });
}

BENCHMARK(BM_memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_statistics_smooth)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_statistics)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_luma_plane)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_grayscale)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_binarize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_negative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_brightness)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_contrast)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
