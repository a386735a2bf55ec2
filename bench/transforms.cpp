// Block transforms and segmentation.
//
// fft-2d=2048 forward plus inverse on a 4096x4096 picture and walsh-2d=2048
// forward plus inverse, each against the literal transform (a sine and a
// cosine per butterfly, reordering through temporary planes, one thread) in
// the same run; OpenCV's dft of three 2048x2048 float planes, forward plus
// scaled inverse, as the peer figure. Segmentation of a 4000x3000 page of
// text in megapixels per second, against the literal column-sum version.
// The speedups are printed after the table.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/operations.h"
#include "ops/segment/segment.h"
#include "tests/reference/segment_reference.h"
#include "tests/reference/transforms_reference.h"

#ifdef LUMAFORGE_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace {

ImageRecord& photo()
{
    static ImageRecord r = [] {
        ImageRecord p = blank_record(4096, 4096);
        std::mt19937 rng(7);
        for (std::size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = static_cast<std::uint8_t>(rng());
        return p;
    }();
    return r;
}

// Lines of dark glyphs on white: 40-pixel lines, 16-pixel glyphs with gaps,
// some with a dot above them.
ImageRecord& text_page()
{
    static ImageRecord r = [] {
        ImageRecord p = blank_record(4000, 3000);
        std::memset(p.pixels.get(), 255, p.pixels.size());
        std::mt19937 rng(11);
        auto ink = [&](int x, int y) {
            std::uint8_t* px = p.pixels.get() + static_cast<std::size_t>(y) * p.stride() + 3 * x;
            px[0] = px[1] = px[2] = static_cast<std::uint8_t>(rng() % 64);
        };
        for (int base = 20; base + 40 < 3000; base += 48)
            for (int x0 = 20; x0 + 20 < 4000; x0 += 20) {
                if (rng() % 7 == 0) continue;  // a space
                const int height = 12 + static_cast<int>(rng() % 16);
                for (int y = base; y < base + height; ++y)
                    for (int x = x0; x < x0 + 14; ++x)
                        if (rng() % 3 != 0) ink(x, y);
                if (rng() % 5 == 0)
                    for (int x = x0 + 5; x < x0 + 8; ++x) ink(x, base + height + 4);
            }
        return p;
    }();
    return r;
}

// Wall-clock and process CPU seconds (all threads) per iteration of each
// benchmark, for the speedups at the end. On a shared machine the CPU figure
// is the steadier one; the wall-clock one shows what threads bring.
struct Timing {
    double wall = 0, cpu = 0;
};
std::map<std::string, Timing> seconds_per_run;

template <class Body>
void timed(benchmark::State& state, const char* name, Body&& body)
{
    Timing total;
    std::int64_t runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu_start = std::clock();
        body();
        total.cpu += static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        total.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    if (runs > 0) seconds_per_run[name] = {total.wall / static_cast<double>(runs), total.cpu / static_cast<double>(runs)};
}

void BM_Fft2d2048ForwardInverse(benchmark::State& state)
{
    ImageRecord& r = photo();
    timed(state, "fft", [&] {
        fft_block(r, 2, +1, 2048);
        fft_block(r, 2, -1, 0);
    });
}

void BM_Fft2d2048ForwardInverseLiteral(benchmark::State& state)
{
    ImageRecord& r = photo();
    timed(state, "fft literal", [&] {
        reference::fft_block(r, 2, +1, 2048);
        reference::fft_block(r, 2, -1, 0);
    });
}

void BM_Walsh2d2048ForwardInverse(benchmark::State& state)
{
    ImageRecord& r = photo();
    timed(state, "walsh", [&] {
        walsh_block(r, 2, +1, 2048);
        walsh_block(r, 2, -1, 0);
    });
}

void BM_Walsh2d2048ForwardInverseLiteral(benchmark::State& state)
{
    ImageRecord& r = photo();
    timed(state, "walsh literal", [&] {
        reference::walsh_block(r, 2, +1, 2048);
        reference::walsh_block(r, 2, -1, 0);
    });
}

#ifdef LUMAFORGE_HAVE_OPENCV
void BM_OpenCvDft3x2048ForwardInverse(benchmark::State& state)
{
    std::mt19937 rng(3);
    cv::Mat planes[3], spectrum, back;
    for (cv::Mat& p : planes) {
        p.create(2048, 2048, CV_32F);
        for (int y = 0; y < 2048; ++y)
            for (int x = 0; x < 2048; ++x) p.at<float>(y, x) = static_cast<float>(rng() % 256);
    }
    timed(state, "opencv", [&] {
        for (cv::Mat& p : planes) {
            cv::dft(p, spectrum, cv::DFT_COMPLEX_OUTPUT);
            cv::dft(spectrum, back, cv::DFT_INVERSE | cv::DFT_SCALE | cv::DFT_REAL_OUTPUT);
            benchmark::DoNotOptimize(back.data);
        }
    });
}
#endif

void BM_SegmentTextPage(benchmark::State& state)
{
    const ImageRecord& page = text_page();
    std::size_t frames = 0;
    timed(state, "segment", [&] {
        const auto found = find_segment_frames(page);
        frames = found ? found->size() : 0;
    });
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["MP/s"] = benchmark::Counter(4000.0 * 3000.0 / 1e6 * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

void BM_SegmentTextPageLiteral(benchmark::State& state)
{
    const ImageRecord& page = text_page();
    timed(state, "segment literal", [&] { benchmark::DoNotOptimize(reference::segment_frames(page).size()); });
    state.counters["MP/s"] = benchmark::Counter(4000.0 * 3000.0 / 1e6 * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Fft2d2048ForwardInverse)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Fft2d2048ForwardInverseLiteral)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Walsh2d2048ForwardInverse)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Walsh2d2048ForwardInverseLiteral)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
#ifdef LUMAFORGE_HAVE_OPENCV
BENCHMARK(BM_OpenCvDft3x2048ForwardInverse)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
#endif
BENCHMARK(BM_SegmentTextPage)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SegmentTextPageLiteral)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void print_speedup(const char* fast, const char* literal)
{
    const auto f = seconds_per_run.find(fast), l = seconds_per_run.find(literal);
    if (f == seconds_per_run.end() || l == seconds_per_run.end() || f->second.wall <= 0 || f->second.cpu <= 0) return;
    std::printf("speedup %-8s over the literal version: %.1fx wall clock (%.3f s against %.3f s), %.1fx CPU time "
                "(%.3f s against %.3f s)\n",
                fast, l->second.wall / f->second.wall, f->second.wall, l->second.wall, l->second.cpu / f->second.cpu,
                f->second.cpu, l->second.cpu);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    print_speedup("fft", "fft literal");
    print_speedup("walsh", "walsh literal");
    print_speedup("segment", "segment literal");
    const auto f = seconds_per_run.find("fft"), o = seconds_per_run.find("opencv");
    if (f != seconds_per_run.end() && o != seconds_per_run.end())
        std::printf("fft-2d=2048 forward+inverse against OpenCV dft forward+inverse of 3 planes: %.2fx its wall "
                    "clock, %.2fx its CPU time\n",
                    f->second.wall / o->second.wall, f->second.cpu / o->second.cpu);
    return 0;
}
