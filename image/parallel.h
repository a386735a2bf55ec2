// Splitting an operation's rows into stripes, a few per thread. Each stripe
// writes only its own rows, so the result does not depend on the number of
// threads or stripes. Small jobs run on the calling thread.
//
// The threads come from one pool, started on the first job that needs it and
// kept until the program ends; the calling thread runs stripes too. Where a
// thread cannot be started the pool works with the ones it has, down to none:
// the calling thread then runs every stripe itself, so a command never fails
// for lack of threads. A build for a browser without threads never starts
// one. A stripe that asks for a split of its own runs it on its own thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>

// Threads a job is split for, the calling thread included: the processor's
// count, at most 8 (or what set_parallel_threads asked for).
unsigned parallel_threads();

// Test hook: split every job for `count` threads (1 to 8) whatever the
// machine has; 0 goes back to the machine's count.
void set_parallel_threads(unsigned count);

namespace parallel_detail {

using Task = void (*)(void* context, std::size_t index);

// Calls task(context, i) for every i in [0, tasks) on up to
// parallel_threads() threads, the calling one included; returns when every
// call has returned.
void run_tasks(std::size_t tasks, Task task, void* context);

}  // namespace parallel_detail

// Stripes per thread: a thread that the system holds back (the machine is
// shared) leaves its later stripes to the others instead of holding up the
// whole job.
inline constexpr std::size_t kStripesPerThread = 4;

// Calls fn(first_row, end_row) over [0, rows) in contiguous stripes, in any
// order and on any thread. `work` is a rough cost of the whole job (e.g.
// pixels times passes).
template <class Fn>
void parallel_rows(std::size_t rows, std::size_t work, Fn&& fn)
{
    std::size_t stripes = parallel_threads() * kStripesPerThread;
    if (work < (1u << 16) || rows < 2) stripes = 1;
    stripes = std::min<std::size_t>(stripes, rows == 0 ? 1 : rows);
    if (stripes <= 1) {
        fn(std::size_t{0}, rows);
        return;
    }
    struct Job {
        std::remove_reference_t<Fn>& fn;
        std::size_t rows, per;
    } job{fn, rows, (rows + stripes - 1) / stripes};
    parallel_detail::run_tasks(stripes, [](void* context, std::size_t stripe) {
        const Job& j = *static_cast<const Job*>(context);
        const std::size_t begin = std::min(j.rows, stripe * j.per), end = std::min(j.rows, begin + j.per);
        if (begin < end) j.fn(begin, end);
    }, &job);
}
