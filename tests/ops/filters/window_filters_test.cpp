// The windowed filters (statistical, smoothing, median) against their literal
// references on random pictures, their defining examples, and what they
// must leave alone.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/heap.h"
#include "ops/operations.h"
#include "ops/filters/statistical_kernel.h"
#include "tests/reference/window_filters.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

using Filter = bool (*)(const ImageRecord&, ImageRecord&, std::uint8_t);
using Reference = void (*)(const ImageRecord&, ImageRecord&, std::uint8_t);

struct WindowFilter {
    const char* name;
    Filter fast;
    Reference reference;
};

const WindowFilter kFilters[] = {
    {"statistical", statistical_filter, reference_statistical_filter},
    {"smooth_2d", smooth_2d, reference_smooth_2d},
    {"smooth_linear", smooth_linear, reference_smooth_linear},
    {"median_linear", median_linear, reference_median_linear},
    {"median_2d", median_2d, reference_median_2d},
};

// A destination holding an earlier picture of the same size, so that bytes a
// filter must not write are recognisable.
ImageRecord earlier_picture(const ImageRecord& source, std::uint32_t seed)
{
    return random_record(source.width, source.height, seed);
}

void expect_same_record(const ImageRecord& a, const ImageRecord& b, const std::string& what)
{
    ASSERT_EQ(a.width, b.width) << what;
    ASSERT_EQ(a.height, b.height) << what;
    ASSERT_EQ(a.row_padding, b.row_padding) << what;
    ASSERT_EQ(a.data_size, b.data_size) << what;
    ASSERT_EQ(a.pixels.size(), b.pixels.size()) << what;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        if (a.pixels[i] != b.pixels[i]) {
            const std::size_t stride = a.stride();
            FAIL() << what << ": byte " << i << " (row " << i / stride << ", byte " << i % stride << ") is "
                   << int{a.pixels[i]} << ", expected " << int{b.pixels[i]};
        }
    EXPECT_EQ(0, std::memcmp(a.hist_luma, b.hist_luma, sizeof a.hist_luma)) << what;
    EXPECT_EQ(0, std::memcmp(a.hist_r, b.hist_r, sizeof a.hist_r)) << what;
    EXPECT_EQ(a.mean_g, b.mean_g) << what;
}

void compare_with_reference(const WindowFilter& f, const ImageRecord& source, unsigned aperture, std::uint32_t seed)
{
    const std::string what = std::string(f.name) + " " + std::to_string(source.width) + "x" +
                             std::to_string(source.height) + " aperture " + std::to_string(aperture);
    ImageRecord fast = earlier_picture(source, seed + 1), expected = clone(fast);
    ASSERT_TRUE(f.fast(source, fast, static_cast<std::uint8_t>(aperture))) << what;
    f.reference(source, expected, static_cast<std::uint8_t>(aperture));
    expect_same_record(fast, expected, what);
}

// A picture with long flat runs, steps and a few outliers: medians then sit
// on ties and deep in histograms, not only on random bytes.
ImageRecord patchy_record(int w, int h, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> levels(16);
    for (auto& v : levels) v = static_cast<std::uint8_t>(rng());
    ImageRecord r = random_record(w, h, seed);
    for (std::int32_t i = 0; i < r.data_size; ++i)
        if (rng() % 8 != 0) r.pixels[i] = levels[(i / 7 + i / 301) % 16];
    compute_statistics(r);
    return r;
}

TEST(WindowFilters, EqualReferenceOnRandomPicturesOfManySizes)
{
    std::mt19937 rng(20240601);
    for (const WindowFilter& f : kFilters)
        for (unsigned n = 1; n <= 21; n += 2)
            for (int trial = 0; trial < 10; ++trial) {
                // Sizes from empty to a few apertures, around the aperture
                // itself, and every padding case.
                int w, h;
                switch (trial) {
                case 0: w = static_cast<int>(n) - 1; h = static_cast<int>(n) + 3; break;
                case 1: w = static_cast<int>(n); h = static_cast<int>(n); break;
                case 2: w = 1; h = static_cast<int>(n) + 5; break;
                case 3: w = static_cast<int>(n) + 6; h = 1; break;
                case 4: w = 0; h = static_cast<int>(n) + 2; break;
                case 5: w = static_cast<int>(n) + 3; h = 0; break;
                default:
                    w = static_cast<int>(rng() % (n + 40)) + 1;
                    h = static_cast<int>(rng() % (n + 12)) + 1;
                }
                const std::uint32_t seed = static_cast<std::uint32_t>(rng());
                const ImageRecord source = trial % 2 ? patchy_record(w, h, seed) : random_record(w, h, seed);
                compare_with_reference(f, source, n, seed);
            }
}

