// Heap buffers for pixel blocks, coefficient planes and temporaries.
//
// HeapArray<T> owns a zero-filled block of T. An empty HeapArray (no block)
// is distinct from a block of zero elements: allocate(0) still yields a
// block, so "a record holds a buffer" stays observable for images without
// pixels. allocate_uninitialized() is for a block its user writes whole
// before reading any of it: it skips the clearing, which otherwise is a pass
// over the block wherever the heap hands back memory it had before (always in
// WebAssembly).
//
// Where the blocks come from: touching a fresh 36 MB block page by page costs
// more than most operations, so on Linux a block of kLargeBlock bytes or more
// gets its own anonymous mapping, aligned to 2 MB and marked for huge pages.
// Such pages are zero when first touched, so nothing clears them, and the
// first touch happens wherever the operation writes (in its threads). Smaller
// blocks, every block elsewhere, and every block under the address
// sanitizer (which watches only the ordinary heap) come from calloc. A block
// goes back the way it came when its HeapArray releases it.
//
// allocate() never throws: it returns an empty HeapArray when the heap
// refuses, and callers refuse their command. Every allocation of the core goes
// through heap_allocate(), which tests can make fail on the n-th call
// (image/test_seam.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

// Blocks from this size on may be mapped apart (see above).
inline constexpr std::size_t kLargeBlock = std::size_t{2} << 20;

// A block and how to give it back: `mapped` is the length of the block's own
// mapping, 0 for a block from calloc.
struct HeapBlock {
    void* data = nullptr;
    std::size_t mapped = 0;
};

// Zero-filled bytes (left as they come when `zeroed` is false), or no data
// when the heap refuses. A size of 0 still returns a distinct block.
HeapBlock heap_allocate(std::size_t bytes, bool zeroed = true);
void heap_release(const HeapBlock& block);

// Whether this build maps large blocks apart (Linux, no address sanitizer).
bool heap_maps_large_blocks();

template <class T>
class HeapArray {
public:
    HeapArray() = default;

    static HeapArray allocate(std::size_t count, bool zeroed = true)
    {
        HeapArray a;
        if (count > SIZE_MAX / sizeof(T)) return a;
        const HeapBlock block = heap_allocate(count * sizeof(T), zeroed);
        if (block.data == nullptr) return a;
        a.data_ = Owner(static_cast<T*>(block.data), Release{block.mapped});
        a.size_ = count;
        return a;
    }
    static HeapArray allocate_uninitialized(std::size_t count) { return allocate(count, false); }

    T* get() const { return data_.get(); }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }
    T& operator[](std::size_t i) const { return data_[i]; }
    void reset()
    {
        data_.reset();
        size_ = 0;
    }

private:
    struct Release {
        std::size_t mapped = 0;
        void operator()(T* p) const { heap_release({p, mapped}); }
    };
    using Owner = std::unique_ptr<T[], Release>;
    Owner data_;
    std::size_t size_ = 0;
};
