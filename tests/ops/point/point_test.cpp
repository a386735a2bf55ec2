#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "image/statistics.h"
#include "ops/operations.h"
#include "tests/reference/point_reference.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

std::vector<std::uint8_t> block_of(const ImageRecord& r)
{
    return std::vector<std::uint8_t>(r.pixels.get(), r.pixels.get() + r.data_size);
}

Bgr pixel_at(const ImageRecord& r, int x, int y)
{
    const std::uint8_t* p = r.pixels.get() + y * r.stride() + 3 * x;
    return {p[0], p[1], p[2]};
}

using Fast = std::function<bool(const ImageRecord&, ImageRecord&)>;
using Reference = std::function<void(const ImageRecord&, std::vector<std::uint8_t>&)>;

// Runs the fast operation into a destination whose block already holds
// other bytes and compares every byte, padding included, with the reference.
void expect_matches_reference(const Fast& fast, const Reference& reference)
{
    for (int w : {0, 1, 2, 3, 4, 5, 7, 64, 301})
        for (int h : {0, 1, 3, 40}) {
            const ImageRecord src = random_record(w, h, static_cast<std::uint32_t>(w * 1000 + h));
            ImageRecord dst = random_record(w, h, 99);
            std::vector<std::uint8_t> expected = block_of(dst);
            reference(src, expected);
            ASSERT_TRUE(fast(src, dst));
            ASSERT_EQ(block_of(dst), expected) << w << "x" << h;
            ImageRecord recounted = clone(dst);
            compute_statistics(recounted);
            // Statistics taken while writing must equal a fresh count.
            EXPECT_EQ(0, std::memcmp(dst.hist_r, recounted.hist_r, sizeof dst.hist_r));
            EXPECT_EQ(0, std::memcmp(dst.hist_g, recounted.hist_g, sizeof dst.hist_g));
            EXPECT_EQ(0, std::memcmp(dst.hist_b, recounted.hist_b, sizeof dst.hist_b));
            EXPECT_EQ(0, std::memcmp(dst.hist_luma, recounted.hist_luma, sizeof dst.hist_luma));
            EXPECT_EQ(dst.max_r + dst.max_g + dst.max_b, recounted.max_r + recounted.max_g + recounted.max_b);
            EXPECT_EQ(dst.max_luma, recounted.max_luma);
            EXPECT_EQ(dst.mean_r, recounted.mean_r);
            EXPECT_EQ(dst.mean_g, recounted.mean_g);
            EXPECT_EQ(dst.mean_b, recounted.mean_b);
            EXPECT_EQ(dst.width, src.width);
            EXPECT_EQ(dst.row_padding, src.row_padding);
        }
}

TEST(PointOperations, EqualTheLiteralArithmeticOnEveryPaddingCase)
{
    expect_matches_reference(to_grayscale, reference_grayscale);
    expect_matches_reference(make_negative, reference_negative);
    for (int t : {0, 1, 127, 128, 254, 255})
        expect_matches_reference(
            [t](const ImageRecord& s, ImageRecord& d) { return binarize(s, d, static_cast<std::uint8_t>(t)); },
            [t](const ImageRecord& s, std::vector<std::uint8_t>& o) { reference_binarize(s, o, static_cast<std::uint8_t>(t)); });
    for (int offset : {-254, -24, -2, 3, 25, 255})
        expect_matches_reference(
            [offset](const ImageRecord& s, ImageRecord& d) { return adjust_brightness(s, d, static_cast<std::int16_t>(offset)); },
            [offset](const ImageRecord& s, std::vector<std::uint8_t>& o) {
                reference_brightness(s, o, static_cast<std::int16_t>(offset));
            });
    for (float k : {0.1f, 0.5f, 1.0f, 1.3f, 10.0f})
        expect_matches_reference([k](const ImageRecord& s, ImageRecord& d) { return adjust_contrast(s, d, k); },
                                 [k](const ImageRecord& s, std::vector<std::uint8_t>& o) { reference_contrast(s, o, k); });
}

