// Statistical filter: luma times the standard deviation of the luma in the
// n x n window, grey.
//
// The window sum S is an exact integer and comes from running sums. The sum
// of squared deviations depends in its last bits on the order of addition,
// so every pixel adds its n^2 terms window row by window row, left to right,
// as defined; speed comes from doing that for a block of neighbouring pixels
// at once (one vector lane per pixel) and from running stripes on threads.
#include <cmath>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/cpu_features.h"
#include "ops/filters/statistical_kernel.h"
#include "ops/filters/window_support.h"
#include "ops/explain.h"
#include "ops/operations.h"

// The vector helpers are always inlined into the copies that call them.
#pragma GCC diagnostic ignored "-Wpsabi"

using namespace window_filters;

namespace {

constexpr std::size_t kBlock = 128;  // output pixels whose rows are converted together

// Eight doubles; the compiler maps them onto whatever vectors the copy has.
typedef double Doubles __attribute__((vector_size(64)));

inline __attribute__((always_inline)) Doubles load8(const double* p)
{
    Doubles v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Whole groups of 32 pixels keep their sums in registers for all n^2 terms;
// the rest go one by one.
[[gnu::always_inline]] inline void add_squared_deviations_body(const double* rows, std::size_t row_length, unsigned n,
                                                               const double* mean, std::size_t count, double* acc)
{
    std::size_t j = 0;
    for (; j + 32 <= count; j += 32) {
        const Doubles m0 = load8(mean + j), m1 = load8(mean + j + 8), m2 = load8(mean + j + 16),
                      m3 = load8(mean + j + 24);
        Doubles a0 = {}, a1 = {}, a2 = {}, a3 = {};
        for (unsigned k = 0; k < n; ++k) {
            const double* row = rows + k * row_length + j;
            for (unsigned i = 0; i < n; ++i) {
                const Doubles d0 = load8(row + i) - m0, d1 = load8(row + i + 8) - m1;
                const Doubles d2 = load8(row + i + 16) - m2, d3 = load8(row + i + 24) - m3;
                a0 += d0 * d0;
                a1 += d1 * d1;
                a2 += d2 * d2;
                a3 += d3 * d3;
            }
        }
        std::memcpy(acc + j, &a0, sizeof a0);
        std::memcpy(acc + j + 8, &a1, sizeof a1);
        std::memcpy(acc + j + 16, &a2, sizeof a2);
        std::memcpy(acc + j + 24, &a3, sizeof a3);
    }
    for (; j < count; ++j) {
        double a = 0.0;
        for (unsigned k = 0; k < n; ++k) {
            const double* row = rows + k * row_length + j;
            for (unsigned i = 0; i < n; ++i) {
                const double d = row[i] - mean[j];
                a += d * d;
            }
        }
        acc[j] = a;
    }
}

// Widens bytes to doubles.
[[gnu::always_inline]] inline void widen_body(const std::uint8_t* in, std::size_t count, double* out)
{
    for (std::size_t j = 0; j < count; ++j) out[j] = in[j];
}

// values[j] = clamp(trunc(sqrt(acc[j]) * r1 * centre[j] + 0.5)), the same
// correctly rounded operations two pixels at a time where the vector unit
// has them (the library square root would check every argument for errors).
[[gnu::always_inline]] inline void grey_values_body(const double* acc, const std::uint8_t* centre, std::size_t count,
                                                    double r1, std::uint8_t* values)
{
    auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    std::size_t j = 0;
#if defined(__SSE2__) && !defined(__wasm__)  // WebAssembly has no cvttpd: its scalar ops are as quick
    const __m128d scale = _mm_set1_pd(r1), half = _mm_set1_pd(0.5);
    for (; j + 2 <= count; j += 2) {
        const __m128d sigma = _mm_mul_pd(_mm_sqrt_pd(_mm_loadu_pd(acc + j)), scale);
        const __m128d c = _mm_set_pd(centre[j + 1], centre[j]);
        const __m128i v = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(sigma, c), half));
        values[j] = clamp(_mm_cvtsi128_si32(v));
        values[j + 1] = clamp(_mm_cvtsi128_si32(_mm_shuffle_epi32(v, 1)));
    }
#endif
    for (; j < count; ++j) {
        const double sigma = std::sqrt(acc[j]) * r1;
        values[j] = clamp(static_cast<int>(sigma * static_cast<double>(centre[j]) + 0.5));
    }
}

