// Every processor-specific copy against the literal references: each test
// runs once per level, the kernels capped to it (levels this processor lacks
// are skipped), so the baseline copies and each vector copy are held to the
// same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/cpu_features.h"
#include "image/statistics.h"
#include "ops/operations.h"
#include "tests/reference/transforms_reference.h"
#include "tests/reference/window_filters.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

// Test names and failures show the level by name.
void PrintTo(CpuLevel level, std::ostream* out) { *out << cpu_level_name(level); }

namespace {

class CpuCopies : public ::testing::TestWithParam<CpuLevel> {
protected:
    void SetUp() override
    {
        if (GetParam() > detected_cpu_level()) GTEST_SKIP() << "this processor lacks " << cpu_level_name(GetParam());
        test_seam::limit_cpu_level(GetParam());
        ASSERT_EQ(cpu_level(), GetParam());
    }
    void TearDown() override { test_seam::limit_cpu_level(CpuLevel::avx512); }
};

// Random bytes, every second picture cut down to eight levels so that
// medians sit on ties.
ImageRecord test_picture(int w, int h, std::uint32_t seed)
{
    ImageRecord r = random_record(w, h, seed);
    if (seed % 2 != 0) return r;
    for (std::size_t i = 0; i < r.pixels.size(); ++i) r.pixels[i] &= 0xE0;
    compute_statistics(r);
    return r;
}

TEST_P(CpuCopies, LumaRowsEqualThePixelByPixelValue)
{
    // Every (blue, green) pair against a sweep of reds, in rows of awkward
    // lengths so the vector body and the scalar tail both run.
    std::vector<std::uint8_t> bgr, out;
    for (int r = 0; r < 256; r += 15) {
        bgr.clear();
        for (int b = 0; b < 256; ++b)
            for (int g = 0; g < 256; ++g) bgr.insert(bgr.end(), {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)});
        const std::size_t count = bgr.size() / 3 - static_cast<std::size_t>(r % 17);
        out.assign(count, 0);
        luma_row(bgr.data(), count, out.data());
        std::vector<std::uint8_t> expected(count);
        for (std::size_t i = 0; i < count; ++i)
            expected[i] = luma_in_double(bgr[3 * i], bgr[3 * i + 1], bgr[3 * i + 2]);
        ASSERT_EQ(out, expected) << "red " << r;
    }
}

// Sizes and apertures that reach every kernel: the median networks (up to
// 7; rows shorter and longer than a vector), sorted sets along bands and down columns (9, 21; several chunks of rows
// in the taller picture), the histogram for rows too narrow for a band, the
// statistical sums in whole groups of 32 pixels and a ragged rest, and the
// sliding column sums of the smoothing.
TEST_P(CpuCopies, WindowFiltersEqualTheLiteralOnes)
{
    using Filter = bool (*)(const ImageRecord&, ImageRecord&, std::uint8_t);
    using Reference = void (*)(const ImageRecord&, ImageRecord&, std::uint8_t);
    const struct {
        const char* name;
        Filter fast;
        Reference literal;
    } filters[] = {
        {"statistical", statistical_filter, reference_statistical_filter},
        {"smooth_2d", smooth_2d, reference_smooth_2d},
        {"smooth_linear", smooth_linear, reference_smooth_linear},
        {"median_linear", median_linear, reference_median_linear},
        {"median_2d", median_2d, reference_median_2d},
    };
    const struct {
        int w, h;
        unsigned n;
    } cases[] = {{10, 7, 3}, {75, 9, 3}, {47, 12, 5}, {86, 11, 7}, {14, 25, 9}, {58, 83, 9}, {11, 30, 9}, {69, 45, 21}};
    std::uint32_t seed = 100;
    for (const auto& f : filters)
        for (const auto& c : cases) {
            const ImageRecord source = test_picture(c.w, c.h, ++seed);
            ImageRecord fast = random_record(c.w, c.h, seed + 1000), expected = clone(fast);
            ASSERT_TRUE(f.fast(source, fast, static_cast<std::uint8_t>(c.n)));
            f.literal(source, expected, static_cast<std::uint8_t>(c.n));
            ASSERT_EQ(std::memcmp(fast.pixels.get(), expected.pixels.get(), fast.pixels.size()), 0)
                << f.name << " " << c.w << "x" << c.h << " aperture " << c.n;
        }
}

