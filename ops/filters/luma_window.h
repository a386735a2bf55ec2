// Shared machinery of the luma filters (Roberts, Sobel, Kirsch, Wallis,
// linear, Laplace, a kernel of the user's own).
//
// run_3x3 builds the source's luma plane, gives the destination its block,
// copies the size fields, then writes one grey value V (into blue, green and
// red) for every pixel whose 3x3 window lies inside the picture: memory rows
// 1 .. height-2, columns 1 .. width-2. The one-pixel frame and the row
// padding keep the destination's bytes. Both buffers are taken before any
// byte is written, so a refusal of the heap changes nothing.
//
// The destination's statistics come out as compute_statistics gives them,
// but the grey values are counted while they are written (a grey pixel of
// value v counts v in every histogram: luma(v, v, v) == v), so only the frame
// is read back.
//
// A kernel computes V for a run of adjacent positions of one row:
//   kernel(below, row, above, n, out)
// where below/row/above point at column x-1 of memory rows y-1, y, y+1 of
// the luma plane (y-1 is the row displayed below) and out[i] receives V for
// column x+i, i < n. Runs are short (at most kRun positions) so a kernel may
// keep scratch arrays on the stack; rows are split across threads, and each
// position depends only on the plane, so the thread count never shows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "image/image_record.h"
#include "image/parallel.h"
#include "image/statistics.h"
#include "ops/explain.h"

namespace luma_filters {

inline constexpr std::size_t kRun = 512;

// trunc(sqrt(n) + 0.5) in double precision, clamped to 255, for the
// integer n = a^2 + b^2 of the gradient filters. From 65281 on the rounded
// root is at least 256, so a table of the exact expression below that bound
// gives every result.
inline constexpr std::uint32_t kRootTableSize = 65281;
const std::uint8_t* rounded_root_table();
inline std::uint8_t rounded_root(const std::uint8_t* table, std::uint32_t squared)
{
    return squared >= kRootTableSize ? 255 : table[squared];
}

// Eight 16-bit lanes in generic vectors, for kernels whose sums fit 16 bits:
// one source for every compiler and target. Written out rather than left to
// the loop vectorizer, which gives up on a kernel's overlapping loads
// (d[i], d[i+1], ...) when the output cannot alias them.
typedef std::int16_t Shorts __attribute__((vector_size(16)));
typedef std::uint8_t Bytes8 __attribute__((vector_size(8)));

// p[0..8) widened.
inline Shorts load_shorts(const std::uint8_t* p)
{
    Bytes8 b;
    std::memcpy(&b, p, sizeof b);
    return __builtin_convertvector(b, Shorts);
}
// Eight lanes of 0..255 into p[0..8).
inline void store_bytes(std::uint8_t* p, Shorts v)
{
    const Bytes8 b = __builtin_convertvector(v, Bytes8);
    std::memcpy(p, &b, sizeof b);
}
inline Shorts max_shorts(Shorts a, Shorts b) { return a > b ? a : b; }
inline Shorts clamp_byte_shorts(Shorts v)
{
    const Shorts zero{}, top = zero + 255;
    v = v > zero ? v : zero;
    return v < top ? v : top;
}

// Writes values[i] into blue, green and red of n adjacent pixels. Each pixel
// but the last takes one 4-byte store whose fourth byte the next store
// overwrites; the last takes exactly three bytes, so nothing past the run
// changes.
inline void write_grey(std::uint8_t* pixel, const std::uint8_t* values, std::size_t n)
{
    if (n == 0) return;
    for (std::size_t i = 0; i + 1 < n; ++i, pixel += 3) {
        const std::uint32_t four = values[i] * 0x01010101u;
        std::memcpy(pixel, &four, 4);
    }
    pixel[0] = pixel[1] = pixel[2] = values[n - 1];
}

// Counts of the grey values written, gathered from the row stripes.
class GreyCounts {
public:
    // Per stripe: two interleaved tables, so runs of equal values do not
    // wait on one counter.
    struct Local {
        std::uint32_t even[256] = {}, odd[256] = {};
        void add(const std::uint8_t* values, std::size_t n)
        {
            std::size_t i = 0;
            for (; i + 1 < n; i += 2) {
                ++even[values[i]];
                ++odd[values[i + 1]];
            }
            if (i < n) ++even[values[i]];
        }
    };

