#include "image/heap.h"

#include "image/test_seam.h"

#include <atomic>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define LUMAFORGE_HEAP_WATCHED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMAFORGE_HEAP_WATCHED 1
#endif
#endif

#if defined(__linux__) && !defined(__EMSCRIPTEN__) && !defined(LUMAFORGE_HEAP_WATCHED)
#define LUMAFORGE_MAP_LARGE_BLOCKS 1
#include <sys/mman.h>
#endif

namespace {

std::atomic<std::uint64_t> fail_at{0};
std::atomic<std::uint64_t> calls{0};
std::atomic<std::uint64_t> bytes_requested{0};
std::atomic<std::size_t> refuse_above{0};

#ifdef LUMAFORGE_MAP_LARGE_BLOCKS
constexpr std::size_t kPage = 4096;

// A mapping of `bytes` (rounded up to whole pages) starting on a 2 MB
// boundary, so that every whole 2 MB stretch of it can be one huge page.
// Over-maps by 2 MB and gives back the misaligned ends.
HeapBlock map_large_block(std::size_t bytes)
{
    const std::size_t length = (bytes + kPage - 1) / kPage * kPage;
    if (length < bytes || length > SIZE_MAX - kLargeBlock) return {};
    void* raw = mmap(nullptr, length + kLargeBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return {};
    char* const start = static_cast<char*>(raw);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    char* const aligned = start + ((kLargeBlock - address % kLargeBlock) % kLargeBlock);
    if (aligned != start) munmap(start, static_cast<std::size_t>(aligned - start));
    char* const end = start + length + kLargeBlock;
    if (aligned + length != end) munmap(aligned + length, static_cast<std::size_t>(end - (aligned + length)));
    // Only advice: where huge pages are off, the block still works in small ones.
    madvise(aligned, length, MADV_HUGEPAGE);
    return {aligned, length};
}
#endif

}  // namespace

HeapBlock heap_allocate(std::size_t bytes, bool zeroed)
{
    const std::uint64_t n = ++calls;
    bytes_requested += bytes;
    const std::uint64_t f = fail_at.load();
    if (f != 0 && n == f) return {};
    const std::size_t bound = refuse_above.load();
    if (bound != 0 && bytes > bound) return {};
#ifdef LUMAFORGE_MAP_LARGE_BLOCKS
    if (bytes >= kLargeBlock) {
        const HeapBlock block = map_large_block(bytes);
        if (block.data != nullptr) return block;
    }
#endif
    const std::size_t size = bytes == 0 ? 1 : bytes;
    return {zeroed ? std::calloc(size, 1) : std::malloc(size), 0};
}

void heap_release(const HeapBlock& block)
{
#ifdef LUMAFORGE_MAP_LARGE_BLOCKS
    if (block.mapped != 0) {
        munmap(block.data, block.mapped);
        return;
    }
#endif
    std::free(block.data);
}

bool heap_maps_large_blocks()
{
#ifdef LUMAFORGE_MAP_LARGE_BLOCKS
    return true;
#else
    return false;
#endif
}

void test_seam::heap_fail_at(std::uint64_t n)
{
    calls = 0;
    bytes_requested = 0;
    fail_at = n;
}

std::uint64_t test_seam::heap_allocation_count() { return calls.load(); }

std::uint64_t test_seam::heap_bytes_requested() { return bytes_requested.load(); }

void test_seam::heap_refuse_above(std::size_t bytes) { refuse_above = bytes; }
