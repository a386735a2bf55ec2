#include <gtest/gtest.h>

#include <random>
#include <string>

#include "commands/kernel_dialog.h"
#include "image/cpu_features.h"
#include "image/test_seam.h"
#include "ops/operations.h"
#include "tests/reference/custom_kernel.h"
#include "tests/support/images.h"
#include "tests/support/records.h"

namespace {

// A random kernel: small weights (sums in 16-bit lanes) or large ones
// (32-bit lanes), zeros among them, every divisor form, offset, rule and mode.
CustomKernel random_kernel(std::mt19937& rng)
{
    CustomKernel k;
    k.size = rng() % 2 ? 5 : 3;
    const int range = rng() % 2 ? 9 : 255;
    for (int i = 0; i < 25; ++i)
        k.weights[i] = i < k.size * k.size && rng() % 4 != 0
                           ? static_cast<std::int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range)
                           : 0;
    const int divisor_kind = static_cast<int>(rng() % 3);
    k.divisor = divisor_kind == 0 ? 0 : divisor_kind == 1 ? static_cast<int>(rng() % 40) + 1 : static_cast<int>(rng() % 65025) + 1;
    k.offset = static_cast<std::int16_t>(static_cast<int>(rng() % 511) - 255);
    if (rng() % 3 == 0) k.offset = 0;
    k.out_of_range = static_cast<OutOfRange>(rng() % 3);
    k.channels = static_cast<KernelChannels>(rng() % 2);
    return k;
}

// The operation and the reference from the same earlier destination bytes,
// so the frame and padding they keep are compared too.
void expect_reference(const ImageRecord& source, const CustomKernel& k, std::uint32_t seed)
{
    const std::string what = kernel_word(k) + " on " + std::to_string(source.width) + "x" + std::to_string(source.height);
    ImageRecord fast = random_record(source.width, source.height, seed), slow = clone(fast);
    ASSERT_TRUE(kernel_valid(k)) << what;
    ASSERT_TRUE(custom_kernel_filter(source, fast, k)) << what;
    reference::custom_kernel(source, slow, k);
    ASSERT_TRUE(same_record(slow, fast)) << what;
}

class CustomKernelLevels : public ::testing::TestWithParam<CpuLevel> {
protected:
    void SetUp() override
    {
        if (GetParam() > detected_cpu_level()) GTEST_SKIP();
        test_seam::limit_cpu_level(GetParam());
    }
    void TearDown() override { test_seam::limit_cpu_level(CpuLevel::avx512); }
};

