// Extreme but valid pictures through every command of the command table:
// the longest row and column a record can hold, a single pixel, and
// pictures without pixels. Every command must leave the store consistent
// (the sanitizer build watches every byte it touches); ordinary operations
// show their result; the transforms, which need a side of 2, do nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "ops/operations.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"

namespace {

bool is_transform(std::uint16_t id)
{
    return id == IDM_FFT_LINEAR || id == IDM_FFT_2D || id == IDM_WALSH_LINEAR || id == IDM_WALSH_2D ||
           id == IDM_FFT_INVERSE || id == IDM_WALSH_INVERSE;
}

// The dialog answers worth trying for a command: the extremes of its slider.
std::vector<DialogAnswer> answers_for(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Threshold: return {{DialogAnswer::OkAtValue, 0}, {DialogAnswer::OkAtValue, 255}};
    case DialogKind::Percent: return {{DialogAnswer::OkAtValue, -100}, {DialogAnswer::OkAtValue, 100}};
    case DialogKind::Aperture: return {{DialogAnswer::OkAtValue, 3}, {DialogAnswer::OkAtValue, 21}};
    case DialogKind::NoisePoints: return {{DialogAnswer::OkAtValue, 2}, {DialogAnswer::OkAtValue, 65534}};
    default: return {{DialogAnswer::OkAtPosition, 0}};
    }
}

class ExtremeSizes : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    void SetUp() override
    {
        reset_everything();
        set_noise_seed(true, 5);
    }
    void TearDown() override
    {
        set_noise_seed(false, 0);
        reset_everything();
    }
};

TEST_P(ExtremeSizes, EveryCommandKeepsTheStoreConsistent)
{
    const auto [w, h] = GetParam();
    const ImageRecord picture = random_record(w, h, static_cast<std::uint32_t>(w * 7 + h));
    const bool transformable = w >= 2 && h >= 2;
    for (const CommandInfo& c : command_table()) {
        if (c.id == IDM_EXIT || c.id == IDM_OPEN || c.id == IDM_UNDO) continue;
        for (const DialogAnswer& answer : answers_for(c.dialog)) {
            SCOPED_TRACE(std::string(c.name) + " answered " + std::to_string(answer.number));
            reset_everything();
            ASSERT_TRUE(open_picture(picture));
            run_command(kFakeWindow, IDM_NEGATIVE);  // both records hold pixels
            const ImageRecord source = clone(*current_image);
            ImageRecord* const shown = current_image;
            fake.reset();
            if (c.dialog != DialogKind::None) fake.dialog_answers.push_back(answer);

            run_command(kFakeWindow, c.id);

            EXPECT_TRUE(store_invariants_hold());
            ASSERT_NE(current_image, nullptr);
            EXPECT_EQ(current_image->width, w);
            EXPECT_EQ(current_image->height, h);
            if (!fake.messages.empty()) {
                // A placeholder still refusing: nothing may have changed.
                EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
                EXPECT_EQ(current_image, shown);
                EXPECT_TRUE(same_record(source, *current_image));
                continue;
            }
            if (is_transform(c.id)) {
                EXPECT_EQ(current_image, shown);
                if (!transformable) {
                    EXPECT_EQ(fake.dialogs_shown, 0) << "no block fits: no dialog";
                    EXPECT_TRUE(same_record(source, *current_image));
                }
            } else if (c.id == IDM_SEGMENT) {
                EXPECT_EQ(current_image, shown);
                EXPECT_TRUE(same_record(source, *current_image));
                for (const WindowLine& line : fake.lines) {
                    EXPECT_GE(std::min(line.x0, line.x1), 0);
                    EXPECT_LE(std::max(line.x0, line.x1), w);
                    EXPECT_GE(std::min(line.y0, line.y1), 0);
                    EXPECT_LE(std::max(line.y0, line.y1), h);
                }
            } else {
                EXPECT_NE(current_image, shown) << "the result is on display";
                EXPECT_TRUE(same_record(source, other_record())) << "the source is untouched";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExtremeSizes,
                         ::testing::Values(std::pair{65535, 1}, std::pair{1, 65535}, std::pair{1, 1},
                                           std::pair{0, 5}, std::pair{5, 0}, std::pair{2, 65535},
                                           std::pair{65535, 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
