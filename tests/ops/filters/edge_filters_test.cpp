#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "image/heap.h"
#include "image/statistics.h"
#include "ops/filters/luma_window.h"
#include "ops/operations.h"
#include "tests/reference/edge_filters.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

using EdgeFilter = reference::LumaFilter;
constexpr auto& kFilters = reference::kLumaFilters;

void expect_same_record(const ImageRecord& a, const ImageRecord& b, const std::string& what)
{
    ASSERT_EQ(a.width, b.width) << what;
    ASSERT_EQ(a.height, b.height) << what;
    ASSERT_EQ(a.row_padding, b.row_padding) << what;
    ASSERT_EQ(a.data_size, b.data_size) << what;
    ASSERT_TRUE(a.pixels && b.pixels) << what;
    for (std::int32_t i = 0; i < a.data_size; ++i)
        ASSERT_EQ(a.pixels[i], b.pixels[i]) << what << ": byte " << i << " (row " << i / a.stride() << ")";
    EXPECT_EQ(0, std::memcmp(a.hist_r, b.hist_r, sizeof a.hist_r)) << what;
    EXPECT_EQ(0, std::memcmp(a.hist_g, b.hist_g, sizeof a.hist_g)) << what;
    EXPECT_EQ(0, std::memcmp(a.hist_b, b.hist_b, sizeof a.hist_b)) << what;
    EXPECT_EQ(0, std::memcmp(a.hist_luma, b.hist_luma, sizeof a.hist_luma)) << what;
    EXPECT_EQ(a.max_r, b.max_r) << what;
    EXPECT_EQ(a.max_g, b.max_g) << what;
    EXPECT_EQ(a.max_b, b.max_b) << what;
    EXPECT_EQ(a.max_luma, b.max_luma) << what;
    EXPECT_EQ(a.mean_r, b.mean_r) << what;
    EXPECT_EQ(a.mean_g, b.mean_g) << what;
    EXPECT_EQ(a.mean_b, b.mean_b) << what;
}

// A picture from a luma pattern: grey pixels, so each pixel's luma is its
// value (luma(v, v, v) == v for every byte).
ImageRecord grey(int w, int h, const std::function<int(int, int)>& value)
{
    return make_record(w, h, [&](int x, int y) {
        const auto v = static_cast<std::uint8_t>(value(x, y));
        return Bgr{v, v, v};
    });
}

// The grey value a filter wrote at (x, y); fails when the bytes differ.
int at(const ImageRecord& r, int x, int y)
{
    const std::uint8_t* p = r.pixels.get() + y * r.stride() + 3 * x;
    EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "pixel " << x << "," << y << " is not grey";
    return p[0];
}

// Random pictures of small contrast, so that responses stay below the clamp
// and luma differences are small and signed.
ImageRecord soft_record(int w, int h, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    const int base = static_cast<int>(rng() % 200) + 20;
    return make_record(w, h, [&](int, int) {
        auto v = [&] { return static_cast<std::uint8_t>(base + static_cast<int>(rng() % 31) - 15); };
        return Bgr{v(), v(), v()};
    });
}

ImageRecord run(bool (*filter)(const ImageRecord&, ImageRecord&), const ImageRecord& source)
{
    ImageRecord out;
    EXPECT_TRUE(filter(source, out));
    return out;
}

TEST(LumaGrey, GreyBytesAreTheirOwnLuma)
{
    for (int v = 0; v < 256; ++v) ASSERT_EQ(luma(v, v, v), v);
}

