// Rendering the client area: a 1920x1080 client with a 4000x3000 picture,
// scrolled into the middle of the picture, at natural size and zoomed,
// against a memcpy of the frame's bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "image/image_record.h"
#include "image/statistics.h"
#include "render/view.h"

namespace {

constexpr int kClientW = 1920, kClientH = 1080;

ImageRecord& picture()
{
    static ImageRecord rec = [] {
        ImageRecord r = blank_record(4000, 3000);
        std::mt19937 rng(1);
        for (std::int32_t i = 0; i < r.data_size; ++i) r.pixels[i] = static_cast<std::uint8_t>(rng());
        compute_statistics(r);
        return r;
    }();
    return rec;
}

void BM_RenderClient(benchmark::State& state)
{
    ImageStore store;
    store.current_image = &picture();
    ViewState view;
    view.scroll_x = static_cast<std::int32_t>(state.range(0));
    view.scroll_y = static_cast<std::int32_t>(state.range(1));
    view.zoom = static_cast<std::int32_t>(state.range(2));
    Frame frame;
    frame.resize(kClientW, kClientH);
    for (auto _ : state) {
        render_client(frame, store, view);
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(frame.pixels.size()));
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kClientW) * kClientH * static_cast<double>(state.iterations()) / 1e6,
                                                 benchmark::Counter::kIsRate);
}
// Unscrolled (picture and panel both visible: the panel lies beyond the
// client), and scrolled so the panel is in view; then zoomed (scroll, zoom):
// 12.5 % (the whole picture and the panel), 800 % and 3200 % (digits in
// every pixel) scrolled into the picture's middle.
BENCHMARK(BM_RenderClient)
    ->Args({0, 0, 0})
    ->Args({3000, 1000, 0})
    ->Args({0, 0, -3})
    ->Args({16000 - 960, 12000 - 540, 3})
    ->Args({32000 - 960, 24000 - 540, 4})
    ->Args({64000 - 960, 48000 - 540, 5})
    ->ArgNames({"x", "y", "zoom"})
    ->Unit(benchmark::kMicrosecond);

void BM_MemcpyFrame(benchmark::State& state)
{
    Frame source, frame;
    source.resize(kClientW, kClientH);
    frame.resize(kClientW, kClientH);
    for (auto _ : state) {
        std::memcpy(frame.pixels.data(), source.pixels.data(), frame.pixels.size());
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(frame.pixels.size()));
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kClientW) * kClientH * static_cast<double>(state.iterations()) / 1e6,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
