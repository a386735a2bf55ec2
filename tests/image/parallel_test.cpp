#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <vector>

#include "image/parallel.h"
#include "ops/operations.h"
#include "tests/support/images.h"
#include "tests/support/records.h"

namespace {

constexpr unsigned kThreadCounts[] = {1, 2, 8};

class Threads : public ::testing::Test {
protected:
    void TearDown() override { set_parallel_threads(0); }
};

TEST_F(Threads, EveryRowIsHandedOutOnceWhateverTheSplit)
{
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        set_parallel_threads(threads);
        EXPECT_EQ(parallel_threads(), threads);
        for (std::size_t rows : {0u, 1u, 2u, 7u, 9u, 1000u}) {
            std::vector<std::atomic<int>> seen(rows);
            parallel_rows(rows, std::size_t{1} << 20, [&](std::size_t first, std::size_t end) {
                for (std::size_t y = first; y < end; ++y) ++seen[y];
            });
            for (std::size_t y = 0; y < rows; ++y) ASSERT_EQ(seen[y].load(), 1) << threads << " threads, row " << y;
        }
    }
}

// A stripe that splits again must not wait for the busy pool, and a stripe
// that throws must reach the caller and leave the pool working.
TEST_F(Threads, NestedSplitsAndThrowingStripesLeaveThePoolWorking)
{
    set_parallel_threads(4);
    std::atomic<int> inner{0};
    parallel_rows(8, std::size_t{1} << 20, [&](std::size_t first, std::size_t end) {
        parallel_rows(end - first, std::size_t{1} << 20, [&](std::size_t a, std::size_t b) { inner += int(b - a); });
    });
    EXPECT_EQ(inner.load(), 8);

    EXPECT_THROW(parallel_rows(8, std::size_t{1} << 20,
                               [](std::size_t first, std::size_t) {
                                   if (first != 0) throw std::runtime_error("stripe");
                               }),
                 std::runtime_error);
    std::atomic<int> rows{0};
    parallel_rows(100, std::size_t{1} << 20, [&](std::size_t a, std::size_t b) { rows += int(b - a); });
    EXPECT_EQ(rows.load(), 100);
}

// Operations of each kind of split: rows of a point operation with counts
// merged, a 3x3 luma filter, a windowed filter with per-stripe scratch, a
// block transform with its coefficient planes. Big enough to be split.
TEST_F(Threads, OperationsGiveTheSameBytesForAnyThreadCount)
{
    const ImageRecord source = random_record(301, 263, 14);
    const std::pair<const char*, std::function<bool(const ImageRecord&, ImageRecord&)>> operations[] = {
        {"grayscale", to_grayscale},
        {"contrast", [](const ImageRecord& a, ImageRecord& b) { return adjust_contrast(a, b, 1.7f); }},
        {"sobel", sobel_filter},
        {"smooth-2d=5", [](const ImageRecord& a, ImageRecord& b) { return smooth_2d(a, b, 5); }},
        {"median-2d=7", [](const ImageRecord& a, ImageRecord& b) { return median_2d(a, b, 7); }},
        {"statistical=3", [](const ImageRecord& a, ImageRecord& b) { return statistical_filter(a, b, 3); }},
        {"fft-2d=256",
         [](const ImageRecord& a, ImageRecord& b) {
             b = clone(a);
             return fft_block(b, 2, 1, 256);
         }},
    };
    for (const auto& [name, run] : operations) {
        ImageRecord expected;
        for (unsigned threads : kThreadCounts) {
            set_parallel_threads(threads);
            ImageRecord result;
            ASSERT_TRUE(run(source, result)) << name;
            if (threads == kThreadCounts[0])
                expected = std::move(result);
            else
                EXPECT_TRUE(same_record(expected, result)) << name << " on " << threads << " threads";
        }
    }
}

}  // namespace
