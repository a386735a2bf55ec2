// Mean (box) filters on each colour channel: smooth_2d over an n x n window,
// smooth_linear over n pixels of the row.
//
// The window sums are exact integers, so they are formed with running sums:
// column sums slid down the rows, then a sum slid along the row. Each value is
// then rounded exactly as the filter defines it, trunc(S * (1.0 / n^k) + 0.5)
// in double precision, read from a table of those very doubles' results.
#include <cstring>

#include "image/cpu_features.h"
#include "ops/filters/window_support.h"
#include "ops/explain.h"
#include "ops/operations.h"

using namespace window_filters;

namespace {

// Rounded means for every possible sum, or nothing when the table would be
// larger than the arithmetic is worth.
constexpr std::size_t kMaxTable = std::size_t{1} << 20;

// trunc(s * r + 0.5) in double, r = 1.0 / samples: the rounded mean.
inline std::uint8_t round_mean(std::uint32_t s, double r)
{
    return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(s) * r + 0.5));
}
double reciprocal_of(std::size_t samples) { return 1.0 / static_cast<double>(samples); }

struct Rounder {
    double reciprocal = 0.0;
    const std::uint8_t* table = nullptr;
};

bool make_rounder(std::size_t samples, HeapArray<std::uint8_t>& table, Rounder& rounder)
{
    if (samples == 0) return true;  // no window, nothing to round
    rounder.reciprocal = reciprocal_of(samples);
    const std::size_t entries = 255 * samples + 1;
    if (entries > kMaxTable) return true;
    table = HeapArray<std::uint8_t>::allocate(entries);
    if (!table) return false;
    for (std::size_t s = 0; s < entries; ++s) table[s] = round_mean(static_cast<std::uint32_t>(s), rounder.reciprocal);
    rounder.table = table.get();
    return true;
}

// Slides an n-sample sum along one row of interleaved channel samples `in`
// (3 per pixel) and writes the rounded means of the output pixels of `out`.
template <class Sample, class Round>
inline void slide_row_with(const Sample* in, std::size_t width, unsigned n, Round round, std::uint8_t* out)
{
    const Span span = output_span(width, n);
    if (span.count == 0) return;
    std::uint32_t s0 = 0, s1 = 0, s2 = 0;
    for (unsigned i = 0; i < n; ++i) {
        s0 += in[3 * i];
        s1 += in[3 * i + 1];
        s2 += in[3 * i + 2];
    }
    const Sample* leaving = in;
    const Sample* entering = in + 3 * n;
    std::uint8_t* q = out + 3 * span.first;
    for (std::size_t k = 0;; ++k, q += 3, leaving += 3, entering += 3) {
        q[0] = round(s0);
        q[1] = round(s1);
        q[2] = round(s2);
        if (k + 1 == span.count) break;
        s0 += static_cast<std::uint32_t>(entering[0]) - leaving[0];
        s1 += static_cast<std::uint32_t>(entering[1]) - leaving[1];
        s2 += static_cast<std::uint32_t>(entering[2]) - leaving[2];
    }
}

// The table pointer and reciprocal travel by value, so that the byte stores
// of the row cannot make the compiler fetch them again.
template <class Sample>
void slide_row(const Sample* in, std::size_t width, unsigned n, const Rounder& rounder, std::uint8_t* out)
{
    if (const std::uint8_t* table = rounder.table) {
        slide_row_with(in, width, n, [table](std::uint32_t s) { return table[s]; }, out);
    } else {
        const double r = rounder.reciprocal;
        slide_row_with(in, width, n, [r](std::uint32_t s) { return round_mean(s, r); }, out);
    }
}

// sums[i] += entering[i] - leaving[i], exact in 16 bits for any aperture.
[[gnu::always_inline]] inline void slide_column_sums(std::uint16_t* sums, const std::uint8_t* entering,
                                                     const std::uint8_t* leaving, std::size_t lanes)
{
    for (std::size_t i = 0; i < lanes; ++i) sums[i] = static_cast<std::uint16_t>(sums[i] + entering[i] - leaving[i]);
}

}  // namespace