TEST(EdgeFilters, EqualTheReferenceOnRandomPictures)
{
    std::vector<std::pair<int, int>> sizes;
    for (int w = 0; w <= 9; ++w)
        for (int h : {0, 1, 2, 3, 4, 7}) sizes.emplace_back(w, h);
    // Long thin pictures, runs longer than one kernel run, and pictures big
    // enough to be split across threads.
    for (auto s : {std::pair{1, 40}, {40, 1}, {0, 17}, {17, 0}, {2, 33}, {33, 2}, {513, 3}, {1030, 5}, {300, 121},
                   {161, 257}})
        sizes.push_back(s);

    std::uint32_t seed = 1;
    for (const EdgeFilter& f : kFilters)
        for (auto [w, h] : sizes)
            for (bool soft : {false, true}) {
                const ImageRecord source = soft ? soft_record(w, h, seed++) : random_record(w, h, seed++);
                const std::string what = std::string(f.step) + (soft ? " soft " : " ") + std::to_string(w) + "x" +
                                         std::to_string(h);

                // A destination that holds an earlier picture keeps its bytes
                // wherever the filter does not write.
                const ImageRecord earlier = random_record(w, h, seed++);
                ImageRecord fast = clone(earlier), slow = clone(earlier);
                ASSERT_TRUE(f.fast(source, fast)) << what;
                f.slow(source, slow);
                expect_same_record(fast, slow, what + " over an earlier picture");

                ImageRecord fresh_fast, fresh_slow;
                ASSERT_TRUE(f.fast(source, fresh_fast)) << what;
                f.slow(source, fresh_slow);
                expect_same_record(fresh_fast, fresh_slow, what + " into a fresh block");
            }
}

TEST(EdgeFilters, SourceIsNeverChanged)
{
    const ImageRecord source = random_record(23, 11, 99);
    for (const EdgeFilter& f : kFilters) {
        const ImageRecord before = clone(source);
        run(f.fast, source);
        expect_same_record(source, before, f.step);
    }
}

TEST(EdgeFilters, FrameAndPaddingKeepTheDestinationBytes)
{
    const ImageRecord source = random_record(10, 6, 5);  // padding 2
    for (const EdgeFilter& f : kFilters) {
        const ImageRecord earlier = random_record(10, 6, 6);
        ImageRecord out = clone(earlier);
        ASSERT_TRUE(f.fast(source, out));
        const std::size_t stride = out.stride();
        const bool roberts = f.fast == roberts_filter;
        for (int y = 0; y < 6; ++y) {
            for (int p = 0; p < out.row_padding; ++p)
                EXPECT_EQ(out.pixels[y * stride + 30 + p], earlier.pixels[y * stride + 30 + p]) << f.step;
            for (int x = 0; x < 10; ++x) {
                const std::size_t i = y * stride + 3 * x;
                if (roberts) {
                    if (y < 5 && x < 9) continue;
                    // Left out by the cross: luma in blue, green and red as they were.
                    const std::uint8_t* s = source.pixels.get() + i;
                    EXPECT_EQ(out.pixels[i], luma(s[0], s[1], s[2])) << x << "," << y;
                    EXPECT_EQ(out.pixels[i + 1], earlier.pixels[i + 1]) << x << "," << y;
                    EXPECT_EQ(out.pixels[i + 2], earlier.pixels[i + 2]) << x << "," << y;
                } else if (y == 0 || y == 5 || x == 0 || x == 9) {
                    for (int c = 0; c < 3; ++c) EXPECT_EQ(out.pixels[i + c], earlier.pixels[i + c]) << f.step;
                }
            }
        }
    }
}

TEST(EdgeFilters, UniformPicture)
{
    const ImageRecord flat = grey(6, 5, [](int, int) { return 137; });
    for (const EdgeFilter& f : kFilters) {
        const ImageRecord out = run(f.fast, flat);
        const int expected = f.fast == wallis_filter ? 81 : 0;  // 200 ln 1.5 = 81.09
        const int first = f.fast == roberts_filter ? 0 : 1;  // the cross reaches up and right only
        for (int y = first; y < 4; ++y)
            for (int x = first; x < 5; ++x)
                EXPECT_EQ(at(out, x, y), expected) << f.step << " " << x << "," << y;
    }
}

