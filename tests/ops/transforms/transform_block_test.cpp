// The block driver's protocol, with an arithmetic that only records what it
// is asked to do, and the mapping from transform_state to passes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ops/transforms/transform_block.h"
#include "tests/support/images.h"

namespace {

TEST(TransformState, PassesAndKindComeFromAnExplicitMapping)
{
    const struct {
        std::int32_t state;
        int passes;
        bool fourier, walsh;
    } cases[] = {{TRANSFORM_NONE, 0, false, false},       {TRANSFORM_FFT_LINEAR, 1, true, false},
                 {TRANSFORM_FFT_2D, 2, true, false},      {TRANSFORM_WALSH_LINEAR, 1, false, true},
                 {TRANSFORM_WALSH_2D, 2, false, true},    {5, 0, false, false},
                 {-1, 0, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(transform_passes(c.state), c.passes) << c.state;
        EXPECT_EQ(is_fourier_state(c.state), c.fourier) << c.state;
        EXPECT_EQ(is_walsh_state(c.state), c.walsh) << c.state;
    }
}

// A kind owning the three real planes (the block is written back from
// them), with Walsh's states.
const TransformKind kRealPlanes = {{TRANSFORM_WALSH_LINEAR, TRANSFORM_WALSH_2D}, 3,
                                   {&ImageRecord::coef_re_r, &ImageRecord::coef_re_g, &ImageRecord::coef_re_b}};

struct Recorder final : BlockArithmetic {
    bool refuse = false;
    std::vector<int> prepared, runs;  // n * direction; passes * direction
    bool prepare(int n, int direction) override
    {
        prepared.push_back(n * direction);
        return !refuse;
    }
    void run(ImageRecord& record, int passes, int direction) override
    {
        runs.push_back(passes * direction);
        record.coef_re_r[0] = 300.0f;  // shows in the block as 44
    }
};

TEST(TransformDriver, ForwardTakesItsPlanesAndInverseReleasesOnlyThose)
{
    ImageRecord r = random_record(9, 8, 1);
    Recorder arithmetic;
    ASSERT_TRUE(transform_block(r, kRealPlanes, arithmetic, 2, +1, 8));
    EXPECT_EQ(r.transform_state, TRANSFORM_WALSH_2D);
    EXPECT_EQ(r.block_size, 8);
    ASSERT_TRUE(r.coef_re_r && r.coef_re_g && r.coef_re_b);
    EXPECT_EQ(r.coef_re_g.size(), 64u);
    EXPECT_FALSE(r.coef_im_r) << "a plane of no concern stays untaken";
    EXPECT_EQ(r.pixels[2], 44) << "the block is written back after the run";

    r.coef_im_b = HeapArray<float>::allocate(4);  // someone else's
    ASSERT_TRUE(transform_block(r, kRealPlanes, arithmetic, 7, -1, 0));
    EXPECT_EQ(arithmetic.prepared, (std::vector<int>{8, -8}));
    EXPECT_EQ(arithmetic.runs, (std::vector<int>{2, -2})) << "the inverse runs the pending passes";
    EXPECT_EQ(r.transform_state, TRANSFORM_NONE);
    EXPECT_EQ(r.block_size, 8);
    EXPECT_FALSE(r.coef_re_r || r.coef_re_g || r.coef_re_b);
    EXPECT_TRUE(r.coef_im_b);
}

TEST(TransformDriver, RefusedPreparationAndIdleCallsChangeNothing)
{
    ImageRecord r = random_record(9, 8, 2);
    const ImageRecord before = clone(r);
    Recorder arithmetic;
    arithmetic.refuse = true;
    EXPECT_FALSE(transform_block(r, kRealPlanes, arithmetic, 1, +1, 4));
    arithmetic.refuse = false;
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 3, +1, 4)) << "three passes";
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 1, +1, 16)) << "a block larger than the picture";
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 1, -1, 0)) << "nothing pending";
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 1, 0, 4)) << "no direction";
    r.transform_state = TRANSFORM_FFT_LINEAR;
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 1, -1, 0)) << "the other kind pending";
    EXPECT_TRUE(transform_block(r, kRealPlanes, arithmetic, 1, +1, 4)) << "anything pending";
    EXPECT_EQ(r.transform_state, TRANSFORM_FFT_LINEAR);
    r.transform_state = TRANSFORM_NONE;
    EXPECT_EQ(arithmetic.runs.size(), 0u);
    EXPECT_FALSE(r.coef_re_r);
    EXPECT_EQ(std::memcmp(r.pixels.get(), before.pixels.get(), r.pixels.size()), 0);
}

}  // namespace