bool smooth_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    HeapArray<std::uint8_t> table;
    Rounder round;
    if (!make_rounder(aperture, table, round)) return false;
    if (!ensure_destination(source, destination)) return false;

    const unsigned n = aperture;
    const std::size_t w = source.width, stride = source.stride();
    if (output_span(w, n).count != 0) {
        const std::uint8_t* in = source.pixels.get();
        std::uint8_t* out = destination.pixels.get();
        parallel_rows(source.height, w * source.height, [&](std::size_t y0, std::size_t y1) {
            for (std::size_t y = y0; y < y1; ++y) slide_row(in + y * stride, w, n, round, out + y * stride);
        });
    }
    finish(source, destination);
    return true;
}

bool smooth_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const std::size_t w = source.width, stride = source.stride();
    const Span rows = output_span(source.height, n), columns = output_span(w, n);
    const bool writes = rows.count != 0 && columns.count != 0;

    // Column sums of one stripe: n * 255 fits 16 bits for every aperture.
    const std::size_t stripes = stripe_count(rows.count), lanes = 3 * w;
    HeapArray<std::uint16_t> column_sums;
    HeapArray<std::uint8_t> table;
    Rounder round;
    if (writes) {
        column_sums = HeapArray<std::uint16_t>::allocate(stripes * lanes);
        if (!column_sums || !make_rounder(std::size_t{n} * n, table, round)) return false;
    }
    if (!ensure_destination(source, destination)) return false;

    if (writes) {
        const std::uint8_t* in = source.pixels.get();
        std::uint8_t* out = destination.pixels.get();
        const std::size_t half = n / 2;
        const auto slide_sums = pick_copy<&slide_column_sums, CpuLevel::avx2, CpuLevel::avx512>();
        for_each_stripe(stripes, rows.first, rows.count, lanes * rows.count,
                        [&](std::size_t stripe, std::size_t y0, std::size_t y1) {
                            std::uint16_t* sums = column_sums.get() + stripe * lanes;
                            std::memset(sums, 0, lanes * sizeof *sums);
                            for (std::size_t k = 0; k < n; ++k) {
                                const std::uint8_t* row = in + (y0 - half + k) * stride;
                                for (std::size_t i = 0; i < lanes; ++i) sums[i] += row[i];
                            }
                            for (std::size_t y = y0;; ++y) {
                                slide_row(sums, w, n, round, out + y * stride);
                                if (y + 1 == y1) break;
                                slide_sums(sums, in + (y - half + n) * stride, in + (y - half) * stride, lanes);
                            }
                        });
    }
    finish(source, destination);
    return true;
}

namespace {

// A box of columns x rows pixels whose top-left is (x0, y0): each channel's
// window as input, its sum, the divisor and the rounded mean.
Explanation explain_box(const PixelQuestion& q, int x0, int y0, int columns, int rows)
{
    Explanation e = explain::computed(q);
    double sums[3] = {};
    for (int c = 0; c < 3; ++c) {
        const Sample sample = c == 0 ? Sample::Blue : c == 1 ? Sample::Green : Sample::Red;
        e.inputs.push_back(explain::window(q.source, sample, x0, y0, columns, rows));
        for (int v : e.inputs.back().values) sums[c] += v;
    }
    const std::size_t samples = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    const double r = reciprocal_of(samples);
    explain::add_channel_step(e, "window_sum", "Сумма окна S", sums[0], sums[1], sums[2]);
    explain::add_step(e, "divisor", "Делитель", static_cast<double>(samples));
    explain::add_channel_step(e, "mean", "Среднее S / делитель до округления", sums[0] * r, sums[1] * r, sums[2] * r);
    auto rounded = [r](double s) { return round_mean(static_cast<std::uint32_t>(s), r); };
    e.result = {rounded(sums[2]), rounded(sums[1]), rounded(sums[0])};
    return e;
}

}  // namespace

Explanation explain_smooth_linear(const PixelQuestion& q, std::uint8_t aperture)
{
    const int half = aperture / 2;
    if (q.x < half || q.x + half >= q.source.width)
        return explain::not_written(q, "Пиксель у края строки: окно выходит за край, фильтр его не записывает.");
    return explain_box(q, q.x - half, q.y, aperture, 1);
}

Explanation explain_smooth_2d(const PixelQuestion& q, std::uint8_t aperture)
{
    const int half = aperture / 2;
    if (q.x < half || q.y < half || q.x + half >= q.source.width || q.y + half >= q.source.height)
        return explain::not_written(q, "Пиксель рамки: окно выходит за край, фильтр его не записывает.");
    return explain_box(q, q.x - half, q.y - half, aperture, aperture);
}
