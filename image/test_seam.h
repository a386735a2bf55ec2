// The tests' way into the core: failure injection and limits that no program
// calls. Each is a switch the core reads where the real world would fail or
// differ (an allocation, a write to disk, the processor's vector level); left
// alone they change nothing. Only tests, fuzzers and benchmarks include this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/cpu_features.h"

namespace test_seam {

// The n-th following call of heap_allocate (1 = the next one) fails; 0 turns
// failure injection off. Either way the counts below start again from 0.
void heap_fail_at(std::uint64_t n);
// Calls of heap_allocate since the last heap_fail_at, so tests can count the
// allocations of a command.
std::uint64_t heap_allocation_count();
// Bytes asked for since the last heap_fail_at, failed requests included, so
// tests can bound what a command takes.
std::uint64_t heap_bytes_requested();
// Requests of more than `bytes` fail (0, the default: no bound), so a small
// file that declares a large, valid picture is refused before a decoder
// allocates for it (fuzzing).
void heap_refuse_above(std::size_t bytes);

// Every ReplacingFile fails its write once `bytes` bytes have gone through
// it, as a full disk would; a negative value turns that off.
void fail_file_writes_after(std::int64_t bytes);

// Caps the vector level kernels run at from now on; CpuLevel::avx512 lifts
// the cap. Safe to call between operations from any thread.
void limit_cpu_level(CpuLevel highest);

}  // namespace test_seam
