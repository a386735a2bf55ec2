// Splitting an operation's rows into stripes, one per core. Each stripe
// writes only its own rows, so the result does not depend on the number of
// threads. Small jobs run on the calling thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

// Calls fn(first_row, end_row) over [0, rows) in contiguous stripes.
// `work` is a rough cost of the whole job (e.g. pixels times passes).
template <class Fn>
void parallel_rows(std::size_t rows, std::size_t work, Fn&& fn)
{
    unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    if (work < (1u << 16) || rows < 2) threads = 1;
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    threads = 1;  // a WebAssembly module built without threads aborts when one starts
#endif
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, rows == 0 ? 1 : rows));
    if (threads <= 1) {
        fn(std::size_t{0}, rows);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    const std::size_t per = (rows + threads - 1) / threads;
    for (unsigned t = 1; t < threads; ++t) {
        const std::size_t begin = std::min(rows, t * per), end = std::min(rows, begin + per);
        if (begin < end) pool.emplace_back([&fn, begin, end] { fn(begin, end); });
    }
    fn(std::size_t{0}, std::min(rows, per));
    for (std::thread& th : pool) th.join();
}