TEST(WindowFilters, EqualReferenceOnPicturesLargeEnoughForStripesAndVectors)
{
    // Wide enough rows for whole vector groups with a ragged end, tall enough
    // for several stripes; every padding case across the four widths.
    const int widths[] = {72, 85, 98, 111};
    std::uint32_t seed = 7;
    for (const WindowFilter& f : kFilters)
        for (unsigned n : {3u, 5u, 7u, 9u, 15u}) {
            const int w = widths[n % 4], h = 40 + static_cast<int>(n);
            seed += 2;
            compare_with_reference(f, patchy_record(w, h, seed), n, seed);
            compare_with_reference(f, random_record(w, h, seed + 1), n, seed + 1);
        }
    for (const WindowFilter& f : kFilters) compare_with_reference(f, random_record(66, 44, seed), 21, seed);
}

TEST(WindowFilters, MediansOfTallPicturesAndUncommonApertures)
{
    // Several chunks of rows per stripe; apertures beyond the usual range
    // take the general sliding code.
    for (unsigned n : {9u, 21u}) {
        compare_with_reference(kFilters[4], patchy_record(45, 170, n), n, n);
        compare_with_reference(kFilters[3], patchy_record(45, 170, n + 1), n, n + 1);
    }
    for (unsigned n : {1u, 23u, 25u}) {
        compare_with_reference(kFilters[4], random_record(60, 50, n), n, n);
        compare_with_reference(kFilters[3], random_record(60, 50, n), n, n);
    }
}

TEST(WindowFilters, FrameAndPaddingKeepTheEarlierBytes)
{
    const ImageRecord source = random_record(13, 11, 3);  // padding 1 byte per row
    for (const WindowFilter& f : kFilters)
        for (unsigned n : {3u, 5u, 21u}) {
            ImageRecord destination = earlier_picture(source, 99);
            const ImageRecord before = clone(destination);
            ASSERT_TRUE(f.fast(source, destination, static_cast<std::uint8_t>(n)));
            const bool along_row = f.fast == smooth_linear || f.fast == median_linear;
            const int half = static_cast<int>(n / 2), margin_y = along_row ? 0 : half;
            for (int y = 0; y < source.height; ++y)
                for (std::size_t b = 0; b < source.stride(); ++b) {
                    const int x = static_cast<int>(b / 3);
                    const bool inside = b < 3u * source.width && x >= half && x < source.width - half &&
                                        y >= margin_y && y < source.height - margin_y;
                    if (inside) continue;
                    const std::size_t i = y * source.stride() + b;
                    ASSERT_EQ(destination.pixels[i], before.pixels[i])
                        << f.name << " aperture " << n << " wrote row " << y << " byte " << b;
                }
        }
}

TEST(WindowFilters, FreshDestinationTakesTheSourceSizeAndStatistics)
{
    const ImageRecord source = random_record(9, 7, 5);
    for (const WindowFilter& f : kFilters) {
        ImageRecord destination;
        ASSERT_TRUE(f.fast(source, destination, 3));
        ASSERT_TRUE(destination.pixels);
        EXPECT_EQ(destination.pixels.size(), static_cast<std::size_t>(source.data_size));
        EXPECT_EQ(destination.width, 9);
        EXPECT_EQ(destination.height, 7);
        EXPECT_EQ(destination.row_padding, source.row_padding);
        ImageRecord recomputed = clone(destination);
        compute_statistics(recomputed);
        expect_same_record(destination, recomputed, f.name);
        EXPECT_EQ(destination.max_luma, recomputed.max_luma);
    }
}

TEST(WindowFilters, HeapRefusalChangesNothing)
{
    const ImageRecord source = random_record(40, 30, 11);
    for (const WindowFilter& f : kFilters)
        for (unsigned n : {3u, 9u}) {
            for (bool fresh : {true, false}) {
                ImageRecord probe = fresh ? ImageRecord{} : earlier_picture(source, 1);
                test_seam::heap_fail_at(0);
                ASSERT_TRUE(f.fast(source, probe, static_cast<std::uint8_t>(n)));
                const std::uint64_t allocations = test_seam::heap_allocation_count();
                for (std::uint64_t k = 1; k <= allocations; ++k) {
                    ImageRecord destination = fresh ? ImageRecord{} : earlier_picture(source, 1);
                    const ImageRecord before = clone(destination);
                    test_seam::heap_fail_at(k);
                    const bool done = f.fast(source, destination, static_cast<std::uint8_t>(n));
                    test_seam::heap_fail_at(0);
                    EXPECT_FALSE(done) << f.name << " allocation " << k;
                    EXPECT_EQ(static_cast<bool>(destination.pixels), !fresh) << f.name;
                    if (!fresh) expect_same_record(destination, before, f.name);
                    EXPECT_EQ(destination.width, before.width) << f.name;
                }
            }
        }
}

