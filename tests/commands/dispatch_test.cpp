#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/kernel_dialog.h"
#include "commands/param_dialog.h"
#include "image/bmp.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

bool same_pixels(const ImageRecord& a, const ImageRecord& b)
{
    return a.data_size == b.data_size && a.pixels && b.pixels &&
           std::memcmp(a.pixels.get(), b.pixels.get(), static_cast<std::size_t>(a.data_size)) == 0;
}

class Dispatcher : public SessionTest {
protected:
    void SetUp() override
    {
        dir = scratch_dir();
        picture = random_record(13, 7, 21);
        write_file(dir / "a.bmp", bmp_file_bytes(bmp_of(picture)));
        write_file(dir / "b.bmp", bmp_file_bytes(bmp_of(random_record(6, 5, 22))));
        BmpFields bad = bmp_of(picture);
        bad.bit_count = 8;
        write_file(dir / "bad.bmp", bmp_file_bytes(bad));
    }

    void open(const char* name)
    {
        fake.files.push_back(dir / name);
        run_command(session, kFakeWindow, IDM_OPEN);
    }

    std::filesystem::path dir;
    ImageRecord picture;
};

TEST_F(Dispatcher, WithoutAPictureOnlyOpenUndoExitAndTheStatusBarAct)
{
    for (const CommandRow& c : command_table()) {
        if (c.id == IDM_OPEN || c.id == IDM_UNDO || c.id == IDM_EXIT || c.id == IDM_STATUS_BAR) continue;
        run_command(session, kFakeWindow, c.id);
    }
    EXPECT_EQ(fake.dialogs_shown, 0);
    EXPECT_EQ(fake.repaints, 0);
    EXPECT_FALSE(session.images.image_a.pixels);
    EXPECT_FALSE(session.images.image_b.pixels);

    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(fake.repaints, 1) << "undo repaints even when it changes nothing";
    EXPECT_EQ(session.images.current_image, nullptr);

    run_command(session, kFakeWindow, IDM_EXIT);
    EXPECT_EQ(fake.destroys, 1);

    for (int id : {0, int{kNoCommandId}, 65535}) run_command(session, kFakeWindow, id);
    EXPECT_EQ(fake.repaints, 1);
}

TEST_F(Dispatcher, UndoTogglesTheLastOperation)
{
    open("a.bmp");
    ASSERT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_TRUE(same_pixels(session.images.image_a, picture));
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_a) << "nothing to undo right after an open";

    run_command(session, kFakeWindow, IDM_NEGATIVE);
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    ImageRecord negative = clone(session.images.image_b);
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_TRUE(same_pixels(*session.images.current_image, picture));
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    EXPECT_TRUE(same_pixels(*session.images.current_image, negative));

    // A second operation writes over the picture from before the first.
    run_command(session, kFakeWindow, IDM_GRAYSCALE);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_TRUE(same_pixels(*session.images.current_image, negative));
    EXPECT_FALSE(same_pixels(session.images.image_a, picture));
    EXPECT_EQ(session.images.image_a.width, session.images.image_b.width);
    EXPECT_EQ(session.images.image_a.data_size, session.images.image_b.data_size);
}

TEST_F(Dispatcher, OpeningReleasesBothRecordsAndPendingTransforms)
{
    open("a.bmp");
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    session.images.image_b.transform_state = TRANSFORM_WALSH_2D;
    session.images.image_b.coef_re_r = HeapArray<float>::allocate(4);
    session.images.image_b.coef_re_g = HeapArray<float>::allocate(4);
    session.images.image_b.coef_re_b = HeapArray<float>::allocate(4);

    open("b.bmp");
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_EQ(session.images.image_a.width, 6);
    EXPECT_FALSE(session.images.image_b.pixels);
    EXPECT_EQ(session.images.image_b.transform_state, TRANSFORM_NONE);
    EXPECT_FALSE(session.images.image_b.coef_re_r);
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
}

