// Median filters on each colour channel: median_linear over n pixels of the
// row, median_2d as the median of the n row medians of the n x n window.
//
// This file schedules the work; the kernels that find the medians are in
// median_kernels.h. Every row median of median_2d is computed once and serves
// the n output rows around it. Stripes of rows run on threads, each with its
// own scratch taken before anything is written; the results are exact, so
// they never depend on the number of stripes.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "ops/filters/median_kernels.h"
#include "ops/filters/window_support.h"
#include "ops/explain.h"
#include "ops/operations.h"

using namespace window_filters;
using namespace median_kernels;

Kernels median_kernels::pick_kernels()
{
    Kernels kernels{};
    pick_network_kernels(kernels);
    pick_sorted_set_kernels(kernels);
    return kernels;
}

namespace {

// Row medians of `band_rows` (at most kLanes) rows starting at `first`.
void medians_of_rows(const Kernels& k, const std::uint8_t* first, std::size_t stride, std::size_t band_rows,
                     std::size_t width, unsigned n, std::uint8_t* const* targets, Bytes* work, Bytes* set)
{
    if (!banded(width, n)) {
        for (std::size_t r = 0; r < band_rows; ++r) {
            const std::uint8_t* row = first + r * stride;
            if (n <= kNetworkMax) {
                k.row_network(row, width, n, targets[r]);
            } else {
                histogram_row_medians(row, width, n, targets[r]);
            }
        }
        return;
    }
    const std::uint8_t* rows[kLanes];
    for (std::size_t r = 0; r < kLanes; ++r) rows[r] = first + std::min(r, band_rows - 1) * stride;
    k.band_medians(rows, band_rows, width, n, targets, work, set);
}

// Vector scratch memory: heap blocks are aligned for 16 bytes only.
struct VectorScratch {
    HeapArray<std::uint8_t> memory;
    bool take(std::size_t vectors)
    {
        memory = HeapArray<std::uint8_t>::allocate(vectors * sizeof(Bytes) + sizeof(Bytes));
        return static_cast<bool>(memory);
    }
    Bytes* get() const
    {
        const auto at = reinterpret_cast<std::uintptr_t>(memory.get());
        return reinterpret_cast<Bytes*>((at + sizeof(Bytes) - 1) / sizeof(Bytes) * sizeof(Bytes));
    }
};

// Scratch of one stripe for band_medians.
struct BandScratch {
    std::size_t work_vectors = 0, set_vectors = 0;
    std::size_t vectors() const { return work_vectors + set_vectors; }
};

BandScratch band_scratch(std::size_t width, unsigned n)
{
    if (!banded(width, n)) return {};
    return {3 * width + 3, n};
}

// What every stripe of median_2d shares. Per stripe: a ring of row medians,
// rows padded to whole vectors, deep enough for the windows of a chunk of
// kLanes output rows plus the row leaving them; when sliding, the sorted
// column sets; the band scratch.
struct Median2d {
    Kernels kernels;
    const std::uint8_t* in;
    std::uint8_t* out = nullptr;  // set once the destination has its block
    std::size_t width, stride;
    unsigned n;
    std::size_t half, first_byte;  // first_byte: of the first output pixel in a row
    std::size_t count, lanes;      // output bytes per row; the same in whole vectors
    bool sliding;
    std::size_t ring_rows, ring_bytes;
    BandScratch band;

    Median2d(const ImageRecord& source, unsigned aperture, Span columns)
        : kernels(pick_kernels()), in(source.pixels.get()), width(source.width),
          stride(source.stride()), n(aperture), half(aperture / 2), first_byte(3 * columns.first),
          count(3 * columns.count), lanes((count + kLanes - 1) / kLanes * kLanes), sliding(n > kNetworkMax),
          ring_rows(sliding ? n + kLanes + 1 : n),  // networks compute one row at a time
          ring_bytes(lanes * (ring_rows + (sliding ? n : 0))), band(band_scratch(width, n))
    {
    }
    std::size_t vectors_per_stripe() const { return (ring_bytes + kLanes - 1) / kLanes + band.vectors(); }
};

// One stripe of median_2d: output rows [y0, y1).
class Median2dStripe {
public:
    Median2dStripe(const Median2d& job, Bytes* memory, std::size_t y0)
        : job_(job), ring_(reinterpret_cast<std::uint8_t*>(memory)),
          work_(memory + (job.ring_bytes + kLanes - 1) / kLanes), end_(y0 - job.half)
    {
    }

