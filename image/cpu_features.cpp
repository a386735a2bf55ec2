#include "image/cpu_features.h"

#include "image/test_seam.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int> level_limit{static_cast<int>(CpuLevel::avx512)};

// The runtime's probe checks the instruction set and that the operating
// system saves the wider registers.
CpuLevel processor_level()
{
#if LUMAFORGE_CPU_COPIES
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3")) return CpuLevel::baseline;
    if (!__builtin_cpu_supports("avx2")) return CpuLevel::ssse3;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw") ||
        !__builtin_cpu_supports("avx512cd") || !__builtin_cpu_supports("avx512dq") ||
        !__builtin_cpu_supports("avx512vl"))
        return CpuLevel::avx2;
    return CpuLevel::avx512;
#else
    return CpuLevel::baseline;
#endif
}

}  // namespace

const char* cpu_level_name(CpuLevel level)
{
    switch (level) {
    case CpuLevel::baseline: return "baseline";
    case CpuLevel::ssse3: return "ssse3";
    case CpuLevel::avx2: return "avx2";
    case CpuLevel::avx512: return "avx512";
    }
    return "unknown";
}

bool baseline_requested(const char* value)
{
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

CpuLevel detected_cpu_level()
{
    static const CpuLevel level =
        baseline_requested(std::getenv("LUMAFORGE_BASELINE")) ? CpuLevel::baseline : processor_level();
    return level;
}

CpuLevel cpu_level()
{
    const int detected = static_cast<int>(detected_cpu_level());
    const int limit = level_limit.load(std::memory_order_relaxed);
    return static_cast<CpuLevel>(detected < limit ? detected : limit);
}

void test_seam::limit_cpu_level(CpuLevel highest) { level_limit.store(static_cast<int>(highest), std::memory_order_relaxed); }
