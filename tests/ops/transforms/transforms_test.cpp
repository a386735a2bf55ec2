#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/cpu_features.h"
#include "image/heap.h"
#include "image/image_record.h"
#include "ops/operations.h"
#include "ops/transforms/transform_block.h"
#include "tests/reference/transforms_reference.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

using Transform = bool (*)(ImageRecord&, int, int, int);
using ReferenceTransform = void (*)(ImageRecord&, int, int, int);

const std::uint8_t* block_pixel(const ImageRecord& r, int k, int c) { return r.pixels.get() + k * r.stride() + 3 * c; }

bool same_plane(const HeapArray<float>& a, const HeapArray<float>& b)
{
    if (static_cast<bool>(a) != static_cast<bool>(b)) return false;
    return !a || (a.size() == b.size() && std::memcmp(a.get(), b.get(), a.size() * sizeof(float)) == 0);
}

// Pixels, transform fields and planes equal to the bit.
void expect_same_record(const ImageRecord& a, const ImageRecord& b, const char* what)
{
    ASSERT_EQ(a.data_size, b.data_size) << what;
    EXPECT_EQ(std::memcmp(a.pixels.get(), b.pixels.get(), static_cast<std::size_t>(a.data_size)), 0) << what;
    EXPECT_EQ(a.transform_state, b.transform_state) << what;
    EXPECT_EQ(a.block_size, b.block_size) << what;
    EXPECT_TRUE(same_plane(a.coef_re_r, b.coef_re_r)) << what;
    EXPECT_TRUE(same_plane(a.coef_re_g, b.coef_re_g)) << what;
    EXPECT_TRUE(same_plane(a.coef_re_b, b.coef_re_b)) << what;
    EXPECT_TRUE(same_plane(a.coef_im_r, b.coef_im_r)) << what;
    EXPECT_TRUE(same_plane(a.coef_im_g, b.coef_im_g)) << what;
    EXPECT_TRUE(same_plane(a.coef_im_b, b.coef_im_b)) << what;
}

// A record whose bottom row starts with the given grey values.
ImageRecord row_record(std::vector<std::uint8_t> row, int height = 2)
{
    const int w = static_cast<int>(row.size());
    return make_record(w, height, [row](int x, int) { return Bgr{row[x], row[x], row[x]}; });
}

class BlockTransforms : public SessionTest {
protected:
    void TearDown() override
    {
        test_seam::heap_fail_at(0);
        test_seam::limit_cpu_level(CpuLevel::avx512);
    }
};

TEST_F(BlockTransforms, StagesAndBitReversal)
{
    for (int k = 1; k <= 15; ++k) EXPECT_EQ(transform_stages(1 << k), k);
    std::int32_t rev[8];
    fill_bit_reversal(rev, 8, 3);
    EXPECT_EQ(std::vector<std::int32_t>(rev, rev + 8), (std::vector<std::int32_t>{0, 4, 2, 6, 1, 5, 3, 7}));
    fill_bit_reversal(rev, 2, 1);
    EXPECT_EQ(rev[0], 0);
    EXPECT_EQ(rev[1], 1);
    std::vector<std::int32_t> big(1024);
    fill_bit_reversal(big.data(), 1024, 10);
    for (int m = 0; m < 1024; ++m) {
        int r = 0;
        for (int b = 0; b < 10; ++b) r |= ((m >> b) & 1) << (9 - b);
        ASSERT_EQ(big[m], r) << m;
    }
}

TEST_F(BlockTransforms, StoreBlockTruncatesAndKeepsTheLowByte)
{
    ImageRecord r = make_record(5, 4, [](int, int) { return Bgr{7, 7, 7}; });
    ImageRecord before = clone(r);
    r.block_size = 4;
    r.coef_re_r = HeapArray<float>::allocate(16);
    r.coef_re_g = HeapArray<float>::allocate(16);
    r.coef_re_b = HeapArray<float>::allocate(16);
    const float values[] = {255.9f, 256.0f, 300.0f, -0.7f, -1.0f, -3.7f, 99.99998f, 0.0f,
                            -256.0f, 65791.0f, 1e10f, -1e10f, 128.5f, -128.5f, 44.0f, 1.0f};
    const int expected[] = {255, 0, 44, 0, 255, 253, 99, 0, 0, 255, 0, 0, 128, 128, 44, 1};
    for (int i = 0; i < 16; ++i) {
        r.coef_re_b[i] = values[i];
        r.coef_re_g[i] = values[(i + 1) % 16];
        r.coef_re_r[i] = values[(i + 2) % 16];
    }
    store_block(r);
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = block_pixel(r, i / 4, i % 4);
        EXPECT_EQ(p[0], expected[i]) << values[i];
        EXPECT_EQ(p[1], expected[(i + 1) % 16]);
        EXPECT_EQ(p[2], expected[(i + 2) % 16]);
    }
    // Column 4 and the padding stay.
    for (int k = 0; k < 4; ++k)
        for (std::size_t b = 12; b < r.stride(); ++b)
            EXPECT_EQ(r.pixels[k * r.stride() + b], before.pixels[k * r.stride() + b]);
}