    void run(std::size_t y0, std::size_t y1)
    {
        compute_through(y0 + job_.half);
        if (job_.sliding) {
            slide(y0, y1);
        } else {
            network(y0, y1);
        }
    }

private:
    std::uint8_t* medians_of(std::size_t r) const { return ring_ + (r % job_.ring_rows) * job_.lanes; }
    std::uint8_t* target_of(std::size_t y) const { return job_.out + y * job_.stride + job_.first_byte; }

    // Row medians exist up to row end_ - 1; the ring holds the window of a
    // whole chunk of output rows and the row leaving it.
    void compute_through(std::size_t last)
    {
        while (end_ <= last) {
            const std::size_t band_rows = std::min(kLanes, last + 1 - end_);
            std::uint8_t* targets[kLanes];
            for (std::size_t r = 0; r < band_rows; ++r) targets[r] = medians_of(end_ + r);
            medians_of_rows(job_.kernels, job_.in + end_ * job_.stride, job_.stride, band_rows, job_.width, job_.n,
                            targets, work_, work_ + job_.band.work_vectors);
            end_ += band_rows;
        }
    }

    void network(std::size_t y0, std::size_t y1)
    {
        const std::uint8_t* window[kNetworkMax];
        for (std::size_t y = y0; y < y1; ++y) {
            compute_through(y + job_.half);
            for (unsigned k = 0; k < job_.n; ++k) window[k] = medians_of(y - job_.half + k);
            job_.kernels.column_network(window, job_.n, job_.count, target_of(y));
        }
    }

    void slide(std::size_t y0, std::size_t y1)
    {
        const std::size_t half = job_.half, lanes = job_.lanes;
        std::uint8_t* sorted = ring_ + job_.ring_rows * lanes;
        const std::uint8_t* entering[kLanes];
        const std::uint8_t* leaving[kLanes];
        std::uint8_t* targets[kLanes];
        // The sets start full of 255s, which the first n - 1 rows push out;
        // the n-th gives the first output row.
        std::memset(sorted, 255, job_.n * lanes);
        for (std::size_t r = y0 - half; r < y0 + half;) {
            const std::size_t rows_now = std::min(kLanes, y0 + half - r);
            for (std::size_t k = 0; k < rows_now; ++k) entering[k] = medians_of(r + k);
            job_.kernels.slide_columns(sorted, lanes, job_.n, rows_now, entering, nullptr, nullptr, 0);
            r += rows_now;
        }
        entering[0] = medians_of(y0 + half);
        targets[0] = target_of(y0);
        job_.kernels.slide_columns(sorted, lanes, job_.n, 1, entering, nullptr, targets, job_.count);
        for (std::size_t y = y0 + 1; y < y1;) {
            const std::size_t rows_now = std::min(kLanes, y1 - y);
            compute_through(y + rows_now - 1 + half);
            for (std::size_t k = 0; k < rows_now; ++k) {
                entering[k] = medians_of(y + k + half);
                leaving[k] = medians_of(y + k - half - 1);
                targets[k] = target_of(y + k);
            }
            job_.kernels.slide_columns(sorted, lanes, job_.n, rows_now, entering, leaving, targets, job_.count);
            y += rows_now;
        }
    }

    const Median2d& job_;
    std::uint8_t* ring_;
    Bytes* work_;
    std::size_t end_;
};

}  // namespace

