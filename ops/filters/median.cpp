// Median filters on each colour channel: median_linear over n pixels of the
// row, median_2d as the median of the n row medians of the n x n window.
//
// The median of n bytes is the same whatever finds it, so nothing is sorted
// afresh. Apertures up to 7 take the middle of n shifted rows of bytes with
// an unrolled compare-exchange network, 32 bytes at a time. Larger ones
// slide a sorted set of n values per byte column down the rows, updated by
// one insertion and one removal per step (a few vector operations per set
// element); along the rows the same update runs on bands of 32 rows
// transposed so that each row is a vector lane. Rows too narrow for a band
// slide a 256-bin histogram instead. Every row median of median_2d is
// computed once and serves the n output rows around it.
//
// Stripes of rows run on threads, each with its own scratch taken before
// anything is written; the results are exact, so they never depend on the
// number of stripes.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ops/filters/window_support.h"
#include "ops/operations.h"

// The vector helpers are always inlined into their callers, which are built
// for several instruction sets, so no vector crosses a call and its ABI never
// shows.
#pragma GCC diagnostic ignored "-Wpsabi"
#define VECTOR_INLINE inline __attribute__((always_inline))

using namespace window_filters;

namespace {

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define LUMAFORGE_BYTE_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define LUMAFORGE_BYTE_CLONES
#endif

constexpr std::size_t kLanes = 32;
typedef std::uint8_t Bytes __attribute__((vector_size(kLanes)));

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

// Up to this aperture the network beats sliding.
constexpr unsigned kNetworkMax = 7;

// The middle of n values after half + 1 bubble passes, as compare-exchanges.
template <class T>
VECTOR_INLINE T bubble_middle(T* a, unsigned n)
{
    const unsigned half = n / 2;
    for (unsigned o = n - 1; o >= half && o > 0; --o)
        for (unsigned t = 0; t < o; ++t) {
            const T s = lower(a[t], a[t + 1]);
            a[t + 1] = upper(a[t], a[t + 1]);
            a[t] = s;
        }
    return a[half];
}

// out[b] = median of rows[k][b] for k < N, b < count. The last vector group
// may overlap the one before: each byte comes from its own samples, so
// writing it twice writes the same value.
template <unsigned N>
VECTOR_INLINE void network_medians(const std::uint8_t* const* rows, std::size_t count, std::uint8_t* out)
{
    if (count < kLanes) {
        std::uint8_t s[N];
        for (std::size_t b = 0; b < count; ++b) {
            for (unsigned k = 0; k < N; ++k) s[k] = rows[k][b];
            out[b] = bubble_middle(s, N);
        }
        return;
    }
    for (std::size_t b = 0;; b += kLanes) {
        const std::size_t at = b + kLanes <= count ? b : count - kLanes;
        Bytes a[N];
        for (unsigned k = 0; k < N; ++k) a[k] = load(rows[k] + at);
        store(out + at, bubble_middle(a, N));
        if (at + kLanes >= count) break;
    }
}

// The same for a run-time n up to kNetworkMax; each size gets its own
// unrolled network so the values stay in registers.
VECTOR_INLINE void network_medians(const std::uint8_t* const* rows, unsigned n, std::size_t count, std::uint8_t* out)
{
    switch (n) {
    case 1: network_medians<1>(rows, count, out); break;
    case 3: network_medians<3>(rows, count, out); break;
    case 5: network_medians<5>(rows, count, out); break;
    case 7: network_medians<7>(rows, count, out); break;
    case 2: network_medians<2>(rows, count, out); break;
    case 4: network_medians<4>(rows, count, out); break;
    default: network_medians<6>(rows, count, out); break;
    }
}

// The median of n rows of bytes, column by column.
LUMAFORGE_BYTE_CLONES
void column_network(const std::uint8_t* const* rows, unsigned n, std::size_t count, std::uint8_t* out)
{
    network_medians(rows, n, count, out);
}

// Horizontal medians of one row of `width` interleaved pixels: target[3i + c]
// is channel c of output pixel i (the first output pixel sits half a window
// from the left end). No other byte is written.
LUMAFORGE_BYTE_CLONES
void row_medians(const std::uint8_t* row, std::size_t width, unsigned n, std::uint8_t* target)
{
    const Span span = output_span(width, n);
    if (span.count == 0) return;
    if (n <= kNetworkMax) {
        const std::uint8_t* shifted[kNetworkMax];
        for (unsigned k = 0; k < n; ++k) shifted[k] = row + 3 * k;
        network_medians(shifted, n, 3 * span.count, target);
        return;
    }
    // One histogram per channel and its running middle m with `below` values
    // under it: below <= half < below + hist[m].
    const unsigned half = n / 2;
    std::uint16_t hist[3][256] = {};
    unsigned middle[3], below[3];
    for (unsigned c = 0; c < 3; ++c) {
        for (unsigned i = 0; i < n; ++i) ++hist[c][row[3 * i + c]];
        unsigned m = 0, under = 0;
        while (under + hist[c][m] <= half) under += hist[c][m++];
        middle[c] = m;
        below[c] = under;
    }
    for (std::size_t x = 0;; ++x) {
        for (unsigned c = 0; c < 3; ++c) target[3 * x + c] = static_cast<std::uint8_t>(middle[c]);
        if (x + 1 == span.count) break;
        for (unsigned c = 0; c < 3; ++c) {
            std::uint16_t* h = hist[c];
            const unsigned leaving = row[3 * x + c], entering = row[3 * (x + n) + c];
            unsigned m = middle[c], under = below[c];
            --h[leaving];
            ++h[entering];
            under = under - (leaving < m) + (entering < m);
            while (under > half) under -= h[--m];
            while (under + h[m] <= half) under += h[m++];
            middle[c] = m;
            below[c] = under;
        }
    }
}

// Rows of a band, transposed: vector b holds byte b of each of kLanes rows.
// The horizontal window then slides down a column of vectors, one lane per
// row, with the same sorted-set update as the columns use.
constexpr std::size_t kBlock = 16;  // the transposes move 16 x 16 bytes

// Copies a 16 x 16 block: out(j)[r] = in(r)[j].
template <class In, class Out>
VECTOR_INLINE void transpose_block(In in, Out out)
{
#if defined(__SSE2__)
    __m128i x[kBlock], y[kBlock];
    for (std::size_t r = 0; r < kBlock; ++r) x[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in(r)));
    // Four perfect shuffles of the rows transpose the block.
    for (int round = 0; round < 4; ++round) {
        for (std::size_t i = 0; i < kBlock / 2; ++i) {
            y[2 * i] = _mm_unpacklo_epi8(x[i], x[i + kBlock / 2]);
            y[2 * i + 1] = _mm_unpackhi_epi8(x[i], x[i + kBlock / 2]);
        }
        for (std::size_t i = 0; i < kBlock; ++i) x[i] = y[i];
    }
    for (std::size_t j = 0; j < kBlock; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(out(j)), x[j]);
#else
    for (std::size_t j = 0; j < kBlock; ++j)
        for (std::size_t r = 0; r < kBlock; ++r) out(j)[r] = in(r)[j];
#endif
}

