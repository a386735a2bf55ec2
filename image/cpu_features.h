// Processor-specific copies of hot loops, chosen at run time.
//
// A kernel is written once, as an always-inline body of plain loops, generic
// vectors or the SSE2 intrinsics every x86 build has. pick_copy compiles that
// body again for each vector level the kernel lists, under the target
// attribute of the level, and returns the copy for the highest listed level
// that cpu_level() allows (the baseline copy when none is). A kernel written
// by hand for one level goes through choose_copy instead. Every copy does the
// same IEEE operations in the same order on each lane, and -ffp-contract=off
// keeps products and sums apart, so all copies give the same bytes; tests hold
// each level to the literal references.
//
// Levels, each including the ones before it:
//   baseline  what the build targets everywhere (SSE2 on 32- and 64-bit x86)
//   ssse3     byte shuffles
//   avx2      256-bit integer and float vectors (no FMA)
//   avx512    AVX-512 F, BW, CD, DQ and VL: the vector set of x86-64-v4
// Only x86 builds with GCC or Clang have copies beyond the baseline; on other
// targets (WebAssembly among them) the baseline copy is the only one.
//
// The processor's level is detected once, with the operating system's support
// for the wider registers. LUMAFORGE_BASELINE=1 in the environment makes the
// program behave as on a processor with the baseline only (benchmarks, checks
// of a baseline run); tests lower the level through image/test_seam.h.
#pragma once

#include <initializer_list>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define LUMAFORGE_CPU_COPIES 1
// Feature lists rather than arch= names: GCC inlines ordinary helpers only
// into callers of the same arch, and every kernel body relies on that.
#define LUMAFORGE_TARGET_SSSE3 [[gnu::target("ssse3")]]
#define LUMAFORGE_TARGET_AVX2 [[gnu::target("avx2")]]
#define LUMAFORGE_TARGET_AVX512 [[gnu::target("avx2,avx512f,avx512bw,avx512cd,avx512dq,avx512vl")]]
#else
#define LUMAFORGE_CPU_COPIES 0
#endif

enum class CpuLevel : int { baseline = 0, ssse3 = 1, avx2 = 2, avx512 = 3 };

const char* cpu_level_name(CpuLevel level);

// The processor's level, or baseline when LUMAFORGE_BASELINE asks for it.
CpuLevel detected_cpu_level();

// The level kernels run at: the detected one, capped by the tests' limit
// (image/test_seam.h).
CpuLevel cpu_level();


// What LUMAFORGE_BASELINE's value means: set, not empty and not "0".
bool baseline_requested(const char* value);

// One copy of a kernel and the level it needs.
template <class Fn>
struct CpuCopy {
    CpuLevel level;
    Fn fn;
};

// The copy with the highest level cpu_level() allows; `copies` lists the
// baseline first and the others in rising order.
template <class Fn>
Fn choose_copy(std::initializer_list<CpuCopy<Fn>> copies)
{
    const CpuLevel level = cpu_level();
    Fn chosen = copies.begin()->fn;
    for (const CpuCopy<Fn>& copy : copies)
        if (copy.level <= level) chosen = copy.fn;
    return chosen;
}

namespace cpu_copies_detail {

template <auto Body, class Fn = decltype(Body)>
struct Copies;

template <auto Body, class R, class... A>
struct Copies<Body, R (*)(A...)> {
    static R baseline(A... a) { return Body(a...); }
#if LUMAFORGE_CPU_COPIES
    LUMAFORGE_TARGET_SSSE3 static R ssse3(A... a) { return Body(a...); }
    LUMAFORGE_TARGET_AVX2 static R avx2(A... a) { return Body(a...); }
    LUMAFORGE_TARGET_AVX512 static R avx512(A... a) { return Body(a...); }
#endif

    // Only the levels a kernel lists are instantiated.
    template <CpuLevel L>
    static constexpr CpuCopy<R (*)(A...)> at()
    {
#if LUMAFORGE_CPU_COPIES
        if constexpr (L == CpuLevel::ssse3) return {L, ssse3};
        if constexpr (L == CpuLevel::avx2) return {L, avx2};
        if constexpr (L == CpuLevel::avx512) return {L, avx512};
#endif
        return {CpuLevel::baseline, baseline};
    }
};

}  // namespace cpu_copies_detail

// Body's copy for the current level among the baseline and `Levels` (listed
// in rising order). Body must be always_inline, so that each copy is its own
// code compiled for its level.
template <auto Body, CpuLevel... Levels>
decltype(Body) pick_copy()
{
    using Copies = cpu_copies_detail::Copies<Body>;
    return choose_copy<decltype(Body)>({Copies::template at<CpuLevel::baseline>(), Copies::template at<Levels>()...});
}
