// Extreme but valid pictures through every command of the command table:
// the longest row and column a record can hold, a single pixel, and
// pictures without pixels. Every command must leave the store consistent
// (the sanitizer build watches every byte it touches); ordinary operations
// show their result; the transforms, which need a side of 2, do nothing;
// Save As writes the picture whatever its size.
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

class ExtremeSizes : public SessionTest, public ::testing::WithParamInterface<std::pair<int, int>> {
protected:
    void SetUp() override { session.noise_seed = 5; }
};

TEST_P(ExtremeSizes, EveryCommandKeepsTheStoreConsistent)
{
    const auto [w, h] = GetParam();
    const ImageRecord picture = random_record(w, h, static_cast<std::uint32_t>(w * 7 + h));
    const bool transformable = w >= 2 && h >= 2;
    for (const CommandRow& c : command_table()) {
        if (c.id == IDM_EXIT || c.id == IDM_OPEN || c.id == IDM_UNDO || tells_only(c)) continue;
        for (const DialogAnswer& answer : answers_for(c.dialog.kind)) {
            SCOPED_TRACE(std::string(c.name) + " answered " + std::to_string(answer.number));
            ASSERT_TRUE(open_picture(session, picture));
            run_command(session, kFakeWindow, IDM_NEGATIVE);  // both records hold pixels
            const ImageRecord source = clone(*session.images.current_image);
            ImageRecord* const shown = session.images.current_image;
            reset_fake();
            const auto saved = scratch_dir() / "saved.bmp";
            if (c.dialog.kind == DialogKind::SaveFile)
                fake.files.push_back(saved);
            else if (c.dialog.kind != DialogKind::None)
                fake.dialog_answers.push_back(answer);

            run_command(session, kFakeWindow, c.id);

            EXPECT_TRUE(store_invariants_hold(session));
            ASSERT_NE(session.images.current_image, nullptr);
            EXPECT_EQ(session.images.current_image->width, w);
            EXPECT_EQ(session.images.current_image->height, h);
            // These pictures are small: no command may refuse them.
            ASSERT_TRUE(fake.messages.empty()) << fake.messages[0].caption << ": " << fake.messages[0].text;
            if (c.run.in_place != nullptr) {
                EXPECT_EQ(session.images.current_image, shown);
                if (!transformable) {
                    EXPECT_EQ(fake.dialogs_shown, 0) << "no block fits: no dialog";
                    EXPECT_TRUE(same_record(source, *session.images.current_image));
                }
            } else if (c.run.action != nullptr) {  // segmentation, saving and the view's commands
                EXPECT_EQ(session.images.current_image, shown);
                EXPECT_TRUE(same_record(source, *session.images.current_image));
                if (c.dialog.kind == DialogKind::SaveFile) {
                    EXPECT_EQ(std::filesystem::file_size(saved), 54u + static_cast<std::uint64_t>(source.data_size));
                }
                for (const WindowLine& line : fake.lines) {
                    EXPECT_GE(std::min(line.x0, line.x1), 0);
                    EXPECT_LE(std::max(line.x0, line.x1), w);
                    EXPECT_GE(std::min(line.y0, line.y1), 0);
                    EXPECT_LE(std::max(line.y0, line.y1), h);
                }
            } else {
                EXPECT_NE(session.images.current_image, shown) << "the result is on display";
                EXPECT_TRUE(same_record(source, session.images.other_record())) << "the source is untouched";
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