    void merge(const Local& local)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int v = 0; v < 256; ++v) counts_[v] += std::uint64_t{local.even[v]} + local.odd[v];
    }
    const std::uint64_t* counts() const { return counts_; }

private:
    std::mutex mutex_;
    std::uint64_t counts_[256] = {};
};

// Sets the record's histograms, maxima and means as compute_statistics
// does, from the grey counts of the pixels in columns [x0, x1) of memory
// rows [y0, y1) and the bytes of every other pixel.
void finish_statistics(ImageRecord& record, const GreyCounts& grey, std::size_t x0, std::size_t x1, std::size_t y0,
                       std::size_t y1);

// run_3x3 for a window of (2 half + 1) x (2 half + 1): memory rows half ..
// height-1-half and columns half .. width-1-half are written, the frame of
// width `half` keeps the destination's bytes. The kernel is called as
//   kernel(rows, n, out)
// where rows[k] points at column x-half of memory row y-half+k.
template <class Kernel>
bool run_square(const ImageRecord& source, ImageRecord& destination, std::size_t half, Kernel kernel)
{
    HeapArray<std::uint8_t> plane;
    if (!make_luma_plane(source, plane)) return false;
    if (!ensure_destination(source, destination)) return false;
    copy_size_fields(source, destination);

    const std::size_t w = source.width, h = source.height, stride = source.stride(), side = 2 * half + 1;
    GreyCounts grey;
    if (w >= side && h >= side) {
        const std::uint8_t* luma = plane.get();
        std::uint8_t* out = destination.pixels.get();
        parallel_rows(h - 2 * half, w * h * (side + 1), [&](std::size_t first, std::size_t end) {
            std::uint8_t values[kRun];
            const std::uint8_t* rows[8];
            GreyCounts::Local counts;
            for (std::size_t y = first + half; y < end + half; ++y) {
                for (std::size_t x = half; x < w - half; x += kRun) {
                    const std::size_t n = std::min(kRun, w - half - x);
                    for (std::size_t k = 0; k < side; ++k) rows[k] = luma + (y - half + k) * w + x - half;
                    kernel(rows, n, values);
                    write_grey(out + y * stride + 3 * x, values, n);
                    counts.add(values, n);
                }
            }
            grey.merge(counts);
        });
        finish_statistics(destination, grey, half, w - half, half, h - half);
    } else {
        finish_statistics(destination, grey, 0, 0, 0, 0);
    }
    return true;
}

template <class Kernel>
bool run_3x3(const ImageRecord& source, ImageRecord& destination, Kernel kernel)
{
    return run_square(source, destination, 1,
                      [&kernel](const std::uint8_t* const* rows, std::size_t n, std::uint8_t* out) {
                          kernel(rows[0], rows[1], rows[2], n, out);
                      });
}

// Explaining one pixel of a 3x3 filter: its luma window as a kernel reads
// it (below/row/above are memory rows y-1, y, y+1, columns x-1 .. x+1).
struct Window3x3 {
    std::uint8_t below[3], row[3], above[3];
    int c() const { return row[1]; }
};

// Starts the explanation of a 3x3 filter at q: false for a pixel of the
// one-pixel frame (e then says it was not written); otherwise e holds the
// luma window as its input and w the same numbers.
bool begin_3x3(const PixelQuestion& q, Explanation& e, Window3x3& w);

// The kernel run on the one position of the window: the filter's own value.
template <class Kernel>
std::uint8_t kernel_value(const Window3x3& w, const Kernel& kernel)
{
    std::uint8_t v = 0;
    kernel(w.below, w.row, w.above, 1, &v);
    return v;
}

}  // namespace luma_filters