TEST(EdgeFilters, VerticalStep)
{
    // Luma 0 in columns 0..3, `high` from column 4 on.
    auto step = [](int high) { return grey(8, 5, [high](int x, int) { return x < 4 ? 0 : high; }); };
    const ImageRecord sobel = run(sobel_filter, step(255));
    for (int y = 1; y < 4; ++y) {
        EXPECT_EQ(at(sobel, 2, y), 0);
        EXPECT_EQ(at(sobel, 3, y), 255);  // Gx = 1020
        EXPECT_EQ(at(sobel, 4, y), 255);
        EXPECT_EQ(at(sobel, 5, y), 0);
    }
    const ImageRecord roberts = run(roberts_filter, step(255));
    EXPECT_EQ(at(roberts, 3, 0), 255);  // sqrt(255^2 + 255^2) + 0.5 = 361.1
    EXPECT_EQ(at(roberts, 2, 0), 0);
    EXPECT_EQ(at(run(roberts_filter, step(100)), 3, 2), 141);  // 141.92

    const ImageRecord small = run(sobel_filter, step(30));
    EXPECT_EQ(at(small, 3, 2), 120);  // Gx = 4 * 30
}

TEST(EdgeFilters, KirschRing)
{
    const ImageRecord dot = grey(7, 7, [](int x, int y) { return x == 3 && y == 3 ? 255 : 0; });
    const ImageRecord out = run(kirsch_filter, dot);
    EXPECT_EQ(at(out, 3, 3), 0) << "the centre takes no part";
    EXPECT_EQ(at(out, 2, 3), 255) << "5 * 255";
    EXPECT_EQ(at(out, 4, 4), 255);
    EXPECT_EQ(at(out, 1, 1), 0);

    // A dim dot: 5 * 40 = 200 on the ring, unclamped.
    const ImageRecord dim = run(kirsch_filter, grey(5, 5, [](int x, int y) { return x == 2 && y == 2 ? 40 : 0; }));
    EXPECT_EQ(at(dim, 1, 2), 200);
    EXPECT_EQ(at(dim, 3, 1), 200);
    // Rows above at 10: the mask of the three pixels above wins with
    // |8 * 30 - 3 * 30| = 150 over |8 * 20 - 90| = 70 and the rest.
    const ImageRecord edge = run(kirsch_filter, grey(5, 5, [](int, int y) { return y >= 3 ? 10 : 0; }));
    EXPECT_EQ(at(edge, 2, 2), 150);
    EXPECT_EQ(at(edge, 2, 1), 0);
}

TEST(EdgeFilters, WallisRatios)
{
    auto centred = [](int centre, int around) {
        return grey(3, 3, [=](int x, int y) { return x == 1 && y == 1 ? centre : around; });
    };
    EXPECT_EQ(at(run(wallis_filter, centred(60, 50)), 1, 1), 189);   // ratio 2.0736
    EXPECT_EQ(at(run(wallis_filter, centred(40, 50)), 1, 1), 255);   // ratio 0.4096: W = -18.95
    EXPECT_EQ(at(run(wallis_filter, centred(100, 50)), 1, 1), 255);  // W = 560.67
    EXPECT_EQ(at(run(wallis_filter, centred(255, 254)), 1, 1), 83);  // ratio 1.01584
    EXPECT_EQ(at(run(wallis_filter, centred(0, 50)), 1, 1), 255);    // ln 0.5 < 0
    EXPECT_EQ(at(run(wallis_filter, centred(50, 0)), 1, 1), 255) << "a black neighbour: the ratio is undefined";
    // Only the four direct neighbours count: black corners change nothing.
    const ImageRecord corners = grey(3, 3, [](int x, int y) { return x != 1 && y != 1 ? 0 : 50; });
    EXPECT_EQ(at(run(wallis_filter, corners), 1, 1), 81);
}

