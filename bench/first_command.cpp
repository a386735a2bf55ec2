// What a user waits for around one picture of 4000 x 3000, each case beside
// OpenCV doing the same work in the same run:
//  - open: read the BMP and compute its four histograms (red, green, blue,
//    luma), against cv::imread and four cv::calcHist;
//  - save: write it back, against cv::imwrite of the same picture;
//  - negative, smooth-2d=3 and sobel as the first command after Open (the
//    destination is a fresh block: "first") and as a later one (the block is
//    reused: "steady"), against OpenCV's operation plus the four histograms
//    of its result, with fresh and with reused output matrices.
// Releasing the previous result is left out of every timing. Times are
// wall-clock, and CPU is the whole process's (every thread, system time
// included), the steadier figure on a shared machine; compare ratios within
// one run. Run:
//   scripts/bench first_command
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <system_error>

#include "image/bmp.h"
#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/operations.h"

#ifdef LUMAFORGE_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#endif

// The BMP reader reports refusals through the platform; a benchmark has none.
void show_message(const char* caption, const char* text) { std::fprintf(stderr, "%s: %s\n", caption, text); }

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// Smooth shading, edges, texture and grain, like a photo.
const ImageRecord& photo()
{
    static const ImageRecord r = [] {
        ImageRecord p = blank_record(kWidth, kHeight);
        std::mt19937 rng(1);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* q = p.pixels.get() + y * p.stride();
            for (int x = 0; x < kWidth; ++x, q += 3) {
                const double shade = 128 + 90 * std::sin(x * 0.003) * std::cos(y * 0.004);
                const double texture = ((x / 40 + y / 30) % 3) * 25.0;
                for (int c = 0; c < 3; ++c) {
                    const double v = shade + texture * (c + 1) / 3.0 + static_cast<int>(rng() % 21) - 10;
                    q[c] = static_cast<std::uint8_t>(std::fmin(255.0, std::fmax(0.0, v)));
                }
            }
        }
        compute_statistics(p);
        return p;
    }();
    return r;
}

std::filesystem::path scratch(const char* name) { return std::filesystem::temp_directory_path() / name; }

// The photo as a BMP file, written once per run.
const std::filesystem::path& photo_file()
{
    static const std::filesystem::path path = [] {
        const std::filesystem::path p = scratch("lumaforge-bench-photo.bmp");
        std::string error;
        const ImageRecord& r = photo();
        if (!write_bmp_file(p, r.width, r.height, r.pixels.get(), error)) std::fprintf(stderr, "%s\n", error.c_str());
        return p;
    }();
    return path;
}

void count_pixels(benchmark::State& state)
{
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                                                 benchmark::Counter::kIsRate);
}

void BM_open(benchmark::State& state)
{
    const std::filesystem::path& path = photo_file();
    ImageRecord record;
    for (auto _ : state) {
        state.PauseTiming();
        record.pixels.reset();
        state.ResumeTiming();
        if (load_bmp(path, record) != LoadResult::Loaded) state.SkipWithError("load_bmp refused the picture");
        benchmark::DoNotOptimize(record.hist_luma);
    }
    count_pixels(state);
}

void BM_save(benchmark::State& state)
{
    const ImageRecord& r = photo();
    const std::filesystem::path path = scratch("lumaforge-bench-save.bmp");
    std::string error;
    for (auto _ : state)
        if (!write_bmp_file(path, r.width, r.height, r.pixels.get(), error)) state.SkipWithError(error.c_str());
    std::filesystem::remove(path);
    count_pixels(state);
}

// One command on the photo; `fresh` gives it a new destination every time.
template <bool (*Op)(const ImageRecord&, ImageRecord&)>
void BM_command(benchmark::State& state, bool fresh)
{
    const ImageRecord& source = photo();
    ImageRecord destination;
    if (!fresh) Op(source, destination);
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            destination = ImageRecord{};
            state.ResumeTiming();
        }
        if (!Op(source, destination)) state.SkipWithError("the heap refused");
        benchmark::DoNotOptimize(destination.hist_luma);
    }
    count_pixels(state);
}

bool smooth_2d_3(const ImageRecord& source, ImageRecord& destination) { return smooth_2d(source, destination, 3); }

#ifdef LUMAFORGE_HAVE_OPENCV
cv::Mat photo_mat()
{
    const ImageRecord& p = photo();
    return cv::Mat(kHeight, kWidth, CV_8UC3, const_cast<std::uint8_t*>(p.pixels.get()), p.stride());
}