// Grey pictures: the luma of (v, v, v) is v.
ImageRecord grey(int w, int h, const std::function<int(int, int)>& value)
{
    return make_record(w, h, [&](int x, int y) {
        const auto v = static_cast<std::uint8_t>(value(x, y));
        return Bgr{v, v, v};
    });
}

std::uint8_t byte_at(const ImageRecord& r, int x, int y, int channel = 0)
{
    return r.pixels[y * r.stride() + 3 * x + channel];
}

TEST(StatisticalFilter, WindowExamples)
{
    struct Case {
        int around, centre, corner, expected;
    };
    // The 20s around 21 give sigma 0.31427 and trunc(6.6 + 0.5) = 7.
    for (const Case& c : {Case{10, 11, 10, 3}, Case{20, 21, 20, 7}, Case{100, 100, 101, 31}}) {
        const ImageRecord source = grey(3, 3, [&](int x, int y) {
            if (x == 1 && y == 1) return c.centre;
            if (x == 0 && y == 0) return c.corner;
            return c.around;
        });
        ImageRecord out;
        ASSERT_TRUE(statistical_filter(source, out, 3));
        EXPECT_EQ(byte_at(out, 1, 1), c.expected) << c.around << "/" << c.centre;
        EXPECT_EQ(byte_at(out, 1, 1, 2), c.expected);
    }

    const ImageRecord lone = grey(5, 5, [](int x, int y) { return x == 2 && y == 2 ? 9 : 0; });
    ImageRecord out;
    ASSERT_TRUE(statistical_filter(lone, out, 3));
    EXPECT_EQ(byte_at(out, 2, 2), 25);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            if (x != 2 || y != 2) {
                EXPECT_EQ(byte_at(out, x, y), 0);
            }

    const ImageRecord flat = grey(25, 24, [](int, int) { return 77; });
    ImageRecord flat_out;
    ASSERT_TRUE(statistical_filter(flat, flat_out, 21));
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 15; ++x) EXPECT_EQ(byte_at(flat_out, x, y), 0);
}

TEST(Smoothing, SingleWhitePixelSpreadsItsMean)
{
    const ImageRecord dot = make_record(9, 9, [](int x, int y) {
        return x == 4 && y == 4 ? Bgr{255, 255, 255} : Bgr{0, 0, 0};
    });
    struct Case {
        unsigned n;
        int square, row;
    };
    for (const Case& c : {Case{3, 28, 85}, Case{5, 10, 51}}) {
        const int half = static_cast<int>(c.n / 2);
        ImageRecord two_d, linear;
        ASSERT_TRUE(smooth_2d(dot, two_d, static_cast<std::uint8_t>(c.n)));
        ASSERT_TRUE(smooth_linear(dot, linear, static_cast<std::uint8_t>(c.n)));
        for (int y = half; y < 9 - half; ++y)
            for (int x = half; x < 9 - half; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const bool near = std::abs(x - 4) <= half && std::abs(y - 4) <= half;
                    EXPECT_EQ(byte_at(two_d, x, y, ch), near ? c.square : 0) << x << "," << y;
                }
        for (int y = 0; y < 9; ++y)
            for (int x = half; x < 9 - half; ++x)
                EXPECT_EQ(byte_at(linear, x, y), y == 4 && std::abs(x - 4) <= half ? c.row : 0) << x << "," << y;
    }
}

TEST(Smoothing, ChannelsStayApart)
{
    const ImageRecord red_dot = make_record(7, 7, [](int x, int y) {
        return x == 3 && y == 3 ? Bgr{0, 0, 255} : Bgr{0, 0, 0};
    });
    const ImageRecord blue_floor = random_record(23, 17, 4);
    ImageRecord out;
    ASSERT_TRUE(smooth_2d(red_dot, out, 3));
    EXPECT_EQ(byte_at(out, 3, 3, 2), 28);
    EXPECT_EQ(byte_at(out, 3, 3, 0), 0);
    EXPECT_EQ(byte_at(out, 3, 3, 1), 0);

    ImageRecord uniform_blue = clone(blue_floor);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) uniform_blue.pixels[y * uniform_blue.stride() + 3 * x] = 140;
    for (Filter f : {smooth_2d, smooth_linear, median_2d, median_linear}) {
        ImageRecord result;
        ASSERT_TRUE(f(uniform_blue, result, 5));
        for (int y = 2; y < 15; ++y)
            for (int x = 2; x < 21; ++x) ASSERT_EQ(byte_at(result, x, y, 0), 140);
    }
}

