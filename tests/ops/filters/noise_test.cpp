#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "image/heap.h"
#include "ops/operations.h"
#include "tests/reference/edge_filters.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

// A seed whose first draw is `draw`: the state after one step must carry
// the draw in bits 16..30, and the step is invertible (214013 is odd).
std::uint32_t seed_for_first_draw(int draw)
{
    std::uint32_t inverse = 214013u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    const std::uint32_t state = static_cast<std::uint32_t>(draw) << 16;
    const std::uint32_t seed = (state - 2531011u) * inverse;
    std::uint32_t check = seed;
    EXPECT_EQ(reference::noise_draw(check), draw);
    return seed;
}

ImageRecord white(int w, int h)
{
    return make_record(w, h, [](int, int) { return Bgr{255, 255, 255}; });
}

// Columns and rows of the pixels that differ from a white source.
std::vector<std::pair<int, int>> painted(const ImageRecord& out)
{
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const std::uint8_t* p = out.pixels.get() + y * out.stride() + 3 * x;
            if (p[0] != 255 || p[1] != 255 || p[2] != 255) points.emplace_back(x, y);
        }
    return points;
}

TEST(Noise, FirstDrawsFromSeedZero)
{
    std::uint32_t state = 0;
    for (int expected : {38, 7719, 21238, 2437, 8855}) EXPECT_EQ(reference::noise_draw(state), expected);

    // The same five draws make the first point: column trunc(38 k 639) = 0,
    // row trunc(7719 k 479) = 112, colour 165, 18, 68.
    const ImageRecord source = make_record(640, 480, [](int, int) { return Bgr{200, 200, 200}; });
    ImageRecord out;
    ASSERT_TRUE(add_noise(source, out, 1, 0));
    const std::uint8_t* p = out.pixels.get() + 112 * out.stride();
    EXPECT_EQ(p[0], 165);
    EXPECT_EQ(p[1], 18);
    EXPECT_EQ(p[2], 68);
    int changed = 0;
    for (std::int32_t i = 0; i < out.data_size; ++i) changed += out.pixels[i] != source.pixels[i];
    EXPECT_EQ(changed, 3);
}

TEST(Noise, ColumnLimit)
{
    const ImageRecord source = white(640, 3);
    ImageRecord out;
    ASSERT_TRUE(add_noise(source, out, 1, seed_for_first_draw(32767)));
    ASSERT_EQ(painted(out).size(), 1u);
    EXPECT_EQ(painted(out)[0].first, 638) << "a draw of 32767 never reaches the last column";

    ASSERT_TRUE(add_noise(source, out, 1, seed_for_first_draw(0)));
    ASSERT_EQ(painted(out).size(), 1u);
    EXPECT_EQ(painted(out)[0].first, 0);
}

TEST(Noise, NeverTheTopRowTheRightColumnOrFullChannels)
{
    const ImageRecord source = white(7, 5);
    ImageRecord out;
    ASSERT_TRUE(add_noise(source, out, 65534, 12345));
    const auto points = painted(out);
    EXPECT_EQ(points.size(), 6u * 4u) << "so many points reach every pixel they can";
    for (auto [x, y] : points) {
        EXPECT_LT(x, 6);
        EXPECT_LT(y, 4);
        const std::uint8_t* p = out.pixels.get() + y * out.stride() + 3 * x;
        EXPECT_TRUE(p[0] < 255 && p[1] < 255 && p[2] < 255);
    }
    for (int y = 0; y < 5; ++y)
        for (int p = 0; p < out.row_padding; ++p) EXPECT_EQ(out.pixels[y * out.stride() + 21 + p], 0xA5);
}

TEST(Noise, EqualsTheReference)
{
    std::vector<std::pair<int, int>> sizes;
    for (int w = 0; w <= 6; ++w)
        for (int h : {0, 1, 2, 5}) sizes.emplace_back(w, h);
    for (auto s : {std::pair{1, 300}, {300, 1}, {0, 9}, {9, 0}, {641, 37}}) sizes.push_back(s);
    std::uint32_t seed = 7;
    for (auto [w, h] : sizes)
        for (std::int32_t points : {2, 1000, 65534}) {
            const ImageRecord source = random_record(w, h, seed++);
            const ImageRecord earlier = random_record(w, h, seed++);
            ImageRecord fast = clone(earlier), slow = clone(earlier);
            ASSERT_TRUE(add_noise(source, fast, points, seed * 2654435761u));
            reference::noise(source, slow, points, seed * 2654435761u);
            const std::string what = std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(points);
            ASSERT_EQ(fast.width, slow.width) << what;
            ASSERT_EQ(fast.data_size, slow.data_size) << what;
            for (std::int32_t i = 0; i < fast.data_size; ++i) ASSERT_EQ(fast.pixels[i], slow.pixels[i]) << what;
            EXPECT_EQ(fast.mean_g, slow.mean_g) << what;
            EXPECT_EQ(fast.max_luma, slow.max_luma) << what;
        }
}

TEST(Noise, RefusalAndEmptyPictures)
{
    const ImageRecord source = random_record(5, 4, 1);
    ImageRecord out;
    test_seam::heap_fail_at(1);
    EXPECT_FALSE(add_noise(source, out, 100, 1));
    test_seam::heap_fail_at(0);
    EXPECT_FALSE(out.pixels);
    EXPECT_EQ(out.width, 0);

    for (auto [w, h] : {std::pair{0, 6}, {6, 0}}) {
        ImageRecord empty_out;
        ASSERT_TRUE(add_noise(random_record(w, h, 2), empty_out, 1000, 1));
        EXPECT_EQ(empty_out.width, w);
        EXPECT_EQ(empty_out.height, h);
        EXPECT_EQ(empty_out.data_size, 0);
        EXPECT_TRUE(empty_out.pixels);
    }
}

}  // namespace
