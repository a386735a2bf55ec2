#include "image/heap.h"

#include <atomic>

namespace {
std::atomic<std::uint64_t> fail_at{0};
std::atomic<std::uint64_t> calls{0};
std::atomic<std::uint64_t> bytes_requested{0};
}

void* heap_allocate(std::size_t bytes)
{
    const std::uint64_t n = ++calls;
    bytes_requested += bytes;
    const std::uint64_t f = fail_at.load();
    if (f != 0 && n == f) return nullptr;
    return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

void heap_fail_at(std::uint64_t n)
{
    calls = 0;
    bytes_requested = 0;
    fail_at = n;
}

std::uint64_t heap_allocation_count() { return calls.load(); }

std::uint64_t heap_bytes_requested() { return bytes_requested.load(); }