// Inserts `in` into the sorted set s[0..n-1] of every lane and removes one
// copy of `out` (or, without removal, the largest value). Inserting gives
// n + 1 sorted values u[0..n]; removal keeps u[i] while it lies below the
// leaving value and takes u[i + 1] from there on.
template <class Set>
VECTOR_INLINE void slide_set(Set& s, unsigned n, Bytes in, Bytes out, bool remove)
{
    Bytes u = lower(s[0], in);
    for (unsigned i = 0; i < n; ++i) {
        const Bytes following = i + 1 < n ? upper(s[i], lower(s[i + 1], in)) : upper(s[i], in);
        if (remove) {
            s[i] = u >= out ? following : u;
        } else {
            s[i] = u;
        }
        u = following;
    }
}

// Apertures whose sorted sets get their own code, held in registers; any
// other aperture takes the same steps on a set in memory.
template <unsigned N>
struct FixedSet {
    Bytes v[N];
    Bytes& operator[](unsigned i) { return v[i]; }
    static constexpr unsigned size() { return N; }
};
struct MemorySet {
    Bytes* v;
    unsigned n;
    Bytes& operator[](unsigned i) { return v[i]; }
    unsigned size() const { return n; }
};

// Calls body(set) with a set suited to aperture n (`memory` holds n vectors);
// set.size() is n, a constant for the fixed sets.
template <class Body>
VECTOR_INLINE void with_set(unsigned n, Bytes* memory, Body&& body)
{
    switch (n) {
    case 9: { FixedSet<9> s; body(s); break; }
    case 11: { FixedSet<11> s; body(s); break; }
    case 13: { FixedSet<13> s; body(s); break; }
    case 15: { FixedSet<15> s; body(s); break; }
    case 17: { FixedSet<17> s; body(s); break; }
    case 19: { FixedSet<19> s; body(s); break; }
    case 21: { FixedSet<21> s; body(s); break; }
    default: { MemorySet s{memory, n}; body(s); break; }
    }
}