TEST(Smoothing, LinearFilterWorksOnEveryRowOfAShortPicture)
{
    const ImageRecord source = make_record(30, 20, [](int x, int) {
        const auto v = static_cast<std::uint8_t>(x * 8);
        return Bgr{v, v, v};
    });
    ImageRecord out = earlier_picture(source, 8);
    ImageRecord untouched = clone(out);
    ASSERT_TRUE(smooth_linear(source, out, 21));
    for (int y = 0; y < 20; ++y) EXPECT_EQ(byte_at(out, 10, y), 80) << y;  // mean of 0, 8, ... 160
    ASSERT_TRUE(smooth_2d(source, untouched, 21));
    ImageRecord before = earlier_picture(source, 8);
    EXPECT_EQ(0, std::memcmp(untouched.pixels.get(), before.pixels.get(), before.pixels.size()));
}

TEST(Median, TwoDimensionalTakesTheMedianOfRowMedians)
{
    const int rows[3][3] = {{5, 6, 9}, {3, 4, 9}, {1, 2, 9}};  // displayed top to bottom
    const ImageRecord source = grey(3, 3, [&](int x, int y) { return rows[2 - y][x]; });
    ImageRecord out;
    ASSERT_TRUE(median_2d(source, out, 3));
    EXPECT_EQ(byte_at(out, 1, 1), 4);  // the median of all nine is 5
}

TEST(Median, LinesAndDots)
{
    const ImageRecord dot = grey(7, 7, [](int x, int y) { return x == 3 && y == 3 ? 255 : 0; });
    const ImageRecord across = grey(7, 7, [](int, int y) { return y == 3 ? 255 : 0; });
    const ImageRecord upright = grey(7, 7, [](int x, int) { return x == 3 ? 255 : 0; });
    ImageRecord out;
    for (Filter f : {median_2d, median_linear}) {
        ASSERT_TRUE(f(dot, out, 3));
        EXPECT_EQ(byte_at(out, 3, 3), 0);
        ASSERT_TRUE(f(upright, out, 3));
        EXPECT_EQ(byte_at(out, 3, 3), 0);
        EXPECT_EQ(byte_at(out, 3, 2), 0);
    }
    ASSERT_TRUE(median_2d(across, out, 3));
    EXPECT_EQ(byte_at(out, 3, 3), 0);
    ASSERT_TRUE(median_linear(across, out, 3));
    EXPECT_EQ(byte_at(out, 3, 3), 255);
}

TEST(Median, ChannelsAreIndependent)
{
    const Bgr colours[3] = {{10, 20, 30}, {30, 10, 20}, {20, 30, 10}};
    const ImageRecord source = make_record(3, 1, [&](int x, int) { return colours[x]; });
    ImageRecord out;
    ASSERT_TRUE(median_linear(source, out, 3));
    EXPECT_EQ(byte_at(out, 1, 0, 0), 20);
    EXPECT_EQ(byte_at(out, 1, 0, 1), 20);
    EXPECT_EQ(byte_at(out, 1, 0, 2), 20);
}

TEST(Median, PartialBubbleSortLeavesTheMedianInTheMiddle)
{
    std::mt19937 rng(5);
    for (int n = 1; n <= 21; n += 2) {
        std::vector<std::uint8_t> a(n);
        for (auto& v : a) v = static_cast<std::uint8_t>(rng() % 6);
        std::vector<std::uint8_t> sorted = a;
        std::sort(sorted.begin(), sorted.end());
        reference_partial_bubble_sort(a.data(), n);
        EXPECT_EQ(a[n / 2], sorted[n / 2]);
    }
}

}  // namespace

namespace {

// The squared deviations of each pixel are added window row by window row,
// each left to right; any other order changes the last bits of the sum.
TEST(StatisticalFilter, SquaredDeviationsAddInTheDefinedOrder)
{
    std::mt19937 rng(17);
    int order_mattered = 0;
    for (unsigned n : {3u, 5u, 21u}) {
        const std::size_t count = 45, row_length = count + n - 1;  // a group of 32 and a ragged rest
        std::vector<double> rows(n * row_length), mean(count), acc(count);
        for (double& v : rows) v = static_cast<double>(rng() % 256);
        for (double& m : mean) m = static_cast<double>(rng() % 25600) / 100.7;
        window_filters::add_squared_deviations(rows.data(), row_length, n, mean.data(), count, acc.data());
        for (std::size_t j = 0; j < count; ++j) {
            double defined = 0.0, reversed = 0.0;
            for (unsigned k = 0; k < n; ++k)
                for (unsigned i = 0; i < n; ++i) {
                    const double d = rows[k * row_length + i + j] - mean[j];
                    defined += d * d;
                    const double e = rows[(n - 1 - k) * row_length + (n - 1 - i) + j] - mean[j];
                    reversed += e * e;
                }
            ASSERT_EQ(acc[j], defined) << "n " << n << " pixel " << j;
            if (reversed != defined) ++order_mattered;
        }
    }
    EXPECT_GT(order_mattered, 0) << "the data must be able to tell the orders apart";
}

}  // namespace
