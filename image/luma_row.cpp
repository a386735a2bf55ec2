// luma_row: sixteen pixels at a time with SSSE3, a copy written by hand for
// that level (cpu_features.h); in WebAssembly with SIMD the same copy,
// always (its byte shuffle is a native instruction there: -mssse3 maps the
// intrinsics onto it); elsewhere, and for the tail of a row, the scalar
// luma().
//
// Both paths compute s = 11B + 59G + 30R + 50 (100 times the exact weighted
// sum) and q = s / 100. Pixels whose s is a multiple of 100 are the only ones
// where the double evaluation can fall below the whole number; the vector
// path flags them and hands exactly those to the double expression.
#include "image/cpu_features.h"
#include "image/statistics.h"

#if LUMAFORGE_CPU_COPIES
#include <immintrin.h>
#define LUMA_ROW_SIXTEEN 1
#elif defined(__wasm_simd128__) && defined(__SSSE3__)
#include <tmmintrin.h>
#define LUMA_ROW_SIXTEEN 1
#define LUMAFORGE_TARGET_SSSE3
#endif

namespace {

void luma_row_scalar(const std::uint8_t* p, std::size_t count, std::uint8_t* out)
{
    for (std::size_t i = 0; i < count; ++i, p += 3) out[i] = luma(p[0], p[1], p[2]);
}

#ifdef LUMA_ROW_SIXTEEN

// Shuffle masks that gather channel c (0 blue, 1 green, 2 red) of 16 pixels
// from the three 16-byte loads that hold them: mask[c][load][lane].
struct GatherMasks {
    alignas(16) signed char m[3][3][16];
    constexpr GatherMasks() : m{}
    {
        for (int c = 0; c < 3; ++c)
            for (int lane = 0; lane < 16; ++lane) {
                const int at = 3 * lane + c;
                for (int load = 0; load < 3; ++load)
                    m[c][load][lane] = at / 16 == load ? static_cast<signed char>(at % 16) : -128;
            }
    }
};
constexpr GatherMasks kGather;

LUMAFORGE_TARGET_SSSE3 inline __m128i gather_channel(__m128i a, __m128i b, __m128i c, int channel)
{
    const auto mask = [channel](int load) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(kGather.m[channel][load]));
    };
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, mask(0)), _mm_shuffle_epi8(b, mask(1))),
                        _mm_shuffle_epi8(c, mask(2)));
}

// q = s / 100 and the mask of lanes where s is a multiple of 100, for eight
// 16-bit sums.
LUMAFORGE_TARGET_SSSE3 inline __m128i quotient(__m128i s, __m128i& whole)
{
    const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(s, _mm_set1_epi16(5243)), 3);
    whole = _mm_cmpeq_epi16(_mm_mullo_epi16(q, _mm_set1_epi16(100)), s);
    return q;
}

LUMAFORGE_TARGET_SSSE3 void luma_row_ssse3(const std::uint8_t* p, std::size_t count, std::uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i k11 = _mm_set1_epi16(11), k59 = _mm_set1_epi16(59), k30 = _mm_set1_epi16(30),
                  k50 = _mm_set1_epi16(50);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16, p += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i blue = gather_channel(a, b, c, 0);
        const __m128i green = gather_channel(a, b, c, 1);
        const __m128i red = gather_channel(a, b, c, 2);
        const auto sum = [&](__m128i b16, __m128i g16, __m128i r16) {
            __m128i s = _mm_add_epi16(_mm_mullo_epi16(b16, k11), k50);
            s = _mm_add_epi16(s, _mm_mullo_epi16(g16, k59));
            return _mm_add_epi16(s, _mm_mullo_epi16(r16, k30));
        };
        __m128i whole_lo, whole_hi;
        const __m128i q_lo = quotient(
            sum(_mm_unpacklo_epi8(blue, zero), _mm_unpacklo_epi8(green, zero), _mm_unpacklo_epi8(red, zero)), whole_lo);
        const __m128i q_hi = quotient(
            sum(_mm_unpackhi_epi8(blue, zero), _mm_unpackhi_epi8(green, zero), _mm_unpackhi_epi8(red, zero)), whole_hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(q_lo, q_hi));
        int flags = _mm_movemask_epi8(_mm_packs_epi16(whole_lo, whole_hi));
        while (flags != 0) {
            const int lane = __builtin_ctz(static_cast<unsigned>(flags));
            flags &= flags - 1;
            const std::uint8_t* px = p + 3 * lane;
            out[i + lane] = luma_in_double(px[0], px[1], px[2]);
        }
    }
    luma_row_scalar(p, count - i, out + i);
}

#endif

using LumaRow = void (*)(const std::uint8_t*, std::size_t, std::uint8_t*);

}  // namespace

void luma_row(const std::uint8_t* bgr, std::size_t count, std::uint8_t* out)
{
#if LUMAFORGE_CPU_COPIES
    const LumaRow copy = choose_copy<LumaRow>({{CpuLevel::baseline, luma_row_scalar}, {CpuLevel::ssse3, luma_row_ssse3}});
#elif defined(LUMA_ROW_SIXTEEN)
    const LumaRow copy = luma_row_ssse3;
#else
    const LumaRow copy = luma_row_scalar;
#endif
    copy(bgr, count, out);
}