// Slides sorted column sets down a chunk of rows. sorted: n rows of `lanes`
// bytes, one set per byte column. Row r of the chunk inserts entering[r] and
// removes leaving[r] (none while the sets fill up); when targets are given,
// the middle of every set goes to targets[r], `count` bytes and no more.
// Rows are walked whole, so every stream is sequential and the sets stay in
// the cache between rows.
LUMAFORGE_BYTE_CLONES
void slide_columns(std::uint8_t* sorted, std::size_t lanes, unsigned n, std::size_t rows,
                   const std::uint8_t* const* entering, const std::uint8_t* const* leaving,
                   std::uint8_t* const* targets, std::size_t count)
{
    struct Strided {
        std::uint8_t* base;
        std::size_t lanes;
        struct Ref {
            std::uint8_t* p;
            VECTOR_INLINE operator Bytes() const { return load(p); }
            VECTOR_INLINE Ref& operator=(Bytes v)
            {
                store(p, v);
                return *this;
            }
        };
        VECTOR_INLINE Ref operator[](unsigned i) const { return {base + i * lanes}; }
    };
    const unsigned half = n / 2;
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t g = 0; g < lanes; g += kLanes) {
            Strided set{sorted + g, lanes};
            const Bytes in = load(entering[r] + g);
            if (leaving == nullptr) {
                slide_set(set, n, in, Bytes{}, false);
            } else {
                slide_set(set, n, in, load(leaving[r] + g), true);
            }
            if (targets == nullptr) continue;
            if (g + kLanes <= count) {
                store(targets[r] + g, set[half]);
            } else {
                std::uint8_t last[kLanes];
                store(last, set[half]);
                std::memcpy(targets[r] + g, last, count - g);
            }
        }
}

// Horizontal medians of up to kLanes rows at once. `rows` holds kLanes row
// pointers (repeat the last for a short band); targets[r] receives the
// 3 * (width - n + 1) output bytes of row r < band_rows, as row_medians
// writes them. `work` holds 3 * width + 3 vectors; `set` n vectors.
LUMAFORGE_BYTE_CLONES
void band_medians(const std::uint8_t* const* rows, std::size_t band_rows, std::size_t width, unsigned n,
                  std::uint8_t* const* targets, Bytes* work, Bytes* set)
{
    const std::size_t samples = 3 * width, count = 3 * (width - n + 1), half = n / 2;
    Bytes* t = work + 3;  // t[b]: byte b of every row; medians land three vectors back
    auto* lanes = reinterpret_cast<std::uint8_t*>(t);
    for (std::size_t b = 0;; b += kBlock) {
        const std::size_t at = std::min(b, samples - kBlock);
        for (std::size_t half_band = 0; half_band < kLanes; half_band += kBlock)
            transpose_block([&](std::size_t r) { return rows[half_band + r] + at; },
                            [&](std::size_t j) { return lanes + (at + j) * kLanes + half_band; });
        if (at + kBlock >= samples) break;
    }
    with_set(n, set, [&](auto& s) {
        const unsigned size = s.size();
        for (unsigned c = 0; c < 3; ++c) {
            for (unsigned i = 0; i < size; ++i) s[i] = Bytes{} - 1;
            for (unsigned i = 0; i < size; ++i) slide_set(s, size, t[c + 3 * i], Bytes{}, false);
            for (std::size_t b = c;; b += 3) {
                work[b] = s[half];
                if (b + 3 >= count) break;
                slide_set(s, size, t[b + 3 * size], t[b], true);
            }
        }
    });
    auto* medians = reinterpret_cast<const std::uint8_t*>(work);
    for (std::size_t b = 0;; b += kBlock) {
        const std::size_t at = std::min(b, count - kBlock);
        for (std::size_t half_band = 0; half_band < band_rows; half_band += kBlock) {
            std::uint8_t spill[kBlock][kBlock];
            transpose_block([&](std::size_t j) { return medians + (at + j) * kLanes + half_band; },
                            [&](std::size_t r) {
                                return half_band + r < band_rows ? targets[half_band + r] + at : spill[r];
                            });
        }
        if (at + kBlock >= count) break;
    }
}

// Whether band_medians handles this row: whole transposes need 16 output
// bytes, and small apertures are cheaper through the network.
bool banded(std::size_t width, unsigned n)
{
    return n > kNetworkMax && output_span(width, n).count * 3 >= kBlock;
}