// The copies of the three kernels for the current level, chosen once per call.
struct Kernels {
    decltype(&widen_body) widen;
    decltype(&add_squared_deviations_body) add_squared_deviations;
    decltype(&grey_values_body) grey_values;
};

Kernels pick_kernels()
{
    return {pick_copy<&widen_body, CpuLevel::avx2, CpuLevel::avx512>(),
            pick_copy<&add_squared_deviations_body, CpuLevel::avx2, CpuLevel::avx512>(),
            pick_copy<&grey_values_body, CpuLevel::avx2, CpuLevel::avx512>()};
}

// What every stripe shares: the luma plane, the window and the output.
struct Job {
    const std::uint8_t* luma_plane;
    std::size_t w, n, half, stride;
    Span columns;
    double r1, r2;  // 1 / n and 1 / n^2
    std::uint8_t* out;
    Kernels kernels;
};

struct Scratch {
    std::uint16_t* column_sums;  // w
    double* mean;                // w
    double* rows;                // n x (kBlock + n - 1)
    double* acc;                 // kBlock
};

// Window means of row y from the exact integer sums of its columns.
void window_means(const Job& job, const Scratch& s)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < job.n; ++i) sum += s.column_sums[i];
    for (std::size_t x = job.columns.first;; ++x) {
        s.mean[x] = static_cast<double>(sum) * job.r2;
        if (x + 1 == job.columns.first + job.columns.count) break;
        sum += static_cast<std::uint32_t>(s.column_sums[x + job.half + 1]) - s.column_sums[x - job.half];
    }
}

// The grey values of output row y, kBlock pixels at a time.
void filter_row(const Job& job, const Scratch& s, std::size_t y)
{
    const std::size_t n = job.n, w = job.w, half = job.half, row_length = kBlock + n - 1;
    const std::uint8_t* window = job.luma_plane + (y - half) * w;
    const std::uint8_t* centre = job.luma_plane + y * w;
    const std::size_t end = job.columns.first + job.columns.count;
    for (std::size_t x0 = job.columns.first; x0 < end; x0 += kBlock) {
        const std::size_t count = std::min(kBlock, end - x0);
        for (std::size_t k = 0; k < n; ++k)
            job.kernels.widen(window + k * w + (x0 - half), count + n - 1, s.rows + k * row_length);
        job.kernels.add_squared_deviations(s.rows, row_length, static_cast<unsigned>(n), s.mean + x0, count, s.acc);
        std::uint8_t values[kBlock];
        job.kernels.grey_values(s.acc, centre + x0, count, job.r1, values);
        std::uint8_t* q = job.out + y * job.stride + 3 * x0;
        for (std::size_t j = 0; j < count; ++j, q += 3) q[0] = q[1] = q[2] = values[j];
    }
}

// Output rows [y0, y1), with column sums slid down the rows.
void filter_stripe(const Job& job, const Scratch& s, std::size_t y0, std::size_t y1)
{
    const std::size_t w = job.w, half = job.half;
    std::memset(s.column_sums, 0, w * sizeof *s.column_sums);
    for (std::size_t k = 0; k < job.n; ++k) {
        const std::uint8_t* row = job.luma_plane + (y0 - half + k) * w;
        for (std::size_t x = 0; x < w; ++x) s.column_sums[x] += row[x];
    }
    for (std::size_t y = y0;; ++y) {
        window_means(job, s);
        filter_row(job, s, y);
        if (y + 1 == y1) break;
        const std::uint8_t* leaving = job.luma_plane + (y - half) * w;
        const std::uint8_t* entering = job.luma_plane + (y - half + job.n) * w;
        for (std::size_t x = 0; x < w; ++x)
            s.column_sums[x] = static_cast<std::uint16_t>(s.column_sums[x] + entering[x] - leaving[x]);
    }
}

}  // namespace