// The four histograms the program shows: one per channel and one of the
// grey conversion.
struct Histograms {
    cv::Mat channel[3], grey, luma;
    void compute(const cv::Mat& bgr)
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

void BM_opencv_open(benchmark::State& state)
{
    const std::string path = photo_file().string();
    cv::Mat picture;
    std::optional<Histograms> h;
    for (auto _ : state) {
        state.PauseTiming();
        picture.release();
        h.emplace();
        state.ResumeTiming();
        picture = cv::imread(path, cv::IMREAD_COLOR);
        if (picture.empty()) state.SkipWithError("imread refused the picture");
        h->compute(picture);
        benchmark::DoNotOptimize(h->luma.data);
    }
    count_pixels(state);
}

void BM_opencv_save(benchmark::State& state)
{
    const cv::Mat picture = photo_mat().clone();
    const std::filesystem::path path = scratch("lumaforge-bench-save-opencv.bmp");
    for (auto _ : state)
        if (!cv::imwrite(path.string(), picture)) state.SkipWithError("imwrite failed");
    std::filesystem::remove(path);
    count_pixels(state);
}

// The peers' outputs and scratch, dropped before every run when `fresh`.
struct Peer {
    cv::Mat out, grey, gx, gy, fx, fy, magnitude, grey_out;
    Histograms h;
};

void opencv_negative(const cv::Mat& in, Peer& p) { cv::bitwise_not(in, p.out); }
void opencv_smooth_3(const cv::Mat& in, Peer& p) { cv::blur(in, p.out, cv::Size(3, 3)); }
// Gradient magnitude of the grey picture, back to three equal channels as
// the program's result has.
void opencv_sobel(const cv::Mat& in, Peer& p)
{
    cv::cvtColor(in, p.grey, cv::COLOR_BGR2GRAY);
    cv::Sobel(p.grey, p.gx, CV_16S, 1, 0, 3);
    cv::Sobel(p.grey, p.gy, CV_16S, 0, 1, 3);
    p.gx.convertTo(p.fx, CV_32F);
    p.gy.convertTo(p.fy, CV_32F);
    cv::magnitude(p.fx, p.fy, p.magnitude);
    p.magnitude.convertTo(p.grey_out, CV_8U);
    cv::cvtColor(p.grey_out, p.out, cv::COLOR_GRAY2BGR);
}

template <void (*Op)(const cv::Mat&, Peer&)>
void BM_opencv_command(benchmark::State& state, bool fresh)
{
    const cv::Mat in = photo_mat();
    std::optional<Peer> peer(std::in_place);
    if (!fresh) {
        Op(in, *peer);
        peer->h.compute(peer->out);
    }
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            peer.emplace();
            state.ResumeTiming();
        }
        Op(in, *peer);
        peer->h.compute(peer->out);
        benchmark::DoNotOptimize(peer->h.luma.data);
    }
    count_pixels(state);
}

#endif

}  // namespace

// Each case of the program right before its peer, so that neighbours share
// the machine's state.
int main(int argc, char** argv)
{
    const auto add = [](const std::string& name, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
    };
    add("open", BM_open);
#ifdef LUMAFORGE_HAVE_OPENCV
    add("open/opencv imread + 4 histograms", BM_opencv_open);
#endif
    add("save", BM_save);
#ifdef LUMAFORGE_HAVE_OPENCV
    add("save/opencv imwrite", BM_opencv_save);
#endif
    const auto command = [&add](const char* name, auto fast, [[maybe_unused]] auto peer) {
        for (const bool fresh : {true, false}) {
            const std::string when = fresh ? "first" : "steady";
            add(std::string(name) + "/" + when, [fast, fresh](benchmark::State& s) { fast(s, fresh); });
#ifdef LUMAFORGE_HAVE_OPENCV
            add(std::string(name) + "/opencv + 4 histograms, " + when,
                [peer, fresh](benchmark::State& s) { peer(s, fresh); });
#endif
        }
    };
#ifdef LUMAFORGE_HAVE_OPENCV
#define PEER_OF(f) BM_opencv_command<f>
#else
#define PEER_OF(f) nullptr
#endif
    command("negative", BM_command<make_negative>, PEER_OF(opencv_negative));
    command("smooth-2d=3", BM_command<smooth_2d_3>, PEER_OF(opencv_smooth_3));
    command("sobel", BM_command<sobel_filter>, PEER_OF(opencv_sobel));

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove(scratch("lumaforge-bench-photo.bmp"), ec);
    return 0;
}
