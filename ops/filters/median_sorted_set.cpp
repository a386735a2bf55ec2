// Median kernels by sorted sets slid along the rows or down the columns,
// apertures above kNetworkMax.
#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/cpu_features.h"
#include "ops/filters/median_kernels.h"
#include "ops/filters/window_support.h"

namespace median_kernels {

namespace {

// Rows of a band, transposed: vector b holds byte b of each of kLanes rows.
// The horizontal window then slides down a column of vectors, one lane per
// row, with the same sorted-set update as the columns use.

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

// How the kernels tell the lanes where u >= out. By comparison where the
// vectors are the machine's own (AVX2 and up, WebAssembly). In SSE2 a vector
// is two of the machine's, and GCC compares such vectors byte by byte in
// scalar code; but it splits minima and differences into the machine's
// vectors, so there the mask is made from those (a fifth slower than a
// comparison where both are vector code).
enum class Order { compare, minima };

// following where u >= out, else u; following >= u. By minima:
// out - min(out, u) is zero exactly where u >= out; capped at 1 and less 1
// it is a mask of those lanes.
template <Order How>
VECTOR_INLINE Bytes pick_following(Bytes u, Bytes following, Bytes out)
{
    if constexpr (How == Order::compare) {
        return u >= out ? following : u;
    } else {
        const Bytes one = Bytes{} + 1;
        return upper(u, following & (lower(out - lower(out, u), one) - one));
    }
}

// Inserts `in` into the sorted set s[0..n-1] of every lane and removes one
// copy of `out` (or, without removal, the largest value). Inserting gives
// n + 1 sorted values u[0..n]; removal keeps u[i] while it lies below the
// leaving value and takes u[i + 1] from there on.
template <Order How, class Set>
VECTOR_INLINE void slide_set(Set& s, unsigned n, Bytes in, Bytes out, bool remove)
{
    Bytes u = lower(s[0], in);
    for (unsigned i = 0; i < n; ++i) {
        const Bytes following = i + 1 < n ? upper(s[i], lower(s[i + 1], in)) : upper(s[i], in);
        if (remove) {
            s[i] = pick_following<How>(u, following, out);
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

// Kernels::slide_columns. Rows are walked whole, so every stream is
// sequential and the sets stay in the cache between rows.
template <Order How>
VECTOR_INLINE void slide_columns(std::uint8_t* sorted, std::size_t lanes, unsigned n, std::size_t rows,
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
                slide_set<How>(set, n, in, Bytes{}, false);
            } else {
                slide_set<How>(set, n, in, load(leaving[r] + g), true);
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

// Kernels::band_medians: the band is transposed into `work`, each channel's
// window slides down its column of vectors, and the medians are transposed
// back into the targets.
template <Order How>
VECTOR_INLINE void band_medians(const std::uint8_t* const* rows, std::size_t band_rows, std::size_t width,
                                unsigned n, std::uint8_t* const* targets, Bytes* work, Bytes* set)
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
            for (unsigned i = 0; i < size; ++i) s[i] = ~Bytes{};
            for (unsigned i = 0; i < size; ++i) slide_set<How>(s, size, t[c + 3 * i], Bytes{}, false);
            for (std::size_t b = c;; b += 3) {
                work[b] = s[half];
                if (b + 3 >= count) break;
                slide_set<How>(s, size, t[b + 3 * size], t[b], true);
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

}  // namespace

// The baseline copy of Minima, the AVX2 and AVX-512 copies of Compare; where
// there are no copies (WebAssembly) Compare.
template <auto Minima, auto Compare>
decltype(Minima) pick_ordered()
{
#if LUMAFORGE_CPU_COPIES
    using Fast = cpu_copies_detail::Copies<Compare>;
    return choose_copy<decltype(Minima)>({cpu_copies_detail::Copies<Minima>::template at<CpuLevel::baseline>(),
                                          Fast::template at<CpuLevel::avx2>(), Fast::template at<CpuLevel::avx512>()});
#else
    return Compare;
#endif
}

bool banded(std::size_t width, unsigned n)
{
    return n > kNetworkMax && window_filters::output_span(width, n).count * 3 >= kBlock;
}

void pick_sorted_set_kernels(Kernels& kernels)
{
    kernels.slide_columns = pick_ordered<&slide_columns<Order::minima>, &slide_columns<Order::compare>>();
    kernels.band_medians = pick_ordered<&band_medians<Order::minima>, &band_medians<Order::compare>>();
}

}  // namespace median_kernels