TEST_F(BlockTransforms, TwoPixelRowsShowSumAndDifference)
{
    for (Transform forward : {fft_block, walsh_block}) {
        ImageRecord r = row_record({200, 100});
        ASSERT_TRUE(forward(r, 1, +1, 2));
        EXPECT_EQ(block_pixel(r, 0, 0)[0], 44);
        EXPECT_EQ(block_pixel(r, 0, 1)[1], 100);
        EXPECT_EQ(r.coef_re_g[0], 300.0f);
        EXPECT_EQ(r.coef_re_g[1], 100.0f);
        ASSERT_TRUE(forward(r, 1, -1, 0));
        EXPECT_EQ(block_pixel(r, 0, 0)[2], 200);
        EXPECT_EQ(block_pixel(r, 0, 1)[2], 100);

        ImageRecord s = row_record({100, 200});
        ASSERT_TRUE(forward(s, 1, +1, 2));
        EXPECT_EQ(block_pixel(s, 0, 0)[0], 44);
        EXPECT_EQ(block_pixel(s, 0, 1)[0], 156);
        ASSERT_TRUE(forward(s, 1, -1, 0));
        EXPECT_EQ(block_pixel(s, 0, 0)[0], 100);
        EXPECT_EQ(block_pixel(s, 0, 1)[0], 200);

        ImageRecord equal = row_record({150, 150});
        ASSERT_TRUE(forward(equal, 1, +1, 2));
        EXPECT_EQ(block_pixel(equal, 0, 0)[1], 44);
        EXPECT_EQ(block_pixel(equal, 0, 1)[1], 0);
    }
}

TEST_F(BlockTransforms, FftOfTwoPixelsHasNoImaginaryPart)
{
    ImageRecord r = row_record({3, 250});
    ASSERT_TRUE(fft_block(r, 1, +1, 2));
    EXPECT_EQ(r.coef_re_b[0], 253.0f);
    EXPECT_EQ(r.coef_re_b[1], -247.0f);
    EXPECT_EQ(r.coef_im_b[0], 0.0f);
    EXPECT_EQ(r.coef_im_b[1], 0.0f);
}

TEST_F(BlockTransforms, WalshOfOneTwoThreeFour)
{
    ImageRecord r = row_record({1, 2, 3, 4}, 4);
    ASSERT_TRUE(walsh_block(r, 1, +1, 4));
    EXPECT_EQ(r.transform_state, TRANSFORM_WALSH_LINEAR);
    const float coefficients[] = {10, -2, -4, 0};
    const int shown[] = {10, 254, 252, 0};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(r.coef_re_r[c], coefficients[c]);
        EXPECT_EQ(block_pixel(r, 3, c)[0], shown[c]);
    }
    EXPECT_FALSE(r.coef_im_r) << "Walsh takes no imaginary planes";
}

TEST_F(BlockTransforms, ConstantBlockIn2dHasOnlyTheCornerTerm)
{
    for (Transform forward : {fft_block, walsh_block}) {
        const int n = 16;
        ImageRecord r = make_record(20, 17, [](int, int) { return Bgr{7, 200, 255}; });
        ASSERT_TRUE(forward(r, 2, +1, n));
        for (int i = 0; i < n * n; ++i) {
            const float b = i == 0 ? n * n * 7.0f : 0.0f, g = i == 0 ? n * n * 200.0f : 0.0f,
                        red = i == 0 ? n * n * 255.0f : 0.0f;
            ASSERT_EQ(r.coef_re_b[i], b) << i;
            ASSERT_EQ(r.coef_re_g[i], g) << i;
            ASSERT_EQ(r.coef_re_r[i], red) << i;
            if (r.coef_im_b) {
                ASSERT_EQ(r.coef_im_b[i], 0.0f) << i;
            }
        }
        EXPECT_EQ(block_pixel(r, 0, 0)[0], (n * n * 7) % 256);
        EXPECT_EQ(block_pixel(r, 5, 9)[1], 0);
    }
}