TEST(EdgeFilters, SharpeningKernels)
{
    auto centred = [](int centre, int around) {
        return grey(3, 3, [=](int x, int y) { return x == 1 && y == 1 ? centre : around; });
    };
    EXPECT_EQ(at(run(linear_filter, centred(60, 50)), 1, 1), 80);
    EXPECT_EQ(at(run(laplace_filter, centred(60, 50)), 1, 1), 120);
    EXPECT_EQ(at(run(linear_filter, centred(40, 50)), 1, 1), 0);
    EXPECT_EQ(at(run(laplace_filter, centred(40, 50)), 1, 1), 0);

    const ImageRecord dot = grey(5, 5, [](int x, int y) { return x == 2 && y == 2 ? 255 : 0; });
    const ImageRecord lin = run(linear_filter, dot), lap = run(laplace_filter, dot);
    EXPECT_EQ(at(lin, 2, 2), 255);
    EXPECT_EQ(at(lap, 2, 2), 255);
    for (auto [x, y] : {std::pair{1, 1}, {2, 1}, {3, 3}, {1, 2}}) {
        EXPECT_EQ(at(lin, x, y), 0);
        EXPECT_EQ(at(lap, x, y), 0);
    }
    // The Laplace weights: a bright direct neighbour costs 2, a diagonal 1.
    const ImageRecord side = grey(3, 3, [](int x, int y) { return x == 0 && y == 1 ? 10 : x == 1 && y == 1 ? 5 : 0; });
    EXPECT_EQ(at(run(laplace_filter, side), 1, 1), 40);  // 60 - 20
    const ImageRecord corner = grey(3, 3, [](int x, int y) { return x == 0 && y == 0 ? 10 : x == 1 && y == 1 ? 5 : 0; });
    EXPECT_EQ(at(run(laplace_filter, corner), 1, 1), 50);  // 60 - 10
}

TEST(EdgeFilters, WindowRowsAreMemoryRows)
{
    // Brighter rows further up the picture (higher memory rows): Sobel's Gy
    // is below minus above, so only the magnitude shows; Roberts combines a
    // row with the one above it, leaving the top row out.
    const ImageRecord ramp = grey(4, 4, [](int, int y) { return 10 * y; });
    const ImageRecord roberts = run(roberts_filter, ramp);
    EXPECT_EQ(at(roberts, 0, 0), 14);  // sqrt(10^2 + 10^2) = 14.14
    EXPECT_EQ(at(run(sobel_filter, ramp), 1, 1), 80);  // Gy = -80
    // Two rows: Sobel and Kirsch write nothing, Roberts writes row 0 but for
    // its last column.
    const ImageRecord flat2 = grey(5, 2, [](int x, int) { return 40 * x; });
    ImageRecord out = clone(random_record(5, 2, 17));
    const ImageRecord before = clone(out);
    ASSERT_TRUE(sobel_filter(flat2, out));
    EXPECT_EQ(0, std::memcmp(out.pixels.get(), before.pixels.get(), out.pixels.size()));
    ASSERT_TRUE(roberts_filter(flat2, out));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(at(out, x, 0), 57);  // sqrt(40^2 + 40^2) = 56.57
}

TEST(EdgeFilters, RoundedRootMatchesTheDoubleExpressionEverywhere)
{
    const std::uint8_t* table = luma_filters::rounded_root_table();
    for (std::uint32_t n = 0; n <= 2 * 1020 * 1020; ++n) {
        const int expected = static_cast<int>(std::sqrt(static_cast<double>(n)) + 0.5);
        ASSERT_EQ(luma_filters::rounded_root(table, n), expected > 255 ? 255 : expected) << n;
    }
}

TEST(EdgeFilters, RefusalChangesNothing)
{
    const ImageRecord source = random_record(9, 7, 3);
    for (const EdgeFilter& f : kFilters) {
        // Fresh destination: every allocation the filter makes in turn fails.
        for (std::uint64_t n = 1;; ++n) {
            ImageRecord out;
            test_seam::heap_fail_at(n);
            const bool done = f.fast(source, out);
            const std::uint64_t calls = test_seam::heap_allocation_count();
            test_seam::heap_fail_at(0);
            if (done) {
                EXPECT_LT(calls, n) << f.step;
                break;
            }
            EXPECT_FALSE(out.pixels) << f.step << " allocation " << n;
            EXPECT_EQ(out.width, 0) << f.step;
            ASSERT_LT(n, 4u) << f.step;
        }
        // Reused destination: only the luma plane can fail.
        const ImageRecord earlier = random_record(9, 7, 4);
        ImageRecord out = clone(earlier);
        test_seam::heap_fail_at(1);
        const bool done = f.fast(source, out);
        test_seam::heap_fail_at(0);
        if (!done) expect_same_record(out, earlier, std::string(f.step) + " refused");
    }
}

}  // namespace