// Row medians of `band_rows` (at most kLanes) rows starting at `first`.
void medians_of_rows(const std::uint8_t* first, std::size_t stride, std::size_t band_rows, std::size_t width,
                     unsigned n, std::uint8_t* const* targets, Bytes* work, Bytes* set)
{
    if (!banded(width, n)) {
        for (std::size_t r = 0; r < band_rows; ++r) row_medians(first + r * stride, width, n, targets[r]);
        return;
    }
    const std::uint8_t* rows[kLanes];
    for (std::size_t r = 0; r < kLanes; ++r) rows[r] = first + std::min(r, band_rows - 1) * stride;
    band_medians(rows, band_rows, width, n, targets, work, set);
}

}  // namespace

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
                                medians_of_rows(in + y * stride, stride, band_rows, w, n, targets, work,
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
    const std::size_t w = source.width, stride = source.stride();
    const Span rows = output_span(source.height, n), columns = output_span(w, n);
    const bool writes = rows.count != 0 && columns.count != 0;

    // Per stripe: a ring of row medians, rows padded to whole vectors, deep
    // enough for the windows of a chunk of kLanes output rows plus the row
    // leaving them; when sliding, the sorted column sets; the band scratch.
    const std::size_t count = 3 * columns.count;
    const std::size_t lanes = (count + kLanes - 1) / kLanes * kLanes;
    const bool sliding = n > kNetworkMax;
    const std::size_t ring_rows = sliding ? n + kLanes + 1 : n;  // networks compute one row at a time
    const BandScratch band = band_scratch(w, n);
    const std::size_t ring_bytes = lanes * (ring_rows + (sliding ? n : 0));
    const std::size_t per_stripe = (ring_bytes + kLanes - 1) / kLanes + band.vectors();  // in vectors
    const std::size_t stripes = stripe_count(rows.count);
    VectorScratch scratch;
    if (writes && !scratch.take(stripes * per_stripe)) return false;
    if (!ensure_destination(source, destination)) return false;

    if (writes) {
        const std::size_t half = n / 2, first_byte = 3 * columns.first;
        const std::uint8_t* in = source.pixels.get();
        std::uint8_t* out = destination.pixels.get();
        for_each_stripe(
            stripes, rows.first, rows.count, count * rows.count * (sliding ? 4 : 1),
            [&](std::size_t stripe, std::size_t y0, std::size_t y1) {
                Bytes* memory = scratch.get() + stripe * per_stripe;
                auto* ring = reinterpret_cast<std::uint8_t*>(memory);
                Bytes* work = memory + (ring_bytes + kLanes - 1) / kLanes;
                auto medians_of = [&](std::size_t r) { return ring + (r % ring_rows) * lanes; };
                // Row medians exist up to row `end` - 1; the ring holds the
                // window of a whole chunk of output rows and the row leaving it.
                std::size_t end = y0 - half;
                auto compute_through = [&](std::size_t last) {
                    while (end <= last) {
                        const std::size_t band_rows = std::min(kLanes, last + 1 - end);
                        std::uint8_t* targets[kLanes];
                        for (std::size_t r = 0; r < band_rows; ++r) targets[r] = medians_of(end + r);
                        medians_of_rows(in + end * stride, stride, band_rows, w, n, targets, work,
                                        work + band.work_vectors);
                        end += band_rows;
                    }
                };
                compute_through(y0 + half);
                std::uint8_t* sorted = ring + ring_rows * lanes;
                const std::uint8_t* entering[kLanes];
                const std::uint8_t* leaving[kLanes];
                std::uint8_t* targets[kLanes];
                if (sliding) {
                    // The sets start full of 255s, which the first n - 1 rows
                    // push out; the chunk loop below adds the n-th.
                    std::memset(sorted, 255, n * lanes);
                    for (std::size_t r = y0 - half; r < y0 + half;) {
                        const std::size_t rows_now = std::min(kLanes, y0 + half - r);
                        for (std::size_t k = 0; k < rows_now; ++k) entering[k] = medians_of(r + k);
                        slide_columns(sorted, lanes, n, rows_now, entering, nullptr, nullptr, 0);
                        r += rows_now;
                    }
                    compute_through(y0 + half);
                    entering[0] = medians_of(y0 + half);
                    targets[0] = out + y0 * stride + first_byte;
                    slide_columns(sorted, lanes, n, 1, entering, nullptr, targets, count);
                    for (std::size_t y = y0 + 1; y < y1;) {
                        const std::size_t rows_now = std::min(kLanes, y1 - y);
                        compute_through(y + rows_now - 1 + half);
                        for (std::size_t k = 0; k < rows_now; ++k) {
                            entering[k] = medians_of(y + k + half);
                            leaving[k] = medians_of(y + k - half - 1);
                            targets[k] = out + (y + k) * stride + first_byte;
                        }
                        slide_columns(sorted, lanes, n, rows_now, entering, leaving, targets, count);
                        y += rows_now;
                    }
                    return;
                }
                const std::uint8_t* window[kNetworkMax];
                for (std::size_t y = y0; y < y1; ++y) {
                    compute_through(y + half);
                    for (unsigned k = 0; k < n; ++k) window[k] = medians_of(y - half + k);
                    column_network(window, n, count, out + y * stride + first_byte);
                }
            });
    }
    finish(source, destination);
    return true;
}