TEST_P(CustomKernelLevels, RandomKernelsEqualTheLiteralReference)
{
    std::mt19937 rng(23);
    // Every row padding (widths 4k .. 4k+3), sizes around the window, runs
    // longer than one vector group, and pictures the window does not fit.
    const int sizes[][2] = {{4, 4}, {5, 6}, {6, 5}, {7, 9}, {2, 7}, {9, 2}, {1, 1}, {37, 13}, {70, 9}, {83, 21}, {600, 6}};
    for (int trial = 0; trial < 160; ++trial) {
        const auto [w, h] = sizes[trial % std::size(sizes)];
        const std::uint32_t seed = static_cast<std::uint32_t>(rng());
        expect_reference(random_record(w, h, seed), random_kernel(rng), seed + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, CustomKernelLevels,
                         ::testing::Values(CpuLevel::baseline, CpuLevel::avx2, CpuLevel::avx512),
                         [](const ::testing::TestParamInfo<CpuLevel>& info) { return cpu_level_name(info.param); });

TEST(CustomKernel, PresetsEqualTheReferenceAndTheCourseFiltersTheyMatch)
{
    const ImageRecord source = random_record(31, 17, 5);
    for (const KernelPreset& p : kernel_presets()) expect_reference(source, p.kernel, 9);

    using Course = bool (*)(const ImageRecord&, ImageRecord&);
    const struct {
        const char* preset;
        Course course;
    } same[] = {
        {"laplace-8", linear_filter},
        {"laplace-12", laplace_filter},
        {"box", [](const ImageRecord& s, ImageRecord& d) { return smooth_2d(s, d, 3); }},
        {"box-5", [](const ImageRecord& s, ImageRecord& d) { return smooth_2d(s, d, 5); }},
    };
    for (const auto& [preset, course] : same) {
        ImageRecord mine = random_record(31, 17, 6), theirs = clone(mine);
        ASSERT_TRUE(custom_kernel_filter(source, mine, find_kernel_preset(preset)->kernel));
        ASSERT_TRUE(course(source, theirs));
        EXPECT_TRUE(same_record(theirs, mine)) << preset;
    }
}

TEST(CustomKernel, RoundsHalvesAwayFromZeroBeforeTheRule)
{
    EXPECT_EQ(kernel_quotient(5, 2, 0), 3);
    EXPECT_EQ(kernel_quotient(-5, 2, 0), -3);
    EXPECT_EQ(kernel_quotient(-1, 2, 1), 1);  // (-1 + 2) / 2 = 0.5
    EXPECT_EQ(kernel_quotient(4, 3, -2), -1);  // (4 - 6) / 3 = -0.67
    EXPECT_EQ(kernel_byte(-7, OutOfRange::Clamp), 0);
    EXPECT_EQ(kernel_byte(-7, OutOfRange::Absolute), 7);
    EXPECT_EQ(kernel_byte(-7, OutOfRange::Plus128), 121);
    EXPECT_EQ(kernel_byte(300, OutOfRange::Absolute), 255);
    CustomKernel k;
    for (std::int16_t& w : k.weights) w = -1;
    EXPECT_EQ(kernel_divisor(k), 1) << "auto: a sum below 1 divides by 1";
    k = find_kernel_preset("gauss-5")->kernel;
    EXPECT_EQ(kernel_divisor(k), 256);
}

TEST(KernelWord, ReadsBackWhatItWritesAndRefusesBadKernels)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 50; ++i) {
        const CustomKernel k = random_kernel(rng);
        CustomKernel back;
        std::string error;
        ASSERT_TRUE(parse_kernel_word(kernel_word(k), back, error)) << kernel_word(k) << ": " << error;
        EXPECT_EQ(back, k) << kernel_word(k);
    }
    CustomKernel k;
    std::string error;
    ASSERT_TRUE(parse_kernel_word("3:0,-1,0,-1,5,-1,0,-1,0", k, error));
    EXPECT_EQ(kernel_word(k), "3:0,-1,0,-1,5,-1,0,-1,0/auto+0,clamp,luma");
    ASSERT_TRUE(parse_kernel_word("3:1,1,1,1,1,1,1,1,1/9-12,rgb,abs", k, error));
    EXPECT_EQ(kernel_word(k), "3:1,1,1,1,1,1,1,1,1/9-12,abs,rgb");
    ASSERT_TRUE(parse_kernel_word("sobel-x", k, error));
    EXPECT_EQ(k, find_kernel_preset("sobel-x")->kernel);
    for (const char* bad : {"3:1,2,3", "4:1", "3:0,0,0,0,256,0,0,0,0", "3:0,0,0,0,1,0,0,0,0/0",
                            "3:0,0,0,0,1,0,0,0,0/65026", "3:0,0,0,0,1,0,0,0,0/1+256", "3:0,0,0,0,1,0,0,0,0/1,bright",
                            "3:0,0,0,0,x,0,0,0,0", "3:0,0,0,0,1,0,0,0,0/", "sobel", ""})
        EXPECT_FALSE(parse_kernel_word(bad, k, error)) << bad;
}

TEST(KernelWord, DialogFieldsRoundTripAndNameTheBadField)
{
    const CustomKernel gauss = find_kernel_preset("gauss-5")->kernel;
    KernelFields f = kernel_field_texts(gauss);
    CustomKernel k;
    std::string error;
    ASSERT_TRUE(kernel_from_fields(f, k, error)) << error;
    EXPECT_EQ(k, gauss);
    f.weights[7] = "300";
    EXPECT_FALSE(kernel_from_fields(f, k, error));
    EXPECT_NE(error.find("строке 2, столбце 3"), std::string::npos) << error;
    EXPECT_EQ(kernel_resized(kernel_resized(find_kernel_preset("sharpen")->kernel, 5), 3),
              find_kernel_preset("sharpen")->kernel);
}

}  // namespace
