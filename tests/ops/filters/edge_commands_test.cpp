// The menu commands reach the luma filters and the noise command through the
// dispatcher.
#include <gtest/gtest.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/heap.h"
#include "ops/operations.h"
#include "tests/reference/edge_filters.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

void same_pixels(const ImageRecord& a, const ImageRecord& b, const char* what)
{
    ASSERT_EQ(a.data_size, b.data_size) << what;
    for (std::int32_t i = 0; i < a.data_size; ++i) ASSERT_EQ(a.pixels[i], b.pixels[i]) << what << " byte " << i;
    EXPECT_EQ(a.max_luma, b.max_luma) << what;
}

TEST(EdgeCommands, EachCommandRunsItsFilter)
{
    const struct {
        int id;
        void (*slow)(const ImageRecord&, ImageRecord&);
        const char* name;
    } commands[] = {
        {IDM_ROBERTS, reference::roberts, "roberts"}, {IDM_SOBEL, reference::sobel, "sobel"},
        {IDM_KIRSCH, reference::kirsch, "kirsch"},    {IDM_WALLIS, reference::wallis, "wallis"},
        {IDM_LINEAR, reference::linear, "linear"},    {IDM_LAPLACE, reference::laplace, "laplace"},
    };
    for (const auto& c : commands) {
        reset_everything();
        install(image_a, random_record(31, 17, 11));
        current_image = &image_a;
        run_command(kFakeWindow, c.id);
        ASSERT_EQ(current_image, &image_b) << c.name;
        EXPECT_EQ(fake.dialogs_shown, 0) << c.name;
        EXPECT_EQ(fake.repaints, 1) << c.name;
        ImageRecord expected;
        c.slow(image_a, expected);
        same_pixels(image_b, expected, c.name);
    }
    reset_everything();
}

TEST(EdgeCommands, NoiseWithAFixedSeedRepeatsItsPoints)
{
    reset_everything();
    const ImageRecord source = random_record(64, 48, 5);
    install(image_a, clone(source));
    current_image = &image_a;
    set_noise_seed(true, 4242);
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 300});
    run_command(kFakeWindow, IDM_NOISE);
    ASSERT_EQ(current_image, &image_b);
    ImageRecord expected;
    reference::noise(source, expected, 300, 4242);
    same_pixels(image_b, expected, "first noise");

    // The second command reads the noisy picture and paints the same points
    // again, with the same colours: the result is unchanged.
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 300});
    run_command(kFakeWindow, IDM_NOISE);
    ASSERT_EQ(current_image, &image_a);
    same_pixels(image_a, expected, "second noise");
    set_noise_seed(false, 0);
    reset_everything();
}

TEST(EdgeCommands, RefusedFilterChangesNothing)
{
    reset_everything();
    install(image_a, random_record(12, 9, 8));
    current_image = &image_a;
    heap_fail_at(2);  // the luma plane is granted, the destination block is not
    run_command(kFakeWindow, IDM_SOBEL);
    heap_fail_at(0);
    EXPECT_EQ(current_image, &image_a);
    EXPECT_FALSE(image_b.pixels);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
    reset_everything();
}

}  // namespace
