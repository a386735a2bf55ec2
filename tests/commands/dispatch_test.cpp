#include <gtest/gtest.h>

#include <cstring>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/param_dialog.h"
#include "image/bmp.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

bool same_pixels(const ImageRecord& a, const ImageRecord& b)
{
    return a.data_size == b.data_size && a.pixels && b.pixels &&
           std::memcmp(a.pixels.get(), b.pixels.get(), static_cast<std::size_t>(a.data_size)) == 0;
}

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_everything();
        dir = scratch_dir();
        picture = random_record(13, 7, 21);
        write_file(dir / "a.bmp", bmp_file_bytes(bmp_of(picture)));
        write_file(dir / "b.bmp", bmp_file_bytes(bmp_of(random_record(6, 5, 22))));
        BmpFields bad = bmp_of(picture);
        bad.bit_count = 8;
        write_file(dir / "bad.bmp", bmp_file_bytes(bad));
    }
    void TearDown() override { reset_everything(); }

    void open(const char* name)
    {
        fake.files.push_back(dir / name);
        run_command(kFakeWindow, IDM_OPEN);
    }

    std::filesystem::path dir;
    ImageRecord picture;
};

TEST_F(Dispatcher, WithoutAPictureOnlyOpenUndoAndExitAct)
{
    for (const CommandInfo& c : command_table()) {
        if (c.id == IDM_OPEN || c.id == IDM_UNDO || c.id == IDM_EXIT) continue;
        run_command(kFakeWindow, c.id);
    }
    EXPECT_EQ(fake.dialogs_shown, 0);
    EXPECT_EQ(fake.repaints, 0);
    EXPECT_FALSE(image_a.pixels);
    EXPECT_FALSE(image_b.pixels);

    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(fake.repaints, 1) << "undo repaints even when it changes nothing";
    EXPECT_EQ(current_image, nullptr);

    run_command(kFakeWindow, IDM_EXIT);
    EXPECT_EQ(fake.destroys, 1);

    for (int id : {0, 40000, 40006, 40012, 40030, 65535}) run_command(kFakeWindow, id);
    EXPECT_EQ(fake.repaints, 1);
}

TEST_F(Dispatcher, UndoTogglesTheLastOperation)
{
    open("a.bmp");
    ASSERT_EQ(current_image, &image_a);
    EXPECT_TRUE(same_pixels(image_a, picture));
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, &image_a) << "nothing to undo right after an open";

    run_command(kFakeWindow, IDM_NEGATIVE);
    EXPECT_EQ(current_image, &image_b);
    ImageRecord negative = clone(image_b);
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, &image_a);
    EXPECT_TRUE(same_pixels(*current_image, picture));
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, &image_b);
    EXPECT_TRUE(same_pixels(*current_image, negative));

    // A second operation writes over the picture from before the first.
    run_command(kFakeWindow, IDM_GRAYSCALE);
    EXPECT_EQ(current_image, &image_a);
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_TRUE(same_pixels(*current_image, negative));
    EXPECT_FALSE(same_pixels(image_a, picture));
    EXPECT_EQ(image_a.width, image_b.width);
    EXPECT_EQ(image_a.data_size, image_b.data_size);
}

TEST_F(Dispatcher, OpeningReleasesBothRecordsAndPendingTransforms)
{
    open("a.bmp");
    run_command(kFakeWindow, IDM_NEGATIVE);
    image_b.transform_state = TRANSFORM_WALSH_2D;
    image_b.coef_re_r = HeapArray<float>::allocate(4);
    image_b.coef_re_g = HeapArray<float>::allocate(4);
    image_b.coef_re_b = HeapArray<float>::allocate(4);

    open("b.bmp");
    EXPECT_EQ(current_image, &image_a);
    EXPECT_EQ(image_a.width, 6);
    EXPECT_FALSE(image_b.pixels);
    EXPECT_EQ(image_b.transform_state, TRANSFORM_NONE);
    EXPECT_FALSE(image_b.coef_re_r);
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, &image_a);
}