bool median_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const std::size_t w = source.width, h = source.height, stride = source.stride();
    const bool writes = output_span(w, n).count != 0 && h != 0;
    const std::size_t stripes = stripe_count((h + kLanes - 1) / kLanes);
    const BandScratch band = band_scratch(w, n);
    VectorScratch scratch;
    if (writes && band.vectors() != 0 && !scratch.take(stripes * band.vectors())) return false;
    if (!ensure_destination(source, destination)) return false;

    if (writes) {
        const Kernels kernels = pick_kernels();
        const std::uint8_t* in = source.pixels.get();
        std::uint8_t* out = destination.pixels.get() + 3 * (n / 2);
        // Stripes of whole bands, so that every band but the last is full.
        const std::size_t bands = (h + kLanes - 1) / kLanes;
        for_each_stripe(stripes, 0, bands, w * h * (n <= kNetworkMax ? 1 : 4),
                        [&](std::size_t stripe, std::size_t b0, std::size_t b1) {
                            Bytes* work = scratch.get() + stripe * band.vectors();
                            for (std::size_t y = b0 * kLanes; y < std::min(h, b1 * kLanes); y += kLanes) {
                                const std::size_t band_rows = std::min(kLanes, h - y);
                                std::uint8_t* targets[kLanes];
                                for (std::size_t r = 0; r < band_rows; ++r) targets[r] = out + (y + r) * stride;
                                medians_of_rows(kernels, in + y * stride, stride, band_rows, w, n, targets, work,
                                                work + band.work_vectors);
                            }
                        });
    }
    finish(source, destination);
    return true;
}

bool median_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const Span rows = output_span(source.height, n), columns = output_span(source.width, n);
    const bool writes = rows.count != 0 && columns.count != 0;
    const std::size_t stripes = stripe_count(rows.count);
    Median2d job(source, n, columns);
    const std::size_t per_stripe = job.vectors_per_stripe();
    VectorScratch scratch;
    if (writes && !scratch.take(stripes * per_stripe)) return false;
    if (!ensure_destination(source, destination)) return false;

    if (writes) {
        job.out = destination.pixels.get();
        for_each_stripe(stripes, rows.first, rows.count, job.count * rows.count * (job.sliding ? 4 : 1),
                        [&](std::size_t stripe, std::size_t y0, std::size_t y1) {
                            Median2dStripe(job, scratch.get() + stripe * per_stripe, y0).run(y0, y1);
                        });
    }
    finish(source, destination);
    return true;
}

