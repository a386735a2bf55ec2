// Throughput of the luma edge filters and the noise command on a 4000x3000
// colour picture, in megapixels per second, beside the literal reference on
// a crop (the same per-pixel figure) and, for Sobel, the OpenCV gradient
// magnitude on a luma plane.
//
//   cmake --preset release && cmake --build build/release -j2 --target bench_edge_filters
//   build/release/bench/bench_edge_filters
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "image/statistics.h"
#include "ops/operations.h"
#include "tests/reference/edge_filters.h"

#ifdef LUMAFORGE_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr int kCropWidth = 400, kCropHeight = 300;

// Smooth shapes with grain, like a photo: edges of every strength.
ImageRecord picture(int w, int h)
{
    ImageRecord r = blank_record(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = r.pixels.get() + y * r.stride() + 3 * x;
            const double base = 128 + 90 * std::sin(x * 0.013) * std::cos(y * 0.021) + ((x / 97 + y / 61) % 2) * 30;
            for (int c = 0; c < 3; ++c) {
                const int v = static_cast<int>(base) + c * 10 + static_cast<int>(rng() % 17) - 8;
                p[c] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    compute_statistics(r);
    return r;
}

const ImageRecord& full_picture()
{
    static const ImageRecord r = picture(kWidth, kHeight);
    return r;
}

const ImageRecord& crop_picture()
{
    static const ImageRecord r = picture(kCropWidth, kCropHeight);
    return r;
}

void count_pixels(benchmark::State& state, int w, int h)
{
    state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * w * h / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_Fast(benchmark::State& state, const reference::LumaFilter& filter)
{
    const ImageRecord& source = full_picture();
    ImageRecord destination;
    for (auto _ : state) {
        filter.fast(source, destination);
        benchmark::DoNotOptimize(destination.pixels.get());
    }
    count_pixels(state, kWidth, kHeight);
}

void BM_Reference(benchmark::State& state, const reference::LumaFilter& filter)
{
    const ImageRecord& source = crop_picture();
    ImageRecord destination;
    for (auto _ : state) {
        filter.slow(source, destination);
        benchmark::DoNotOptimize(destination.pixels.get());
    }
    count_pixels(state, kCropWidth, kCropHeight);
}

// Every filter of the references' list, fast and literal.
[[maybe_unused]] const bool registered = [] {
    for (const reference::LumaFilter& f : reference::kLumaFilters) {
        const std::string name = f.step;
        benchmark::RegisterBenchmark(name.c_str(), BM_Fast, f)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((name + "/reference_crop").c_str(), BM_Reference, f)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

void BM_Noise(benchmark::State& state)
{
    const ImageRecord& source = full_picture();
    ImageRecord destination;
    for (auto _ : state) {
        add_noise(source, destination, static_cast<std::int32_t>(state.range(0)), 1);
        benchmark::DoNotOptimize(destination.pixels.get());
    }
    count_pixels(state, kWidth, kHeight);
}

void BM_NoiseReference(benchmark::State& state)
{
    const ImageRecord& source = crop_picture();
    ImageRecord destination;
    for (auto _ : state) {
        reference::noise(source, destination, static_cast<std::int32_t>(state.range(0)), 1);
        benchmark::DoNotOptimize(destination.pixels.get());
    }
    count_pixels(state, kCropWidth, kCropHeight);
}

#ifdef LUMAFORGE_HAVE_OPENCV
// The peer of sobel: gradients of a luma plane, magnitude, saturated to bytes.
void BM_OpenCvSobelMagnitude(benchmark::State& state)
{
    HeapArray<std::uint8_t> plane;
    make_luma_plane(full_picture(), plane);
    const cv::Mat luma(kHeight, kWidth, CV_8UC1, plane.get());
    cv::Mat gx, gy, fx, fy, magnitude, out;
    for (auto _ : state) {
        cv::Sobel(luma, gx, CV_16S, 1, 0, 3);
        cv::Sobel(luma, gy, CV_16S, 0, 1, 3);
        gx.convertTo(fx, CV_32F);
        gy.convertTo(fy, CV_32F);
        cv::magnitude(fx, fy, magnitude);
        magnitude.convertTo(out, CV_8U);
        benchmark::DoNotOptimize(out.data);
    }
    count_pixels(state, kWidth, kHeight);
}
BENCHMARK(BM_OpenCvSobelMagnitude)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK(BM_Noise)->Name("noise")->Arg(14000)->Arg(65534)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NoiseReference)->Name("noise/reference_crop")->Arg(14000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