// Every row equal stays every row equal under a linear transform.
TEST_F(BlockTransforms, LinearTransformKeepsEqualRowsEqual)
{
    ImageRecord r = make_record(32, 32, [](int x, int) {
        return Bgr{static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(x * x), static_cast<std::uint8_t>(255 - x)};
    });
    ASSERT_TRUE(fft_block(r, 1, +1, 32));
    for (int k = 1; k < 32; ++k) EXPECT_EQ(std::memcmp(block_pixel(r, k, 0), block_pixel(r, 0, 0), 96), 0) << k;
}

// The fast transforms against the literal ones, on random pictures of odd
// sizes (every padding case), forward and inverse, both kinds and both pass
// counts: pixels everywhere and planes to the bit.
TEST_F(BlockTransforms, MatchTheLiteralTransformsBitForBit)
{
    struct Case {
        int w, h, n;
    };
    const Case cases[] = {{2, 2, 2}, {3, 5, 2}, {9, 4, 4}, {17, 19, 16}, {66, 65, 64}, {130, 129, 128}, {258, 256, 256}};
    std::uint32_t seed = 1;
    for (bool avx2 : {true, false}) {
        test_seam::limit_cpu_level(avx2 ? CpuLevel::avx512 : CpuLevel::baseline);
        for (const Case& c : cases)
            for (int passes : {1, 2})
                for (int kind = 0; kind < 2; ++kind) {
                    if (c.n == 256 && (kind == 1 || passes == 1 || !avx2)) continue;  // keep the literal run short
                    const Transform fast = kind == 0 ? fft_block : walsh_block;
                    const ReferenceTransform literal = kind == 0 ? reference::fft_block : reference::walsh_block;
                    ImageRecord a = random_record(c.w, c.h, seed++);
                    ImageRecord b = clone(a);
                    ASSERT_TRUE(fast(a, passes, +1, c.n));
                    literal(b, passes, +1, c.n);
                    const std::string what = (kind == 0 ? "fft " : "walsh ") + std::to_string(c.n) + " passes " +
                                             std::to_string(passes);
                    expect_same_record(a, b, (what + " forward").c_str());
                    ASSERT_TRUE(fast(a, 7, -1, 0));
                    literal(b, 7, -1, 0);
                    expect_same_record(a, b, (what + " inverse").c_str());
                }
    }
}

TEST_F(BlockTransforms, OnlyTheBlockChanges)
{
    for (Transform forward : {fft_block, walsh_block})
        for (int passes : {1, 2}) {
            ImageRecord r = random_record(37, 21, 99);
            const ImageRecord before = clone(r);
            ASSERT_TRUE(forward(r, passes, +1, 16));
            int changed_inside = 0;
            for (int y = 0; y < r.height; ++y)
                for (std::size_t b = 0; b < r.stride(); ++b) {
                    const std::size_t i = y * r.stride() + b;
                    if (y < 16 && b < 48)
                        changed_inside += r.pixels[i] != before.pixels[i];
                    else
                        ASSERT_EQ(r.pixels[i], before.pixels[i]) << "row " << y << " byte " << b;
                }
            EXPECT_GT(changed_inside, 0);
            EXPECT_EQ(std::memcmp(r.hist_luma, before.hist_luma, sizeof r.hist_luma), 0);
            EXPECT_EQ(r.mean_r, before.mean_r);
            ASSERT_TRUE(forward(r, passes, -1, 0));
            for (int y = 16; y < r.height; ++y)
                EXPECT_EQ(std::memcmp(r.pixels.get() + y * r.stride(), before.pixels.get() + y * r.stride(), r.stride()),
                          0);
        }
}

TEST_F(BlockTransforms, WalshRoundTripIsExactUpTo256)
{
    for (int passes : {1, 2}) {
        ImageRecord r = random_record(256, 257, 5 + passes);
        const ImageRecord before = clone(r);
        ASSERT_TRUE(walsh_block(r, passes, +1, 256));
        ASSERT_TRUE(walsh_block(r, passes, -1, 0));
        EXPECT_EQ(std::memcmp(r.pixels.get(), before.pixels.get(), r.pixels.size()), 0) << passes;
        EXPECT_EQ(r.transform_state, TRANSFORM_NONE);
        EXPECT_EQ(r.block_size, 256);
        EXPECT_FALSE(r.coef_re_r);
    }
}

