#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "image/image_record.h"
#include "image/statistics.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

TEST(Luma, WeightsOrderAndDoubleRounding)
{
    EXPECT_EQ(luma(255, 255, 255), 255);
    EXPECT_EQ(luma(0, 0, 255), 77);   // pure red
    EXPECT_EQ(luma(0, 255, 0), 150);  // pure green
    EXPECT_EQ(luma(255, 0, 0), 28);   // pure blue
    EXPECT_EQ(luma(10, 20, 30), 22);

    // Against long double over every byte triple where the exact weighted sum
    // is close to a whole number: the evaluation order must be the stated one.
    int borderline = 0;
    for (int b = 0; b < 256; b += 3)
        for (int g = 0; g < 256; ++g)
            for (int r = 0; r < 256; ++r) {
                const double stated = ((0.11 * b + 0.5) + 0.59 * g) + 0.3 * r;
                ASSERT_EQ(luma_in_double(b, g, r), static_cast<int>(stated));
                const double other_order = 0.3 * r + 0.59 * g + 0.11 * b + 0.5;
                if (static_cast<int>(other_order) != static_cast<int>(stated)) ++borderline;
            }
    EXPECT_GT(borderline, 0) << "some triples depend on the order of the sum";
}

TEST(Luma, IntegerPathEqualsTheDoubleExpressionEverywhere)
{
    for (int b = 0; b < 256; ++b)
        for (int g = 0; g < 256; ++g)
            for (int r = 0; r < 256; ++r)
                ASSERT_EQ(luma(b, g, r), luma_in_double(b, g, r)) << b << "," << g << "," << r;
}

TEST(Statistics, SmallExamples)
{
    ImageRecord one = make_record(1, 1, [](int, int) { return Bgr{10, 20, 30}; });
    EXPECT_EQ(one.hist_b[10], 1);
    EXPECT_EQ(one.hist_g[20], 1);
    EXPECT_EQ(one.hist_r[30], 1);
    EXPECT_EQ(one.hist_luma[22], 1);
    EXPECT_EQ(one.max_r, 1);
    EXPECT_EQ(one.max_luma, 1);
    EXPECT_EQ(one.mean_r, 30);
    EXPECT_EQ(one.mean_g, 20);
    EXPECT_EQ(one.mean_b, 10);

    ImageRecord halves = make_record(2, 1, [](int x, int) { return Bgr{0, 0, static_cast<std::uint8_t>(x)}; });
    EXPECT_EQ(halves.mean_r, 1) << "halves round up";
    ImageRecord thirds = make_record(3, 1, [](int x, int) { return Bgr{static_cast<std::uint8_t>(x == 2), 0, 0}; });
    EXPECT_EQ(thirds.mean_b, 0);

    ImageRecord white = make_record(7, 3, [](int, int) { return Bgr{255, 255, 255}; });
    EXPECT_EQ(white.hist_luma[255], 21);
    EXPECT_EQ(white.max_luma, 21);
    EXPECT_EQ(white.mean_r, 255);
    EXPECT_EQ(white.mean_b, 255);
}

TEST(Statistics, PaddingNeverCountsAndMatchesAPlainCount)
{
    for (int w = 1; w <= 9; ++w) {
        ImageRecord a = make_record(w, 4, [](int x, int y) { return Bgr{std::uint8_t(x * 7), std::uint8_t(y), 9}; }, 0x00);
        ImageRecord b = make_record(w, 4, [](int x, int y) { return Bgr{std::uint8_t(x * 7), std::uint8_t(y), 9}; }, 0xFF);
        EXPECT_EQ(0, std::memcmp(a.hist_b, b.hist_b, sizeof a.hist_b));
        EXPECT_EQ(0, std::memcmp(a.hist_luma, b.hist_luma, sizeof a.hist_luma));
    }
    ImageRecord r = random_record(13, 11, 4);
    std::int64_t count[256] = {}, sum = 0;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) {
            const std::uint8_t g = r.pixels[y * r.stride() + 3 * x + 1];
            ++count[g];
            sum += g;
        }
    for (int v = 0; v < 256; ++v) ASSERT_EQ(r.hist_g[v], count[v]);
    EXPECT_EQ(r.mean_g, static_cast<int>(sum * (1.0 / (13 * 11)) + 0.5));
}

TEST(Statistics, MeansOfHugeBrightPicturesDoNotWrap)
{
    // 16,843,010 white pixels push a 32-bit channel sum past 2^32.
    ImageRecord r;
    r.width = 4106;
    r.height = 4102;
    r.row_padding = row_padding_for(r.width);
    r.data_size = static_cast<std::int32_t>(r.stride() * r.height);
    r.pixels = HeapArray<std::uint8_t>::allocate(r.data_size);
    std::memset(r.pixels.get(), 255, r.data_size);
    compute_statistics(r);
    EXPECT_EQ(r.mean_r, 255);
    EXPECT_EQ(r.mean_g, 255);
}

TEST(LumaPlane, RowsInBlockOrderWithoutPadding)
{
    ImageRecord r = random_record(5, 2, 8);
    HeapArray<std::uint8_t> plane;
    ASSERT_TRUE(make_luma_plane(r, plane));
    ASSERT_EQ(plane.size(), 10u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::uint8_t* p = r.pixels.get() + y * r.stride() + 3 * x;
            EXPECT_EQ(plane[y * 5 + x], luma(p[0], p[1], p[2]));
        }
    ImageRecord empty = make_record(0, 3, [](int, int) { return Bgr{}; });
    ASSERT_TRUE(make_luma_plane(empty, plane));
    EXPECT_EQ(plane.size(), 0u);
}

}  // namespace
