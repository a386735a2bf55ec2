// Heap buffers for pixel blocks, coefficient planes and temporaries.
//
// HeapArray<T> owns a zero-filled block of T taken with calloc and given back
// with free. An empty HeapArray (no block) is distinct from a block of zero
// elements: allocate(0) still yields a block, so "a record holds a buffer"
// stays observable for images without pixels.
//
// allocate() never throws: it returns an empty HeapArray when the heap
// refuses, and callers refuse their command. Every allocation of the core goes
// through heap_allocate(), which tests can make fail on the n-th call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

// Zero-filled bytes or nullptr. A size of 0 still returns a distinct block.
void* heap_allocate(std::size_t bytes);

// Test hook: the n-th following call of heap_allocate (1 = the next one)
// fails; 0 turns failure injection off. Returns how many calls were made
// since the last reset, so tests can count the allocations of a command.
void heap_fail_at(std::uint64_t n);
std::uint64_t heap_allocation_count();
// Bytes asked for since the last heap_fail_at, failed requests included, so
// tests can bound what a command takes.
std::uint64_t heap_bytes_requested();

template <class T>
class HeapArray {
public:
    HeapArray() = default;

    static HeapArray allocate(std::size_t count)
    {
        HeapArray a;
        if (count > SIZE_MAX / sizeof(T)) return a;
        a.data_.reset(static_cast<T*>(heap_allocate(count * sizeof(T))));
        if (a.data_) a.size_ = count;
        return a;
    }

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
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
};
