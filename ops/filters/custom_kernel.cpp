// A kernel of the user's own (ops/filters/custom_kernel.h has the
// arithmetic).
//
// Every window sum lies in [lo, hi], lo = 255 x (sum of the negative
// weights), hi = 255 x (sum of the positive ones), so the byte each sum
// becomes is read from a table of hi - lo + 1 entries made once per run.
// When that range is at most 65536 wide the sums are formed modulo 2^16 in
// 16-bit lanes (S - lo is then exact), otherwise in 32-bit ones. The sums
// are built one weight at a time over a run of positions, skipping zero
// weights; on each channel a weight's samples lie 3 bytes apart, so both
// modes run the same loops over bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/cpu_features.h"
#include "ops/filters/custom_kernel.h"
#include "ops/filters/luma_window.h"
#include "ops/filters/window_support.h"
#include "ops/operations.h"

std::int32_t kernel_divisor(const CustomKernel& kernel)
{
    if (kernel.divisor != 0) return kernel.divisor;
    std::int32_t sum = 0;
    for (int i = 0; i < kernel.size * kernel.size; ++i) sum += kernel.weights[i];
    return sum > 0 ? sum : 1;
}

bool kernel_valid(const CustomKernel& kernel)
{
    if (kernel.size != 3 && kernel.size != 5) return false;
    for (int i = 0; i < 25; ++i) {
        const int w = kernel.weights[i];
        if (i >= kernel.size * kernel.size ? w != 0 : (w < -kKernelMaxWeight || w > kKernelMaxWeight)) return false;
    }
    return kernel.divisor >= 0 && kernel.divisor <= kKernelMaxDivisor && kernel.offset >= -kKernelMaxOffset &&
           kernel.offset <= kKernelMaxOffset && static_cast<int>(kernel.out_of_range) <= 2 &&
           static_cast<int>(kernel.channels) <= 1;
}

std::int32_t kernel_quotient(std::int32_t sum, std::int32_t divisor, std::int32_t offset)
{
    const std::int32_t n = sum + offset * divisor;
    const std::int32_t magnitude = (std::abs(n) * 2 + divisor) / (2 * divisor);  // half away from zero
    return n < 0 ? -magnitude : magnitude;
}