void window_filters::add_squared_deviations(const double* rows, std::size_t row_length, unsigned n, const double* mean,
                                            std::size_t count, double* acc)
{
    pick_kernels().add_squared_deviations(rows, row_length, n, mean, count, acc);
}

bool statistical_filter(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const std::size_t w = source.width;
    const Span rows = output_span(source.height, n), columns = output_span(w, n);
    const bool writes = rows.count != 0 && columns.count != 0;

    HeapArray<std::uint8_t> plane;
    HeapArray<std::uint16_t> sums_memory;
    HeapArray<double> double_memory;
    const std::size_t stripes = stripe_count(rows.count), row_length = kBlock + n - 1;
    const std::size_t doubles_per_stripe = w + n * row_length + kBlock;
    if (writes) {
        if (!make_luma_plane(source, plane)) return false;
        sums_memory = HeapArray<std::uint16_t>::allocate(stripes * w);
        double_memory = HeapArray<double>::allocate(stripes * doubles_per_stripe);
        if (!sums_memory || !double_memory) return false;
    }
    if (!ensure_destination(source, destination)) return false;

    if (writes) {
        const Job job{plane.get(), w, n, n / 2, source.stride(), columns, 1.0 / static_cast<double>(n),
                      1.0 / static_cast<double>(n * n), destination.pixels.get(), pick_kernels()};
        for_each_stripe(stripes, rows.first, rows.count, columns.count * rows.count * n * n,
                        [&](std::size_t stripe, std::size_t y0, std::size_t y1) {
                            double* d = double_memory.get() + stripe * doubles_per_stripe;
                            const Scratch s{sums_memory.get() + stripe * w, d, d + w, d + w + n * row_length};
                            filter_stripe(job, s, y0, y1);
                        });
    }
    finish(source, destination);
    return true;
}

// The window's sums in the filter's order: window rows from the lowest
// memory row up, each left to right, through the filter's own kernels.
Explanation explain_statistical(const PixelQuestion& q, std::uint8_t aperture)
{
    const int n = aperture, half = n / 2;
    if (q.x < half || q.y < half || q.x + half >= q.source.width || q.y + half >= q.source.height)
        return explain::not_written(q, "Пиксель рамки: окно выходит за край, фильтр его не записывает.");
    Explanation e = explain::computed(q);
    e.inputs.push_back(explain::window(q.source, Sample::Luma, q.x - half, q.y - half, n, n));
    const std::vector<int>& v = e.inputs.back().values;  // top row first

    std::vector<double> rows(static_cast<std::size_t>(n) * n);
    std::uint32_t sum = 0;
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i) {
            const int value = v[static_cast<std::size_t>(n - 1 - k) * n + i];
            rows[static_cast<std::size_t>(k) * n + i] = value;
            sum += static_cast<std::uint32_t>(value);
        }
    const double r1 = 1.0 / static_cast<double>(n), r2 = 1.0 / static_cast<double>(n * n);
    const double mean = static_cast<double>(sum) * r2;
    double deviations = 0.0;
    const Kernels kernels = pick_kernels();
    kernels.add_squared_deviations(rows.data(), static_cast<std::size_t>(n), static_cast<unsigned>(n), &mean, 1,
                                   &deviations);
    const auto centre = static_cast<std::uint8_t>(v[static_cast<std::size_t>(half) * n + half]);
    std::uint8_t value = 0;
    kernels.grey_values(&deviations, &centre, 1, r1, &value);

    const double sigma = std::sqrt(deviations) * r1;
    explain::add_step(e, "window_sum", "Сумма окна S", sum);
    explain::add_step(e, "mean", "Среднее S / n²", mean);
    explain::add_step(e, "deviation_sum", "Сумма квадратов отклонений", deviations);
    explain::add_step(e, "sigma", "σ = √(сумма) / n", sigma);
    explain::add_step(e, "sigma_times_centre", "σ·c до округления и ограничения 0..255", sigma * centre);
    e.result = explain::grey(value);
    return e;
}
