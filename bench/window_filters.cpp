// Megapixels per second of the windowed filters on a 4000 x 3000 colour
// picture, apertures 3, 5 and 21, with in the same run:
//  - the literal algorithms (windows copied and bubble-sorted or summed
//    afresh) on a crop, scaled per pixel;
//  - OpenCV's closest operations (medianBlur, blur), when available;
//  - compute_statistics alone, which every operation ends with.
// Operations run whole, as the dispatcher calls them: filter, size fields,
// statistics. Rates are per second of CPU time of the whole process (every
// thread), which stays meaningful on a shared machine; divide by the cores
// for wall-clock on an idle one. Run the release preset:
//   build/release/bench/bench_window_filters --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/operations.h"
#include "tests/reference/window_filters.h"

#if defined(LUMAFORGE_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A photo-like picture: smooth shading, edges, texture and some noise.
ImageRecord make_picture(int w, int h)
{
    ImageRecord r = blank_record(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = r.pixels.get() + y * r.stride();
        for (int x = 0; x < w; ++x, p += 3) {
            const double shade = 128 + 90 * std::sin(x * 0.003) * std::cos(y * 0.004);
            const double texture = ((x / 40 + y / 30) % 3) * 25.0;
            for (int c = 0; c < 3; ++c) {
                const double v = shade + texture * (c + 1) / 3.0 + static_cast<int>(rng() % 21) - 10;
                p[c] = static_cast<std::uint8_t>(std::fmin(255.0, std::fmax(0.0, v)));
            }
        }
    }
    compute_statistics(r);
    return r;
}

const ImageRecord& picture()
{
    static const ImageRecord p = make_picture(kWidth, kHeight);
    return p;
}

using Filter = bool (*)(const ImageRecord&, ImageRecord&, std::uint8_t);
using Reference = void (*)(const ImageRecord&, ImageRecord&, std::uint8_t);

void set_rate(benchmark::State& state, double pixels)
{
    state.counters["Mpx/s"] =
        benchmark::Counter(pixels * 1e-6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void run_filter(benchmark::State& state, Filter filter)
{
    const ImageRecord& source = picture();
    ImageRecord destination;
    const auto aperture = static_cast<std::uint8_t>(state.range(0));
    filter(source, destination, aperture);  // takes the buffer, as a second command would find it
    for (auto _ : state) benchmark::DoNotOptimize(filter(source, destination, aperture));
    set_rate(state, double{kWidth} * kHeight);
}

// The literal algorithm on a crop big enough to hold several windows.
void run_reference(benchmark::State& state, Reference reference)
{
    const int side = state.range(0) >= 21 ? 120 : 200;
    const ImageRecord source = make_picture(side, side);
    ImageRecord destination;
    const auto aperture = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state) reference(source, destination, aperture);
    set_rate(state, static_cast<double>(side) * side);
}

void BM_statistics(benchmark::State& state)
{
    ImageRecord copy;
    const ImageRecord& source = picture();
    copy.width = source.width;
    copy.height = source.height;
    copy.row_padding = source.row_padding;
    copy.data_size = source.data_size;
    ensure_destination(source, copy);
    for (auto _ : state) compute_statistics(copy);
    set_rate(state, double{kWidth} * kHeight);
}
BENCHMARK(BM_statistics)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

#define WINDOW_BENCH(name, fast, literal)                                                      \
    void BM_##name(benchmark::State& state) { run_filter(state, fast); }                      \
    BENCHMARK(BM_##name)->Arg(3)->Arg(5)->Arg(21)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond); \
    void BM_##name##_literal(benchmark::State& state) { run_reference(state, literal); }       \
    BENCHMARK(BM_##name##_literal)->Arg(3)->Arg(5)->Arg(21)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

WINDOW_BENCH(statistical, statistical_filter, reference_statistical_filter)
WINDOW_BENCH(smooth_2d, smooth_2d, reference_smooth_2d)
WINDOW_BENCH(smooth_linear, smooth_linear, reference_smooth_linear)
WINDOW_BENCH(median_linear, median_linear, reference_median_linear)
WINDOW_BENCH(median_2d, median_2d, reference_median_2d)

#if defined(LUMAFORGE_HAVE_OPENCV)
cv::Mat picture_mat()
{
    const ImageRecord& p = picture();
    return cv::Mat(kHeight, kWidth, CV_8UC3, const_cast<std::uint8_t*>(p.pixels.get()), p.stride());
}

void BM_opencv_medianBlur(benchmark::State& state)
{
    const cv::Mat in = picture_mat();
    cv::Mat out;
    const int k = static_cast<int>(state.range(0));
    for (auto _ : state) cv::medianBlur(in, out, k);
    set_rate(state, double{kWidth} * kHeight);
}
BENCHMARK(BM_opencv_medianBlur)->Arg(3)->Arg(5)->Arg(21)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_opencv_blur_2d(benchmark::State& state)
{
    const cv::Mat in = picture_mat();
    cv::Mat out;
    const int k = static_cast<int>(state.range(0));
    for (auto _ : state) cv::blur(in, out, cv::Size(k, k));
    set_rate(state, double{kWidth} * kHeight);
}
BENCHMARK(BM_opencv_blur_2d)->Arg(3)->Arg(5)->Arg(21)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_opencv_blur_linear(benchmark::State& state)
{
    const cv::Mat in = picture_mat();
    cv::Mat out;
    const int k = static_cast<int>(state.range(0));
    for (auto _ : state) cv::blur(in, out, cv::Size(k, 1));
    set_rate(state, double{kWidth} * kHeight);
}
BENCHMARK(BM_opencv_blur_linear)->Arg(3)->Arg(5)->Arg(21)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
