// A kernel of the user's own, 5x5, on a 4000 x 3000 colour picture, against
// OpenCV's filter2D with the same kernel in the same run. Both sides count
// the four histograms of their result (ours: the operation's own statistics;
// OpenCV: calcHist of each channel and of the grey conversion), and both
// leave the 2-pixel frame alone: filter2D runs on the inner region of the
// picture and reads the real pixels around it. Steady state (the output
// reused), wall-clock and the CPU time of the whole process (every thread;
// the steadier figure on a shared machine):
//   build/release/bench/bench_custom_kernel --benchmark_min_time=1
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "commands/kernel_dialog.h"
#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/operations.h"

#if defined(LUMAFORGE_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

const ImageRecord& picture()
{
    static const ImageRecord p = [] {
        ImageRecord r = blank_record(kWidth, kHeight);
        std::mt19937 rng(1);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* p = r.pixels.get() + y * r.stride();
            for (int x = 0; x < kWidth; ++x, p += 3)
                for (int c = 0; c < 3; ++c) {
                    const double v = 128 + 90 * std::sin(x * 0.003 + c) * std::cos(y * 0.004) + static_cast<int>(rng() % 21) - 10;
                    p[c] = static_cast<std::uint8_t>(std::fmin(255.0, std::fmax(0.0, v)));
                }
        }
        compute_statistics(r);
        return r;
    }();
    return p;
}

// The kernels measured: Gauss 5x5 on each channel and on the luma (sums in
// 16-bit lanes), and a 5x5 of large weights on each channel (32-bit lanes).
CustomKernel kernel_of(int which)
{
    CustomKernel k;
    std::string error;
    const char* words[] = {"gauss-5",
                           "5:1,4,6,4,1,4,16,24,16,4,6,24,36,24,6,4,16,24,16,4,1,4,6,4,1/auto+0,clamp,luma",
                           "5:-3,0,40,0,-3,0,90,-100,90,0,40,-100,200,-100,40,0,90,-100,90,0,-3,0,40,0,-3/300+0,clamp,rgb"};
    parse_kernel_word(words[which], k, error);
    return k;
}
const char* kNames[] = {"gauss-5 each channel", "gauss-5 luma", "large weights each channel"};

void BM_kernel(benchmark::State& state)
{
    const CustomKernel k = kernel_of(static_cast<int>(state.range(0)));
    ImageRecord out;
    custom_kernel_filter(picture(), out, k);
    for (auto _ : state) benchmark::DoNotOptimize(custom_kernel_filter(picture(), out, k));
    state.SetLabel(kNames[state.range(0)]);
    state.counters["Mpx/s"] = benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_kernel)->DenseRange(0, 2)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

#if defined(LUMAFORGE_HAVE_OPENCV)
struct Histograms {
    cv::Mat channel[3], grey, luma;
    void count(const cv::Mat& bgr)
    {
        const int size = 256;
        const float range[] = {0, 256};
        const float* ranges[] = {range};
        for (int c = 0; c < 3; ++c) cv::calcHist(&bgr, 1, &c, cv::Mat(), channel[c], 1, &size, ranges);
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
        const int first = 0;
        cv::calcHist(&grey, 1, &first, cv::Mat(), luma, 1, &size, ranges);
    }
};

// filter2D with the kernel's weights / divisor and offset as delta; on the
// luma: grey conversion, filter2D, back to three channels.
void BM_opencv_filter2D(benchmark::State& state)
{
    const CustomKernel k = kernel_of(static_cast<int>(state.range(0)));
    const ImageRecord& p = picture();
    const cv::Mat in(kHeight, kWidth, CV_8UC3, const_cast<std::uint8_t*>(p.pixels.get()), p.stride());
    cv::Mat weights(k.size, k.size, CV_32F);
    const float divisor = static_cast<float>(kernel_divisor(k));
    for (int i = 0; i < k.size * k.size; ++i) weights.at<float>(i / k.size, i % k.size) = k.weights[i] / divisor;
    const cv::Rect inner(2, 2, kWidth - 4, kHeight - 4);
    cv::Mat out = in.clone(), grey, grey_out(kHeight, kWidth, CV_8U, cv::Scalar(0));
    Histograms h;
    const bool luma = k.channels == KernelChannels::Luma;
    for (auto _ : state) {
        if (luma) {
            cv::cvtColor(in, grey, cv::COLOR_BGR2GRAY);
            cv::Mat target = grey_out(inner);
            cv::filter2D(grey(inner), target, -1, weights, cv::Point(-1, -1), k.offset);
            cv::cvtColor(grey_out, out, cv::COLOR_GRAY2BGR);
        } else {
            cv::Mat target = out(inner);
            cv::filter2D(in(inner), target, -1, weights, cv::Point(-1, -1), k.offset);
        }
        h.count(out);
        benchmark::ClobberMemory();
    }
    state.SetLabel(kNames[state.range(0)]);
    state.counters["Mpx/s"] = benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_opencv_filter2D)->DenseRange(0, 2)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
