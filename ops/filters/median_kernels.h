// The kernels of the median filters; median.cpp is their driver.
//
// Bytes is a vector of kLanes bytes. A median of n bytes is the same whatever
// finds it, so each kernel finds it its own way:
//  - network (median_network.cpp), apertures up to kNetworkMax: the middle of
//    n shifted rows of bytes after an unrolled compare-exchange network,
//    kLanes bytes at a time;
//  - sorted set (median_sorted_set.cpp), larger apertures: a sorted set of n
//    values per byte lane slid down the rows, one insertion and one removal
//    per step; along the rows the same update runs on bands of kLanes rows
//    transposed so that each row is a lane;
//  - histogram (median_histogram.cpp): rows too narrow for a band slide a
//    256-bin histogram per channel.
// The vector kernels have copies per processor level (image/cpu_features.h);
// pick_kernels returns those for the current level.
//
// Row medians: target[3i + c] is channel c of output pixel i of a row of
// `width` interleaved pixels, the first output pixel sitting half a window
// from the left end; no other byte is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The vector helpers are always inlined into their callers, which have copies
// for several levels, so no vector crosses a call and its ABI never shows.
#pragma GCC diagnostic ignored "-Wpsabi"
#define VECTOR_INLINE inline __attribute__((always_inline))

namespace median_kernels {

constexpr std::size_t kLanes = 32;
typedef std::uint8_t Bytes __attribute__((vector_size(kLanes)));

// Up to this aperture the network beats sliding.
constexpr unsigned kNetworkMax = 7;

// The band transposes move 16 x 16 bytes.
constexpr std::size_t kBlock = 16;

VECTOR_INLINE Bytes load(const std::uint8_t* p)
{
    Bytes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
VECTOR_INLINE void store(std::uint8_t* p, Bytes v) { std::memcpy(p, &v, sizeof v); }
#if defined(__clang__)
VECTOR_INLINE Bytes lower(Bytes a, Bytes b) { return __builtin_elementwise_min(a, b); }
VECTOR_INLINE Bytes upper(Bytes a, Bytes b) { return __builtin_elementwise_max(a, b); }
#else
VECTOR_INLINE Bytes lower(Bytes a, Bytes b) { return a < b ? a : b; }
VECTOR_INLINE Bytes upper(Bytes a, Bytes b) { return a < b ? b : a; }
#endif
VECTOR_INLINE std::uint8_t lower(std::uint8_t a, std::uint8_t b) { return a < b ? a : b; }
VECTOR_INLINE std::uint8_t upper(std::uint8_t a, std::uint8_t b) { return a < b ? b : a; }

struct Kernels {
    // out[b] = median of rows[k][b] for k < n <= kNetworkMax, b < count.
    void (*column_network)(const std::uint8_t* const* rows, unsigned n, std::size_t count, std::uint8_t* out);
    // Row medians of one row, n <= kNetworkMax.
    void (*row_network)(const std::uint8_t* row, std::size_t width, unsigned n, std::uint8_t* target);
    // Slides sorted column sets down a chunk of rows. sorted: n rows of
    // `lanes` bytes, one set per byte column. Row r of the chunk inserts
    // entering[r] and removes leaving[r] (leaving null: none, while the sets
    // fill up); when targets are given, the middle of every set goes to
    // targets[r], `count` bytes and no more.
    void (*slide_columns)(std::uint8_t* sorted, std::size_t lanes, unsigned n, std::size_t rows,
                          const std::uint8_t* const* entering, const std::uint8_t* const* leaving,
                          std::uint8_t* const* targets, std::size_t count);
    // Row medians of up to kLanes rows at once (banded() rows only). `rows`
    // holds kLanes row pointers (the last repeated for a short band);
    // targets[r] receives row r < band_rows. `work` holds 3 * width + 3
    // vectors, `set` n vectors.
    void (*band_medians)(const std::uint8_t* const* rows, std::size_t band_rows, std::size_t width, unsigned n,
                         std::uint8_t* const* targets, Bytes* work, Bytes* set);
};

Kernels pick_kernels();

// The kernels' parts of pick_kernels, one per file.
void pick_network_kernels(Kernels& kernels);
void pick_sorted_set_kernels(Kernels& kernels);

// Row medians of one row by sliding histograms, any aperture.
void histogram_row_medians(const std::uint8_t* row, std::size_t width, unsigned n, std::uint8_t* target);

// Whether band_medians handles rows of this width: whole transposes need 16
// output bytes, and small apertures are cheaper through the network.
bool banded(std::size_t width, unsigned n);

}  // namespace median_kernels