std::uint8_t kernel_byte(std::int32_t quotient, OutOfRange rule)
{
    const std::int32_t v = rule == OutOfRange::Absolute ? std::abs(quotient)
                           : rule == OutOfRange::Plus128 ? quotient + 128
                                                         : quotient;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

namespace {

constexpr std::size_t kRun = luma_filters::kRun;

// The weights as the loops use them: the ones that are not zero, each with
// the row (k: memory row y - half + k) and the column it applies to.
struct Taps {
    int count = 0;
    std::int32_t weight[25];
    std::uint8_t row[25], column[25];
    std::int32_t lo = 0, hi = 0;
    bool narrow = false;  // sums fit 16-bit lanes
};

Taps taps_of(const CustomKernel& k)
{
    Taps t;
    const int n = k.size;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const int w = k.weights[r * n + c];
            if (w == 0) continue;
            // Picture row r (top first) is memory row y + half - r: rows[n - 1 - r].
            t.weight[t.count] = w;
            t.row[t.count] = static_cast<std::uint8_t>(n - 1 - r);
            t.column[t.count] = static_cast<std::uint8_t>(c);
            ++t.count;
            (w < 0 ? t.lo : t.hi) += 255 * w;
        }
    t.narrow = t.hi - t.lo < 65536;
    return t;
}

// The byte of every sum lo..hi, walking the quotient instead of dividing.
void fill_table(const CustomKernel& k, const Taps& t, std::uint8_t* table)
{
    const std::int32_t d = kernel_divisor(k);
    std::int32_t n = t.lo + k.offset * d;
    std::int32_t floor_q = n >= 0 ? n / d : -((-n + d - 1) / d);
    std::int32_t r = n - floor_q * d;  // 0 <= r < d
    for (std::int32_t s = t.lo; s <= t.hi; ++s, ++n) {
        const bool up = 2 * r > d || (2 * r == d && n >= 0);
        table[s - t.lo] = kernel_byte(floor_q + (up ? 1 : 0), k.out_of_range);
        if (++r == d) {
            r = 0;
            ++floor_q;
        }
    }
}

// sums[i] = sum of w x rows[k][i + step * c] over the taps, i < n.
[[gnu::always_inline]] inline void sums16(const std::uint8_t* const* rows, const Taps* t, std::size_t step,
                                          std::size_t n, std::uint16_t* sums)
{
    std::memset(sums, 0, n * sizeof *sums);
    int j = 0;
    for (; j + 1 < t->count; j += 2) {  // two weights a pass: half the stores
        const std::uint16_t w = static_cast<std::uint16_t>(t->weight[j]), v = static_cast<std::uint16_t>(t->weight[j + 1]);
        const std::uint8_t* p = rows[t->row[j]] + step * t->column[j];
        const std::uint8_t* q = rows[t->row[j + 1]] + step * t->column[j + 1];
        for (std::size_t i = 0; i < n; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + w * p[i] + v * q[i]);
    }
    if (j < t->count) {
        const std::uint16_t w = static_cast<std::uint16_t>(t->weight[j]);
        const std::uint8_t* p = rows[t->row[j]] + step * t->column[j];
        for (std::size_t i = 0; i < n; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + w * p[i]);
    }
}
[[gnu::always_inline]] inline void sums32(const std::uint8_t* const* rows, const Taps* t, std::size_t step,
                                          std::size_t n, std::int32_t* sums)
{
    std::memset(sums, 0, n * sizeof *sums);
    int j = 0;
    for (; j + 1 < t->count; j += 2) {
        const std::int32_t w = t->weight[j], v = t->weight[j + 1];
        const std::uint8_t* p = rows[t->row[j]] + step * t->column[j];
        const std::uint8_t* q = rows[t->row[j + 1]] + step * t->column[j + 1];
        for (std::size_t i = 0; i < n; ++i) sums[i] += w * p[i] + v * q[i];
    }
    if (j < t->count) {
        const std::int32_t w = t->weight[j];
        const std::uint8_t* p = rows[t->row[j]] + step * t->column[j];
        for (std::size_t i = 0; i < n; ++i) sums[i] += w * p[i];
    }
}

// One run: its sums, then their bytes from the table.
struct RunKernel {
    const Taps* taps;
    const std::uint8_t* table;
    std::size_t step;
    void (*narrow)(const std::uint8_t* const*, const Taps*, std::size_t, std::size_t, std::uint16_t*);
    void (*wide)(const std::uint8_t* const*, const Taps*, std::size_t, std::size_t, std::int32_t*);

    void operator()(const std::uint8_t* const* rows, std::size_t n, std::uint8_t* out) const
    {
        if (taps->narrow) {
            std::uint16_t sums[kRun];
            narrow(rows, taps, step, n, sums);
            const std::uint16_t lo = static_cast<std::uint16_t>(taps->lo);
            for (std::size_t i = 0; i < n; ++i) out[i] = table[static_cast<std::uint16_t>(sums[i] - lo)];
        } else {
            std::int32_t sums[kRun];
            wide(rows, taps, step, n, sums);
            for (std::size_t i = 0; i < n; ++i) out[i] = table[sums[i] - taps->lo];
        }
    }
};

}  // namespace

bool custom_kernel_filter(const ImageRecord& source, ImageRecord& destination, const CustomKernel& kernel)
{
    const Taps taps = taps_of(kernel);
    auto table = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(taps.hi - taps.lo + 1));
    if (!table) return false;
    fill_table(kernel, taps, table.get());
    const std::size_t half = kernel.size / 2;
    RunKernel run{&taps, table.get(), 1, pick_copy<&sums16, CpuLevel::avx2, CpuLevel::avx512>(),
                  pick_copy<&sums32, CpuLevel::avx2, CpuLevel::avx512>()};
    if (kernel.channels == KernelChannels::Luma) return luma_filters::run_square(source, destination, half, run);

    // Each channel: the same loops over the bytes of a row, samples 3 apart.
    if (!ensure_destination(source, destination)) return false;
    run.step = 3;
    const std::size_t w = source.width, h = source.height, stride = source.stride(), side = 2 * half + 1;
    if (w >= side && h >= side) {
        const std::uint8_t* in = source.pixels.get();
        std::uint8_t* out = destination.pixels.get();
        const std::size_t first = 3 * half, end = 3 * (w - half);
        parallel_rows(h - 2 * half, 3 * w * h * side, [&](std::size_t y0, std::size_t y1) {
            const std::uint8_t* rows[8];
            for (std::size_t y = y0 + half; y < y1 + half; ++y)
                for (std::size_t j = first; j < end; j += kRun) {
                    const std::size_t n = std::min(kRun, end - j);
                    for (std::size_t k = 0; k < side; ++k) rows[k] = in + (y - half + k) * stride + j - 3 * half;
                    run(rows, n, out + y * stride + j);
                }
        });
    }
    window_filters::finish(source, destination);
    return true;
}