TEST(PointOperations, GreysOfThePrimariesAndFixedPoints)
{
    const Bgr colours[] = {{255, 255, 255}, {0, 0, 0}, {100, 100, 100}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    const int greys[] = {255, 0, 100, 77, 150, 28};
    const ImageRecord src = make_record(6, 1, [&](int x, int) { return colours[x]; });
    ImageRecord dst;
    ASSERT_TRUE(to_grayscale(src, dst));
    for (int x = 0; x < 6; ++x) {
        const Bgr p = pixel_at(dst, x, 0);
        EXPECT_EQ(p.b, greys[x]);
        EXPECT_EQ(p.g, greys[x]);
        EXPECT_EQ(p.r, greys[x]);
    }
    EXPECT_EQ(0, std::memcmp(dst.hist_r, dst.hist_luma, sizeof dst.hist_r));
    EXPECT_EQ(0, std::memcmp(dst.hist_b, dst.hist_g, sizeof dst.hist_r));
}

TEST(PointOperations, BinarizationPutsTheThresholdItselfOnBlack)
{
    // luma 128 exactly: grey 128.
    const ImageRecord src = make_record(1, 1, [](int, int) { return Bgr{128, 128, 128}; });
    ImageRecord dst;
    ASSERT_TRUE(binarize(src, dst, 128));
    EXPECT_EQ(pixel_at(dst, 0, 0).g, 0);
    ASSERT_TRUE(binarize(src, dst, 127));
    EXPECT_EQ(pixel_at(dst, 0, 0).g, 255);
    const ImageRecord white = make_record(3, 2, [](int, int) { return Bgr{255, 255, 255}; });
    ImageRecord all_black;
    ASSERT_TRUE(binarize(white, all_black, 255));
    EXPECT_EQ(all_black.hist_luma[0], 6);
}

TEST(PointOperations, PaddingIsWrittenOnlyByNegativeAndBrightness)
{
    const ImageRecord src = make_record(5, 2, [](int x, int) { return Bgr{std::uint8_t(x), 9, 200}; }, 0x10);
    const auto padding_of = [](const ImageRecord& r) { return r.pixels[15]; };  // first padding byte
    ImageRecord dst;
    ASSERT_TRUE(make_negative(src, dst));
    EXPECT_EQ(padding_of(dst), 255 - 0x10);
    ImageRecord twice;
    ASSERT_TRUE(make_negative(dst, twice));
    EXPECT_EQ(block_of(twice), block_of(src));

    ASSERT_TRUE(adjust_brightness(src, dst, 255));
    for (auto b : block_of(dst)) EXPECT_EQ(b, 255);
    ASSERT_TRUE(adjust_brightness(src, dst, -254));
    EXPECT_EQ(dst.pixels[0], 0);

    ImageRecord fresh;
    ASSERT_TRUE(to_grayscale(src, fresh));
    EXPECT_EQ(padding_of(fresh), 0) << "a fresh block is zero-filled and grayscale leaves padding";
    ASSERT_TRUE(adjust_contrast(src, fresh, 10.0f));
    EXPECT_EQ(padding_of(fresh), 0);
}

TEST(PointOperations, ContrastAboutTheChannelMean)
{
    // Red values whose mean is 100: 0, 99, 101, 150, 255 and filler.
    const int reds[] = {0, 99, 101, 150, 255, 50};
    ImageRecord src = make_record(6, 1, [&](int x, int) { return Bgr{0, 0, std::uint8_t(reds[x])}; });
    src.mean_r = 100;  // fix the mean the examples assume
    ImageRecord dst;
    ASSERT_TRUE(adjust_contrast(src, dst, 0.1f));
    const int low[] = {90, 100, 100, 105, 116};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel_at(dst, x, 0).r, low[x]) << reds[x];
    ASSERT_TRUE(adjust_contrast(src, dst, 10.0f));
    EXPECT_EQ(pixel_at(dst, 1, 0).r, 90);
    EXPECT_EQ(pixel_at(dst, 2, 0).r, 110);
    EXPECT_EQ(pixel_at(dst, 3, 0).r, 255);
    EXPECT_EQ(pixel_at(dst, 5, 0).r, 0);

    const ImageRecord flat = make_record(4, 3, [](int, int) { return Bgr{12, 200, 99}; });
    for (float k : {0.1f, 3.0f, 10.0f}) {
        ImageRecord out;
        ASSERT_TRUE(adjust_contrast(flat, out, k));
        EXPECT_EQ(block_of(out)[0], 12);
        EXPECT_EQ(pixel_at(out, 3, 2).g, 200);
    }
}

TEST(PointOperations, RefuseWithoutTouchingWhenTheHeapIsEmpty)
{
    const ImageRecord src = random_record(9, 4, 3);
    ImageRecord dst;
    test_seam::heap_fail_at(1);
    EXPECT_FALSE(to_grayscale(src, dst));
    test_seam::heap_fail_at(0);
    EXPECT_FALSE(dst.pixels);
    EXPECT_EQ(dst.width, 0);
}

}  // namespace
