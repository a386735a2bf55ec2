#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "image/heap.h"
#include "image/test_seam.h"

namespace {

bool all_zero(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

// Sizes around the point where blocks start to be mapped apart, and one
// that is not a whole number of pages.
constexpr std::size_t kSizes[] = {kLargeBlock - 1, kLargeBlock, kLargeBlock + 1, 3 * kLargeBlock + 12345};

TEST(Heap, LargeBlocksAreZeroWholeAndAlignedForHugePages)
{
    for (std::size_t size : kSizes) {
        for (int round = 0; round < 2; ++round) {  // the second round may reuse the first's memory
            auto block = HeapArray<std::uint8_t>::allocate(size);
            ASSERT_TRUE(block) << size;
            ASSERT_EQ(block.size(), size);
            EXPECT_TRUE(all_zero(block.get(), size)) << size;
            std::memset(block.get(), 0xA5, size);
            if (heap_maps_large_blocks() && size >= kLargeBlock) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % kLargeBlock, 0u) << size;
            }
        }
    }
}

// A block given back with the wrong length would unmap its neighbour or leak
// pages; a block given back to the wrong allocator would crash.
TEST(Heap, ReleasingOneBlockLeavesTheOthersWhole)
{
    HeapArray<std::uint8_t> blocks[4];
    for (int i = 0; i < 4; ++i) blocks[i] = HeapArray<std::uint8_t>::allocate(kSizes[i]);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(blocks[i]);
    blocks[1].reset();
    HeapArray<std::uint8_t> moved = std::move(blocks[2]);
    EXPECT_FALSE(blocks[2]);
    blocks[3] = std::move(blocks[0]);  // releases the old blocks[3]
    for (auto* b : {&blocks[3], &moved}) {
        std::memset(b->get(), 1, b->size());
        EXPECT_EQ((*b)[b->size() - 1], 1);
    }
}

TEST(Heap, FailureInjectionCountsLargeBlocksLikeSmallOnes)
{
    test_seam::heap_fail_at(2);
    auto small = HeapArray<std::uint8_t>::allocate(16);
    auto large = HeapArray<std::uint8_t>::allocate(kLargeBlock);
    auto after = HeapArray<float>::allocate(kLargeBlock);
    EXPECT_TRUE(small);
    EXPECT_FALSE(large);
    EXPECT_TRUE(after);
    EXPECT_EQ(test_seam::heap_allocation_count(), 3u);
    EXPECT_EQ(test_seam::heap_bytes_requested(), 16u + kLargeBlock + kLargeBlock * sizeof(float));
    test_seam::heap_fail_at(0);
}

TEST(Heap, AnEmptyBlockIsStillABlock)
{
    auto a = HeapArray<std::uint8_t>::allocate(0), b = HeapArray<std::uint8_t>::allocate(0);
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    EXPECT_NE(a.get(), b.get());
}

}  // namespace