namespace {

const char* rule_label(OutOfRange rule)
{
    switch (rule) {
    case OutOfRange::Clamp: return "Записано: q, ограниченное 0..255";
    case OutOfRange::Absolute: return "Записано: |q|, ограниченное 0..255";
    case OutOfRange::Plus128: return "Записано: q + 128, ограниченное 0..255";
    }
    return "";
}

}  // namespace

Explanation explain_custom_kernel(const PixelQuestion& q, const CustomKernel& kernel)
{
    const int n = kernel.size, half = n / 2;
    if (q.x < half || q.y < half || q.x + half >= q.source.width || q.y + half >= q.source.height)
        return explain::not_written(q, n == 3 ? "Пиксель рамки: окно 3x3 выходит за край, фильтр его не записывает."
                                              : "Пиксель рамки: окно 5x5 выходит за край, фильтр его не записывает.");
    Explanation e = explain::computed(q);
    const bool luma = kernel.channels == KernelChannels::Luma;
    const int channels = luma ? 1 : 3;
    for (int c = 0; c < channels; ++c) {
        const Sample s = luma ? Sample::Luma : c == 0 ? Sample::Blue : c == 1 ? Sample::Green : Sample::Red;
        e.inputs.push_back(explain::window(q.source, s, q.x - half, q.y - half, n, n));
    }
    std::vector<double> weights(kernel.weights, kernel.weights + n * n);
    explain::add_step(e, "weights", "Веса", weights, n);
    const std::int32_t d = kernel_divisor(kernel);
    std::int32_t sums[3] = {}, quotients[3] = {};
    std::uint8_t bytes[3] = {};
    static const char* const kProductNames[] = {"products_b", "products_g", "products_r"};
    static const char* const kProductLabels[] = {"Вес × отсчёт, синий", "Вес × отсчёт, зелёный",
                                                 "Вес × отсчёт, красный"};
    for (int c = 0; c < channels; ++c) {
        std::vector<double> products(static_cast<std::size_t>(n * n));
        for (int i = 0; i < n * n; ++i) {
            const std::int32_t p = kernel.weights[i] * e.inputs[static_cast<std::size_t>(c)].values[static_cast<std::size_t>(i)];
            products[static_cast<std::size_t>(i)] = p;
            sums[c] += p;
        }
        explain::add_step(e, luma ? "products" : kProductNames[c], luma ? "Вес × отсчёт" : kProductLabels[c],
                          std::move(products), n);
        quotients[c] = kernel_quotient(sums[c], d, kernel.offset);
        bytes[c] = kernel_byte(quotients[c], kernel.out_of_range);
    }
    auto step = [&](const char* name, const char* label, auto value) {
        if (luma)
            explain::add_step(e, name, label, value(0));
        else
            explain::add_channel_step(e, name, label, value(0), value(1), value(2));
    };
    step("sum", "Сумма S", [&](int c) { return double(sums[c]); });
    explain::add_step(e, "divisor", kernel.divisor == 0 ? "Делитель d (авто: сумма весов или 1)" : "Делитель d", d);
    explain::add_step(e, "offset", "Сдвиг o", kernel.offset);
    step("shifted_sum", "S + o·d", [&](int c) { return double(sums[c] + kernel.offset * d); });
    step("quotient", "(S + o·d) / d до округления", [&](int c) { return double(sums[c] + kernel.offset * d) / d; });
    step("rounded", "q: округлено, половина от нуля", [&](int c) { return double(quotients[c]); });
    step("written", rule_label(kernel.out_of_range), [&](int c) { return double(bytes[c]); });
    e.result = luma ? explain::grey(bytes[0]) : PixelBytes{bytes[2], bytes[1], bytes[0]};
    return e;
}
