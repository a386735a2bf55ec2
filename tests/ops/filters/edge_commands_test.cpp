// The menu commands reach the luma filters and the noise command through the
// dispatcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <string_view>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/heap.h"
#include "ops/operations.h"
#include "tests/reference/edge_filters.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

void same_pixels(const ImageRecord& a, const ImageRecord& b, const char* what)
{
    ASSERT_EQ(a.data_size, b.data_size) << what;
    for (std::int32_t i = 0; i < a.data_size; ++i) ASSERT_EQ(a.pixels[i], b.pixels[i]) << what << " byte " << i;
    EXPECT_EQ(a.max_luma, b.max_luma) << what;
}

class EdgeCommands : public SessionTest {};

TEST_F(EdgeCommands, EachCommandRunsItsFilter)
{
    const std::uint8_t filters_menu = find_command(IDM_SOBEL)->menu.popup;
    for (const CommandRow& c : command_table()) {
        if (c.menu.popup != filters_menu || c.dialog.kind != DialogKind::None || c.run.image_operation == nullptr)
            continue;
        const auto* f = std::find_if(std::begin(reference::kLumaFilters), std::end(reference::kLumaFilters),
                                     [&c](const reference::LumaFilter& f) { return std::string_view(f.step) == c.step; });
        ASSERT_NE(f, std::end(reference::kLumaFilters)) << c.step << " has no literal reference in kLumaFilters";
        Session session;
        reset_fake();
        install(session.images.image_a, random_record(31, 17, 11));
        session.images.current_image = &session.images.image_a;
        run_command(session, kFakeWindow, c.id);
        ASSERT_EQ(session.images.current_image, &session.images.image_b) << c.step;
        EXPECT_EQ(fake.dialogs_shown, 0) << c.step;
        EXPECT_EQ(fake.repaints, 1) << c.step;
        ImageRecord expected;
        f->slow(session.images.image_a, expected);
        same_pixels(session.images.image_b, expected, c.step);
    }
}

TEST_F(EdgeCommands, NoiseWithAFixedSeedRepeatsItsPoints)
{
    const ImageRecord source = random_record(64, 48, 5);
    install(session.images.image_a, clone(source));
    session.images.current_image = &session.images.image_a;
    session.noise_seed = 4242;
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 300});
    run_command(session, kFakeWindow, IDM_NOISE);
    ASSERT_EQ(session.images.current_image, &session.images.image_b);
    ImageRecord expected;
    reference::noise(source, expected, 300, 4242);
    same_pixels(session.images.image_b, expected, "first noise");

    // The second command reads the noisy picture and paints the same points
    // again, with the same colours: the result is unchanged.
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 300});
    run_command(session, kFakeWindow, IDM_NOISE);
    ASSERT_EQ(session.images.current_image, &session.images.image_a);
    same_pixels(session.images.image_a, expected, "second noise");
}

// Without a fixed seed the generator starts from the calendar time, so two
// commands within one second paint the same points; retried when the second
// changes in between.
TEST_F(EdgeCommands, NoiseSeedsFromTheClock)
{
    const ImageRecord source = random_record(50, 40, 3);
    for (int attempt = 0; attempt < 5; ++attempt) {
        Session session;
        install(session.images.image_a, clone(source));
        session.images.current_image = &session.images.image_a;
        fake.dialog_answers = {{DialogAnswer::OkAtValue, 500}, {DialogAnswer::OkAtValue, 500}};
        const std::time_t before = std::time(nullptr);
        run_command(session, kFakeWindow, IDM_NOISE);
        run_command(session, kFakeWindow, IDM_UNDO);
        run_command(session, kFakeWindow, IDM_NOISE);
        if (std::time(nullptr) != before) continue;
        ImageRecord expected;
        reference::noise(source, expected, 500, static_cast<std::uint32_t>(before));
        same_pixels(session.images.image_b, expected, "noise from the clock");
        return;
    }
    FAIL() << "the clock kept changing its second";
}

TEST_F(EdgeCommands, RefusedFilterChangesNothing)
{
    install(session.images.image_a, random_record(12, 9, 8));
    session.images.current_image = &session.images.image_a;
    test_seam::heap_fail_at(2);  // the luma plane is granted, the destination block is not
    run_command(session, kFakeWindow, IDM_SOBEL);
    test_seam::heap_fail_at(0);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_FALSE(session.images.image_b.pixels);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
}

}  // namespace