TEST_F(Dispatcher, CancelledOrRefusedOpenKeepsEverythingAndSaveAsProposesAName)
{
    open("a.bmp");
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    session.view.zoom = 2;
    session.view.scroll_x = 7;
    const int repaints = fake.repaints;
    const std::uint8_t* pixels_a = session.images.image_a.pixels.get();
    const std::uint8_t* pixels_b = session.images.image_b.pixels.get();
    fake.files.push_back(std::nullopt);
    run_command(session, kFakeWindow, IDM_OPEN);
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    EXPECT_EQ(fake.repaints, repaints);

    open("bad.bmp");
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, "Не умею грузить файлы с таким количеством цветов!");
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    EXPECT_EQ(session.images.image_a.pixels.get(), pixels_a);
    EXPECT_EQ(session.images.image_b.pixels.get(), pixels_b);
    EXPECT_EQ(session.view.zoom, 2);
    EXPECT_EQ(session.view.scroll_x, 7);
    EXPECT_EQ(session.opened_file.filename(), "a.bmp");
    // Save As proposes a PNG named after the file and the last command, in its folder.
    fake.files.push_back(std::nullopt);
    run_command(session, kFakeWindow, IDM_SAVE_AS);
    EXPECT_EQ(fake.proposed_file, "a-negative.png");
    EXPECT_EQ(fake.proposed_directory, dir.string());

    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_a) << "undo still goes back";

    // A file that opens shows at 100 %; the scroll position stays.
    open("a.bmp");
    EXPECT_EQ(session.view.zoom, 0);
    EXPECT_EQ(session.view.scroll_x, 7);
}

TEST_F(Dispatcher, ValueZeroDoesNothingExceptForBinarize)
{
    open("a.bmp");
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    const int repaints = fake.repaints;
    for (int id : {IDM_BRIGHTNESS, IDM_CONTRAST}) {
        fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 0});
        run_command(session, kFakeWindow, id);
    }
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    EXPECT_EQ(fake.repaints, repaints);
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(session.images.current_image, &session.images.image_a) << "the previous pair still toggles";

    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 0});
    run_command(session, kFakeWindow, IDM_BINARIZE);
    EXPECT_EQ(session.images.current_image, &session.images.image_b);
    for (int i = 0; i < 13 * 7; ++i) {
        const std::uint8_t* p = session.images.image_b.pixels.get() + (i / 13) * session.images.image_b.stride() + 3 * (i % 13);
        const std::uint8_t* s = session.images.image_a.pixels.get() + (i / 13) * session.images.image_a.stride() + 3 * (i % 13);
        EXPECT_EQ(p[0], luma(s[0], s[1], s[2]) > 0 ? 255 : 0);
    }
}

TEST_F(Dispatcher, DialogValuesBecomeTheOperationsArguments)
{
    open("a.bmp");
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 10});
    run_command(session, kFakeWindow, IDM_BRIGHTNESS);
    ASSERT_EQ(session.images.current_image, &session.images.image_b);
    for (std::int32_t i = 0; i < session.images.image_a.data_size; ++i)
        ASSERT_EQ(session.images.image_b.pixels[i], std::min(255, session.images.image_a.pixels[i] + 25)) << "10% is an offset of 25";

    run_command(session, kFakeWindow, IDM_UNDO);
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, -100});
    run_command(session, kFakeWindow, IDM_BRIGHTNESS);
    for (std::int32_t i = 0; i < session.images.image_a.data_size; ++i)
        ASSERT_EQ(session.images.image_b.pixels[i], std::max(0, session.images.image_a.pixels[i] - 254));
}

TEST_F(Dispatcher, RefusedOperationChangesNothingAndSaysWhy)
{
    open("a.bmp");
    ImageRecord before = clone(session.images.image_a);
    test_seam::heap_fail_at(1);
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    test_seam::heap_fail_at(0);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_FALSE(session.images.image_b.pixels);
    EXPECT_TRUE(same_pixels(session.images.image_a, before));
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
    EXPECT_EQ(fake.busy_depth, 0);
}