TEST_F(Dispatcher, CancelledOpenKeepsThePictureAndRefusedOpenLeavesNone)
{
    open("a.bmp");
    run_command(kFakeWindow, IDM_NEGATIVE);
    const int repaints = fake.repaints;
    fake.files.push_back(std::nullopt);
    run_command(kFakeWindow, IDM_OPEN);
    EXPECT_EQ(current_image, &image_b);
    EXPECT_TRUE(image_a.pixels);
    EXPECT_EQ(fake.repaints, repaints);

    open("bad.bmp");
    EXPECT_EQ(current_image, nullptr);
    EXPECT_FALSE(image_a.pixels);
    EXPECT_FALSE(image_b.pixels);
    EXPECT_EQ(fake.repaints, repaints + 1) << "a refused file repaints an empty window";
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, "Не умею грузить файлы с таким количеством цветов!");
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, nullptr);
}

TEST_F(Dispatcher, ValueZeroDoesNothingExceptForBinarize)
{
    open("a.bmp");
    run_command(kFakeWindow, IDM_NEGATIVE);
    const int repaints = fake.repaints;
    for (int id : {IDM_BRIGHTNESS, IDM_CONTRAST}) {
        fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 0});
        run_command(kFakeWindow, id);
    }
    EXPECT_EQ(current_image, &image_b);
    EXPECT_EQ(fake.repaints, repaints);
    run_command(kFakeWindow, IDM_UNDO);
    EXPECT_EQ(current_image, &image_a) << "the previous pair still toggles";

    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 0});
    run_command(kFakeWindow, IDM_BINARIZE);
    EXPECT_EQ(current_image, &image_b);
    for (int i = 0; i < 13 * 7; ++i) {
        const std::uint8_t* p = image_b.pixels.get() + (i / 13) * image_b.stride() + 3 * (i % 13);
        const std::uint8_t* s = image_a.pixels.get() + (i / 13) * image_a.stride() + 3 * (i % 13);
        EXPECT_EQ(p[0], luma(s[0], s[1], s[2]) > 0 ? 255 : 0);
    }
}

TEST_F(Dispatcher, DialogValuesBecomeTheOperationsArguments)
{
    open("a.bmp");
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 10});
    run_command(kFakeWindow, IDM_BRIGHTNESS);
    ASSERT_EQ(current_image, &image_b);
    for (std::int32_t i = 0; i < image_a.data_size; ++i)
        ASSERT_EQ(image_b.pixels[i], std::min(255, image_a.pixels[i] + 25)) << "10% is an offset of 25";

    run_command(kFakeWindow, IDM_UNDO);
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, -100});
    run_command(kFakeWindow, IDM_BRIGHTNESS);
    for (std::int32_t i = 0; i < image_a.data_size; ++i)
        ASSERT_EQ(image_b.pixels[i], std::max(0, image_a.pixels[i] - 254));
}

TEST_F(Dispatcher, RefusedOperationChangesNothingAndSaysWhy)
{
    open("a.bmp");
    ImageRecord before = clone(image_a);
    heap_fail_at(1);
    run_command(kFakeWindow, IDM_NEGATIVE);
    heap_fail_at(0);
    EXPECT_EQ(current_image, &image_a);
    EXPECT_FALSE(image_b.pixels);
    EXPECT_TRUE(same_pixels(image_a, before));
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
    EXPECT_EQ(fake.busy_depth, 0);
}

TEST(CommandTable, MenuAndAcceleratorsCoverEveryCommandOnce)
{
    int items = 0;
    for (const MenuPopup& popup : main_menu())
        for (const MenuItem& item : popup.items)
            if (item.command != 0) {
                ++items;
                EXPECT_NE(find_command(item.command), nullptr) << item.command;
            }
    EXPECT_EQ(items, static_cast<int>(command_table().size()));
    EXPECT_EQ(main_menu().size(), 6u);
    EXPECT_STREQ(main_menu()[1].caption, "Лаба &1 ");
    EXPECT_EQ(accelerator_table().size(), 20u);

    // Every caption's shortcut text names its accelerator.
    for (const Accelerator& a : accelerator_table()) {
        const std::string caption = find_command(a.command)->caption;
        std::string key = a.key == KEY_F4 ? "F4" : std::string(1, static_cast<char>(a.key));
        const std::string mod = a.modifiers == MOD_CTRL ? "Ctrl+" : a.modifiers == MOD_ALT ? "Alt+" : "Shift+";
        EXPECT_NE(caption.find("\t" + mod + key), std::string::npos) << caption;
    }
    EXPECT_EQ(find_command(40006), nullptr);
    EXPECT_EQ(find_command(40012), nullptr);
}

}  // namespace