// Forward and inverse, both kinds and pass counts, blocks from the smallest
// to ones whose butterfly loops run whole vectors: pixels and planes.
TEST_P(CpuCopies, BlockTransformsEqualTheLiteralOnes)
{
    using Transform = bool (*)(ImageRecord&, int, int, int);
    using Literal = void (*)(ImageRecord&, int, int, int);
    const auto same = [](const ImageRecord& a, const ImageRecord& b) {
        if (std::memcmp(a.pixels.get(), b.pixels.get(), a.pixels.size()) != 0) return false;
        for (auto plane : {&ImageRecord::coef_re_r, &ImageRecord::coef_re_g, &ImageRecord::coef_re_b,
                           &ImageRecord::coef_im_r, &ImageRecord::coef_im_g, &ImageRecord::coef_im_b}) {
            const HeapArray<float>&p = a.*plane, &q = b.*plane;
            if (static_cast<bool>(p) != static_cast<bool>(q)) return false;
            if (p && (p.size() != q.size() || std::memcmp(p.get(), q.get(), p.size() * sizeof(float)) != 0))
                return false;
        }
        return a.transform_state == b.transform_state;
    };
    std::uint32_t seed = 300;
    for (int kind = 0; kind < 2; ++kind)
        for (int n : {2, 8, 32, 128})
            for (int passes : {1, 2}) {
                const Transform fast = kind == 0 ? fft_block : walsh_block;
                const Literal literal = kind == 0 ? reference::fft_block : reference::walsh_block;
                const std::string what = std::string(kind == 0 ? "fft " : "walsh ") + std::to_string(n) + " passes " +
                                         std::to_string(passes);
                ImageRecord a = random_record(n + 3, n + 1, ++seed), b = clone(a);
                ASSERT_TRUE(fast(a, passes, +1, n));
                literal(b, passes, +1, n);
                ASSERT_TRUE(same(a, b)) << what << " forward";
                ASSERT_TRUE(fast(a, passes, -1, 0));
                literal(b, passes, -1, 0);
                ASSERT_TRUE(same(a, b)) << what << " inverse";
            }
}

INSTANTIATE_TEST_SUITE_P(Levels, CpuCopies,
                         ::testing::Values(CpuLevel::baseline, CpuLevel::ssse3, CpuLevel::avx2, CpuLevel::avx512),
                         [](const ::testing::TestParamInfo<CpuLevel>& info) { return cpu_level_name(info.param); });

TEST(CpuLevels, TheLimitCapsTheLevelAndChoiceFollowsIt)
{
    using Fn = int (*)();
    const auto chosen = [] {
        return choose_copy<Fn>({{CpuLevel::baseline, [] { return 0; }}, {CpuLevel::avx2, [] { return 2; }}})();
    };
    test_seam::limit_cpu_level(CpuLevel::baseline);
    EXPECT_EQ(cpu_level(), CpuLevel::baseline);
    EXPECT_EQ(chosen(), 0);
    test_seam::limit_cpu_level(CpuLevel::ssse3);
    EXPECT_EQ(chosen(), 0) << "no copy for ssse3: the baseline";
    test_seam::limit_cpu_level(CpuLevel::avx512);
    EXPECT_EQ(cpu_level(), detected_cpu_level());
    EXPECT_EQ(chosen(), detected_cpu_level() >= CpuLevel::avx2 ? 2 : 0);
}

TEST(CpuLevels, BaselineRequestedBySettingTheVariable)
{
    EXPECT_FALSE(baseline_requested(nullptr));
    EXPECT_FALSE(baseline_requested(""));
    EXPECT_FALSE(baseline_requested("0"));
    EXPECT_TRUE(baseline_requested("1"));
    EXPECT_TRUE(baseline_requested("yes"));
}

}  // namespace