// Forward then inverse restores every byte but those whose value comes back
// a hair below the integer and is truncated to the one below it.
TEST_F(BlockTransforms, FftRoundTripRestoresUpToTruncation)
{
    for (int passes : {1, 2}) {
        ImageRecord r = random_record(128, 130, 11 + passes);
        const ImageRecord before = clone(r);
        ASSERT_TRUE(fft_block(r, passes, +1, 128));
        ASSERT_TRUE(fft_block(r, passes, -1, 0));
        int exact = 0;
        for (int k = 0; k < 128; ++k)
            for (int b = 0; b < 3 * 128; ++b) {
                const int now = r.pixels[k * r.stride() + b], was = before.pixels[k * r.stride() + b];
                if (now == was)
                    ++exact;
                else
                    ASSERT_EQ(now, was - 1) << "row " << k << " byte " << b;
            }
        EXPECT_GT(exact, 128 * 384 / 2) << passes;
        EXPECT_FALSE(r.coef_im_b);
    }
}

TEST_F(BlockTransforms, ForwardWhilePendingAndMismatchedInverseDoNothing)
{
    ImageRecord r = random_record(8, 8, 3);
    ASSERT_TRUE(fft_block(r, 2, +1, 8));
    const ImageRecord pending = clone(r);
    ASSERT_TRUE(walsh_block(r, 1, +1, 4));
    ASSERT_TRUE(fft_block(r, 1, +1, 2));
    ASSERT_TRUE(walsh_block(r, 0, -1, 0));
    expect_same_record(r, pending, "fourier pending");

    ImageRecord fresh = random_record(8, 8, 4);
    const ImageRecord untouched = clone(fresh);
    ASSERT_TRUE(fft_block(fresh, 0, -1, 0));
    ASSERT_TRUE(walsh_block(fresh, -2, -1, 0));
    expect_same_record(fresh, untouched, "nothing pending");
}

// Every allocation a transform makes, refused in turn: the command fails and
// the record stays exactly as it was.
TEST_F(BlockTransforms, RefusedAllocationLeavesTheRecordAsItWas)
{
    for (Transform transform : {fft_block, walsh_block})
        for (int passes : {1, 2}) {
            ImageRecord probe = random_record(16, 16, 8);
            test_seam::heap_fail_at(0);
            ASSERT_TRUE(transform(probe, passes, +1, 16));
            const std::uint64_t forward_allocations = test_seam::heap_allocation_count();
            test_seam::heap_fail_at(0);
            ASSERT_TRUE(transform(probe, passes, -1, 0));
            const std::uint64_t inverse_allocations = test_seam::heap_allocation_count();
            ASSERT_GT(forward_allocations, 0u);

            for (std::uint64_t k = 1; k <= forward_allocations; ++k) {
                ImageRecord r = random_record(16, 16, 8);
                const ImageRecord before = clone(r);
                test_seam::heap_fail_at(k);
                EXPECT_FALSE(transform(r, passes, +1, 16)) << k;
                test_seam::heap_fail_at(0);
                expect_same_record(r, before, "refused forward");
            }
            ImageRecord r = random_record(16, 16, 8);
            ASSERT_TRUE(transform(r, passes, +1, 16));
            const ImageRecord pending = clone(r);
            for (std::uint64_t k = 1; k <= inverse_allocations; ++k) {
                test_seam::heap_fail_at(k);
                EXPECT_FALSE(transform(r, passes, -1, 0)) << k;
                test_seam::heap_fail_at(0);
                expect_same_record(r, pending, "refused inverse");
            }
        }
}

// --- through the dispatcher ----------------------------------------------

class TransformCommands : public BlockTransforms {
protected:
    void show(ImageRecord&& r)
    {
        install(session.images.image_a, std::move(r));
        session.images.current_image = &session.images.image_a;
    }
    void run(int id, std::int32_t block = 0)
    {
        if (block != 0) fake.dialog_answers.push_back({DialogAnswer::OkAtValue, block});
        run_command(session, kFakeWindow, id);
    }
};

TEST_F(TransformCommands, FourierPendingBlocksWalshUntilItsInverse)
{
    show(random_record(40, 33, 21));
    const ImageRecord original = clone(session.images.image_a);
    run(IDM_FFT_LINEAR, 32);
    ASSERT_EQ(session.images.image_a.transform_state, TRANSFORM_FFT_LINEAR);
    const ImageRecord pending = clone(session.images.image_a);

    const int dialogs = fake.dialogs_shown, repaints = fake.repaints;
    run(IDM_WALSH_2D, 16);
    EXPECT_EQ(fake.dialogs_shown, dialogs + 1) << "the dialog is still shown";
    EXPECT_EQ(fake.repaints, repaints + 1) << "and the window still repainted";
    run(IDM_WALSH_INVERSE);
    run(IDM_FFT_2D, 8);
    expect_same_record(session.images.image_a, pending, "nothing changes while Fourier is pending");
    EXPECT_TRUE(fake.messages.empty());

    run(IDM_FFT_INVERSE);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_NONE);
    EXPECT_EQ(session.images.image_a.block_size, 32);
    EXPECT_FALSE(session.images.image_a.coef_re_r);
    EXPECT_FALSE(session.images.image_a.coef_im_b);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_EQ(std::memcmp(session.images.image_a.hist_r, original.hist_r, sizeof original.hist_r), 0) << "statistics untouched";

    const ImageRecord restored = clone(session.images.image_a);
    run(IDM_FFT_INVERSE);
    expect_same_record(session.images.image_a, restored, "a second inverse");

    run(IDM_WALSH_2D, 16);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_WALSH_2D);
    EXPECT_EQ(session.images.image_a.block_size, 16);
    run(IDM_FFT_INVERSE);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_WALSH_2D);
    run(IDM_WALSH_INVERSE);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_NONE);
}