namespace {

constexpr const char* kChannelNames[4][3] = {
    {"sorted_blue", "sorted_green", "sorted_red"},
    {"row_medians_blue", "row_medians_green", "row_medians_red"},
    {"sorted_row_medians_blue", "sorted_row_medians_green", "sorted_row_medians_red"},
    {"sorted_rows_blue", "sorted_rows_green", "sorted_rows_red"},
};
constexpr const char* kSortedRowsLabels[3] = {"Строки окна по возрастанию, синий", "Строки окна по возрастанию, зелёный",
                                              "Строки окна по возрастанию, красный"};
constexpr const char* kSortedLabels[3] = {"Синий канал по возрастанию", "Зелёный канал по возрастанию",
                                          "Красный канал по возрастанию"};
constexpr const char* kRowMedianLabels[3] = {"Медианы строк, синий (сверху вниз)", "Медианы строк, зелёный (сверху вниз)",
                                             "Медианы строк, красный (сверху вниз)"};
constexpr const char* kSortedMedianLabels[3] = {"Медианы строк по возрастанию, синий",
                                                "Медианы строк по возрастанию, зелёный",
                                                "Медианы строк по возрастанию, красный"};

// Row medians (blue, green, red) of the n pixels from `row` on, by the
// filters' own row kernels.
void row_median(const Kernels& kernels, const std::uint8_t* row, unsigned n, std::uint8_t* target)
{
    std::uint8_t* targets[1] = {target};
    medians_of_rows(kernels, row, 0, 1, n, n, targets, nullptr, nullptr);
}

// The median of each channel of n row medians, as median_2d takes it from
// its ring: a compare-exchange network for small apertures, otherwise the
// sorted set filled with the n rows.
void median_of_rows(const Kernels& kernels, const std::vector<std::array<std::uint8_t, kLanes>>& medians, unsigned n,
                    std::uint8_t* out)
{
    if (n <= kNetworkMax) {
        const std::uint8_t* rows[kNetworkMax];
        for (unsigned k = 0; k < n; ++k) rows[k] = medians[k].data();
        kernels.column_network(rows, n, 3, out);
        return;
    }
    std::vector<std::uint8_t> sorted(std::size_t{n} * kLanes, 255);
    for (unsigned k = 0; k < n; ++k) {
        const std::uint8_t* entering[1] = {medians[k].data()};
        std::uint8_t* targets[1] = {out};
        const bool last = k + 1 == n;
        kernels.slide_columns(sorted.data(), kLanes, n, 1, entering, nullptr, last ? targets : nullptr, last ? 3 : 0);
    }
}

std::vector<double> sorted_values(const std::vector<int>& values, std::size_t first, std::size_t count)
{
    std::vector<double> sorted(values.begin() + static_cast<std::ptrdiff_t>(first),
                               values.begin() + static_cast<std::ptrdiff_t>(first + count));
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void add_channel_windows(const PixelQuestion& q, Explanation& e, int x0, int y0, int columns, int rows)
{
    for (Sample s : {Sample::Blue, Sample::Green, Sample::Red})
        e.inputs.push_back(explain::window(q.source, s, x0, y0, columns, rows));
}

}  // namespace

Explanation explain_median_linear(const PixelQuestion& q, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const int half = aperture / 2;
    if (q.x < half || q.x + half >= q.source.width)
        return explain::not_written(q, "Пиксель у края строки: окно выходит за край, фильтр его не записывает.");
    Explanation e = explain::computed(q);
    add_channel_windows(q, e, q.x - half, q.y, aperture, 1);
    for (int c = 0; c < 3; ++c) explain::add_step(e, kChannelNames[0][c], kSortedLabels[c], sorted_values(e.inputs[c].values, 0, n));
    std::uint8_t median[3];
    row_median(pick_kernels(), q.source.pixel(q.x - half, q.y), n, median);
    e.result = {median[2], median[1], median[0]};
    return e;
}

// Each window row is sorted, its middle is the row's median; the median of
// those is the result (not the median of all n x n values).
Explanation explain_median_2d(const PixelQuestion& q, std::uint8_t aperture)
{
    const unsigned n = aperture;
    const int half = aperture / 2;
    if (q.x < half || q.y < half || q.x + half >= q.source.width || q.y + half >= q.source.height)
        return explain::not_written(q, "Пиксель рамки: окно выходит за край, фильтр его не записывает.");
    Explanation e = explain::computed(q);
    add_channel_windows(q, e, q.x - half, q.y - half, aperture, aperture);
    const Kernels kernels = pick_kernels();
    std::vector<std::array<std::uint8_t, kLanes>> medians(n);  // window rows top to bottom
    for (unsigned k = 0; k < n; ++k) {
        medians[k].fill(0);
        row_median(kernels, q.source.pixel(q.x - half, q.y - half + static_cast<int>(k)), n, medians[k].data());
    }
    for (int c = 0; c < 3; ++c) {
        std::vector<double> rows;
        for (unsigned k = 0; k < n; ++k) {
            const std::vector<double> row = sorted_values(e.inputs[static_cast<std::size_t>(c)].values, k * n, n);
            rows.insert(rows.end(), row.begin(), row.end());
        }
        explain::add_step(e, kChannelNames[3][c], kSortedRowsLabels[c], std::move(rows), aperture);
    }
    for (int c = 0; c < 3; ++c) {
        std::vector<double> row_medians;
        for (unsigned k = 0; k < n; ++k) row_medians.push_back(medians[k][static_cast<std::size_t>(c)]);
        std::vector<double> sorted = row_medians;
        std::sort(sorted.begin(), sorted.end());
        explain::add_step(e, kChannelNames[1][c], kRowMedianLabels[c], std::move(row_medians));
        explain::add_step(e, kChannelNames[2][c], kSortedMedianLabels[c], std::move(sorted));
    }
    std::uint8_t median[3];
    median_of_rows(kernels, medians, n, median);
    e.result = {median[2], median[1], median[0]};
    return e;
}