// A front end that asks first and runs after must see the very dialog
// run_command then shows, and must not ask where the command does nothing.
TEST_F(Dispatcher, PreparedPromptIsWhatTheCommandAsks)
{
    const auto check_every_command = [&](const char* state) {
        for (const CommandRow& c : command_table()) {
            if (c.id == IDM_EXIT || c.id == IDM_OPEN) continue;
            Session prepared;
            prepared.images.image_a = clone(session.images.image_a);
            prepared.images.current_image = session.images.current_image ? &prepared.images.image_a : nullptr;
            prepared.dialog.param_dialog_spec.scale = 5.0f;  // what an earlier dialog may have left
            const CommandPrompt prompt = prepare_command(prepared, c.id);

            reset_fake();
            fake.default_answer = {DialogAnswer::Cancel};
            Session ran;
            ran.images.image_a = clone(session.images.image_a);
            ran.images.current_image = session.images.current_image ? &ran.images.image_a : nullptr;
            ran.dialog.param_dialog_spec.scale = 5.0f;
            run_command(ran, kFakeWindow, c.id);

            const bool acted = fake.dialogs_shown > 0 || fake.kernel_dialogs_shown > 0 || fake.repaints > 0 || !fake.lines.empty() || ran.images.image_b.pixels ||
                               (c.id == IDM_SEGMENT && ran.images.current_image);  // noise may hold no characters
            // A session action may find nothing to do (zooming to the level
            // shown), and a cancelled chooser ends its command.
            const bool may_idle = (prompt == CommandPrompt::Nothing && c.run.action != nullptr) ||
                                  prompt == CommandPrompt::SaveChooser;
            if (!may_idle) {
                EXPECT_EQ(prompt == CommandPrompt::NotRun, !acted) << c.name << state;
            }
            EXPECT_EQ(prompt == CommandPrompt::ParameterDialog, fake.dialogs_shown == 1) << c.name << state;
            EXPECT_EQ(prompt == CommandPrompt::KernelDialog, fake.kernel_dialogs_shown == 1) << c.name << state;
            if (prompt != CommandPrompt::ParameterDialog) continue;
            const ParamDialogSpec& p = prepared.dialog.param_dialog_spec;
            const ParamDialogSpec& shown = fake.shown_spec;
            EXPECT_STREQ(p.title, shown.title) << c.name;
            EXPECT_STREQ(p.min_label, shown.min_label) << c.name;
            EXPECT_STREQ(p.max_label, shown.max_label) << c.name;
            EXPECT_STREQ(p.suffix, shown.suffix) << c.name;
            EXPECT_EQ(std::tie(p.range_min, p.range_max, p.tick_step, p.initial_pos, p.scale, p.offset),
                      std::tie(shown.range_min, shown.range_max, shown.tick_step, shown.initial_pos, shown.scale,
                               shown.offset))
                << c.name;
            EXPECT_EQ(prepared.dialog.power_of_two_mode != 0, fake.shown_power_of_two) << c.name;
        }
    };
    check_every_command(" without a picture");
    open("a.bmp");
    check_every_command(" with a picture");
    EXPECT_EQ(prepare_command(session, IDM_OPEN), CommandPrompt::FileChooser);
    EXPECT_EQ(prepare_command(session, kNoCommandId), CommandPrompt::NotRun);
}

// The kernel dialog's answer reaches the operation; the kernel is offered
// again next time, and a cancelled dialog changes nothing.
TEST_F(Dispatcher, KernelDialogAnswerRunsAndIsRemembered)
{
    open("a.bmp");
    CustomKernel sobel_y = find_kernel_preset("sobel-y")->kernel;
    fake.kernel_answers.push_back(sobel_y);
    run_command(session, kFakeWindow, IDM_CUSTOM_KERNEL);
    ASSERT_EQ(session.images.current_image, &session.images.image_b);
    ImageRecord expected;
    ASSERT_TRUE(custom_kernel_filter(session.images.image_a, expected, sobel_y));
    EXPECT_TRUE(same_pixels(session.images.image_b, expected));
    EXPECT_EQ(session.kernel, sobel_y);

    run_command(session, kFakeWindow, IDM_UNDO);
    fake.default_answer = {DialogAnswer::Cancel};
    const int repaints = fake.repaints;
    run_command(session, kFakeWindow, IDM_CUSTOM_KERNEL);
    EXPECT_EQ(fake.kernel_shown, sobel_y);
    EXPECT_EQ(fake.repaints, repaints);
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
}

TEST(CommandTable, RowsAreDistinctAndCaptionsNameTheirShortcuts)
{
    std::set<std::string> steps;
    for (const CommandRow& c : command_table()) {
        if (*c.step != '\0') {
            EXPECT_TRUE(steps.insert(c.step).second) << c.step;
        }
        EXPECT_LT(c.menu.popup, main_menu_popups().size()) << c.name;
        const std::string caption = c.caption;
        const std::string shortcut = shortcut_text(c.accelerator);
        if (shortcut.empty()) {
            EXPECT_EQ(caption.find('\t'), std::string::npos) << caption;
            continue;
        }
        EXPECT_NE(caption.find("\t" + shortcut), std::string::npos) << caption;
    }
    EXPECT_EQ(find_command(kNoCommandId), nullptr);
}

}  // namespace