TEST_F(TransformCommands, InverseAfterGrayscaleWaitsForUndo)
{
    show(random_record(16, 16, 22));
    const ImageRecord original = clone(session.images.image_a);
    run(IDM_WALSH_LINEAR, 16);
    const ImageRecord pending = clone(session.images.image_a);
    run(IDM_GRAYSCALE);
    if (session.images.current_image != &session.images.image_b) GTEST_SKIP() << "grayscale is not built in this tree";
    const ImageRecord gray = clone(session.images.image_b);
    run(IDM_WALSH_INVERSE);
    expect_same_record(session.images.image_b, gray, "image_b has nothing pending");
    expect_same_record(session.images.image_a, pending, "the pending record waits");
    run(IDM_UNDO);
    ASSERT_EQ(session.images.current_image, &session.images.image_a);
    run(IDM_WALSH_INVERSE);
    EXPECT_EQ(std::memcmp(session.images.image_a.pixels.get(), original.pixels.get(), original.pixels.size()), 0);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_NONE);
}

TEST_F(TransformCommands, InverseAfterOpeningASmallerPictureDoesNothing)
{
    const auto dir = scratch_dir();
    write_file(dir / "big.bmp", bmp_file_bytes(bmp_of(random_record(64, 64, 23))));
    write_file(dir / "small.bmp", bmp_file_bytes(bmp_of(random_record(9, 7, 24))));
    fake.files.push_back(dir / "big.bmp");
    run(IDM_OPEN);
    ASSERT_EQ(session.images.current_image, &session.images.image_a);
    run(IDM_FFT_2D, 64);
    ASSERT_EQ(session.images.image_a.transform_state, TRANSFORM_FFT_2D);
    fake.files.push_back(dir / "small.bmp");
    run(IDM_OPEN);
    ASSERT_EQ(session.images.image_a.width, 9);
    const ImageRecord opened = clone(session.images.image_a);
    run(IDM_FFT_INVERSE);
    expect_same_record(session.images.image_a, opened, "the spectrum went with the old picture");
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_NONE);
    run(IDM_FFT_LINEAR, 4);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_FFT_LINEAR) << "forward transforms work on the new picture";
}

TEST_F(TransformCommands, BlockSizeDialogAndTinyPictures)
{
    show(random_record(300, 200, 25));
    run(IDM_FFT_2D);  // OK at the initial position: the largest block
    EXPECT_EQ(fake.shown.max_label, "128");
    EXPECT_EQ(session.images.image_a.block_size, 128);
    run(IDM_FFT_INVERSE);
    fake.dialog_answers.push_back({DialogAnswer::Cancel, 0});
    run(IDM_WALSH_LINEAR);
    EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_NONE) << "cancel runs nothing";

    reset_fake();
    show(random_record(1, 40, 26));
    const ImageRecord tiny = clone(session.images.image_a);
    for (int id : {IDM_FFT_LINEAR, IDM_FFT_2D, IDM_FFT_INVERSE, IDM_WALSH_LINEAR, IDM_WALSH_2D, IDM_WALSH_INVERSE})
        run(id);
    EXPECT_EQ(fake.dialogs_shown, 0);
    EXPECT_EQ(fake.repaints, 0);
    expect_same_record(session.images.image_a, tiny, "a picture one pixel wide");
}

TEST_F(TransformCommands, RefusedTransformShowsTheMessageAndChangesNothing)
{
    show(random_record(32, 32, 27));
    const ImageRecord before = clone(session.images.image_a);
    test_seam::heap_fail_at(2);
    run(IDM_FFT_2D, 32);
    test_seam::heap_fail_at(0);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
    expect_same_record(session.images.image_a, before, "refused");
}

}  // namespace
