#include <gtest/gtest.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/param_dialog.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

class DialogSetup : public SessionTest {
protected:
    void SetUp() override
    {
        install(session.images.image_a, make_record(300, 200, [](int x, int y) { return Bgr{std::uint8_t(x), std::uint8_t(y), 7}; }));
        session.images.current_image = &session.images.image_a;
    }

    // Runs a command whose dialog is cancelled and returns what it showed.
    void show(int id)
    {
        fake.dialogs_shown = 0;
        fake.dialog_answers.push_back({DialogAnswer::Cancel, 0});
        run_command(session, kFakeWindow, id);
        ASSERT_EQ(fake.dialogs_shown, 1);
    }
};

TEST_F(DialogSetup, EachCommandOpensWithItsOwnValuesAndLabels)
{
    struct Case {
        int id;
        const char* title;
        int lo, hi, tick, pos;
        const char *min, *max, *value;
    } cases[] = {
        {IDM_BINARIZE, "Порог для бинаризации", 0, 255, 16, 128, "0", "255", "128"},
        {IDM_BRIGHTNESS, "Преобразование яркости", -100, 100, 10, 0, "-100%", "100%", "0%"},
        {IDM_CONTRAST, "Преобразование контраста", -100, 100, 10, 0, "-100%", "100%", "0%"},
        {IDM_STATISTICAL, "Апертура статистического фильтра", 1, 10, 1, 1, "3", "21", "3"},
        {IDM_SMOOTH_2D, "Апертура сглаживающего двуменого фильтра.", 1, 10, 1, 1, "3", "21", "3"},
        {IDM_SMOOTH_LINEAR, "Апертура сглаживающего линейного фильтра.", 1, 10, 1, 1, "3", "21", "3"},
        {IDM_MEDIAN_LINEAR, "Апертура медианного линеного фильтра.", 1, 10, 1, 1, "3", "21", "3"},
        {IDM_MEDIAN_2D, "Апертура медианного двуменого фильтра.", 1, 10, 1, 1, "3", "21", "3"},
        {IDM_NOISE, "Уровень шума (количество точек).", 1, 32767, 1000, 7000, "1", "65534", "14000"},
        {IDM_FFT_2D, "Размер блока для преобразования.", 1, 7, 1, 7, "2", "128", "128"},
        {IDM_WALSH_LINEAR, "Размер блока для преобразования.", 1, 7, 1, 7, "2", "128", "128"},
    };
    for (const Case& c : cases) {
        fake.dialogs_shown = 0;
        show(c.id);
        SCOPED_TRACE(c.title);
        EXPECT_EQ(fake.shown.title, c.title);
        EXPECT_EQ(fake.shown.range_min, c.lo);
        EXPECT_EQ(fake.shown.range_max, c.hi);
        EXPECT_EQ(fake.shown.tick_step, c.tick);
        EXPECT_EQ(fake.shown.position, c.pos);
        EXPECT_EQ(fake.shown.min_label, c.min);
        EXPECT_EQ(fake.shown.max_label, c.max);
        EXPECT_EQ(fake.shown.value_text, c.value);
        EXPECT_EQ(session.dialog.power_of_two_mode, 0) << "closing always clears the power-of-two mode";
    }
}

TEST_F(DialogSetup, ValuesOfPositionsInBothModes)
{
    show(IDM_MEDIAN_2D);
    EXPECT_EQ(param_value_text(session.dialog, 4), "9");
    EXPECT_EQ(param_value(session.dialog, 10), 21);
    show(IDM_BRIGHTNESS);
    EXPECT_EQ(param_value_text(session.dialog, -37), "-37%");
    EXPECT_EQ(param_value_text(session.dialog, -100), "-100%");
    show(IDM_NOISE);
    EXPECT_EQ(param_value_text(session.dialog, 7000), "14000");
    EXPECT_EQ(param_value_text(session.dialog, 32767), "65534");

    session.dialog.power_of_two_mode = 1;
    EXPECT_EQ(param_value_text(session.dialog, 8), "256");
    EXPECT_EQ(param_value_text(session.dialog, 1), "2");
    session.dialog.power_of_two_mode = 0;
}

TEST_F(DialogSetup, CancelAndCloseKeepTheEarlierResult)
{
    fake.dialog_answers.push_back({DialogAnswer::OkAtPosition, 77});
    run_command(session, kFakeWindow, IDM_BINARIZE);
    EXPECT_EQ(session.dialog.param_dialog_spec.result, 77);

    for (auto kind : {DialogAnswer::Cancel, DialogAnswer::Close}) {
        session.images.current_image = &session.images.image_a;
        fake.dialog_answers.push_back({kind, 0});
        fake.repaints = 0;
        run_command(session, kFakeWindow, IDM_NOISE);
        EXPECT_EQ(session.dialog.param_dialog_spec.result, 77);
        EXPECT_EQ(fake.repaints, 0);
    }
}

TEST_F(DialogSetup, BlockSizesFitTheSmallerSide)
{
    struct Case {
        int w, h, k;
        const char* max;
    } cases[] = {{300, 200, 7, "128"}, {640, 480, 8, "256"}, {512, 512, 9, "512"},
                 {1024, 768, 9, "512"}, {2047, 3000, 10, "1024"}, {2, 9, 1, "2"}};
    for (const Case& c : cases) {
        ImageRecord r;
        r.width = static_cast<std::uint16_t>(c.w);
        r.height = static_cast<std::uint16_t>(c.h);
        EXPECT_EQ(block_exponent_max(r), c.k) << c.w << "x" << c.h;
    }
    // A side below 2 admits no block: no dialog at all.
    install(session.images.image_a, make_record(1, 50, [](int, int) { return Bgr{1, 2, 3}; }));
    fake.dialogs_shown = 0;
    run_command(session, kFakeWindow, IDM_FFT_LINEAR);
    run_command(session, kFakeWindow, IDM_WALSH_2D);
    EXPECT_EQ(fake.dialogs_shown, 0);
    EXPECT_EQ(fake.repaints, 0);
}

TEST(DialogLogic, InitialContentsAndCloseCodes)
{
    ParamDialog dialog;
    dialog.param_dialog_spec.result = 5;
    set_text(dialog.param_dialog_spec.title, "x");
    dialog.reset_param_dialog_spec();
    EXPECT_STREQ(dialog.param_dialog_spec.title, "");
    EXPECT_EQ(dialog.param_dialog_spec.range_max, 255);
    EXPECT_EQ(dialog.param_dialog_spec.initial_pos, 128);
    EXPECT_EQ(param_dialog_open(dialog).value_text, "128");

    dialog.power_of_two_mode = 1;
    EXPECT_EQ(param_dialog_ok(dialog, 3), 1);
    EXPECT_EQ(dialog.param_dialog_spec.result, 8);
    EXPECT_EQ(dialog.power_of_two_mode, 0);
    dialog.power_of_two_mode = 1;
    EXPECT_EQ(param_dialog_cancel(dialog), 2);
    EXPECT_EQ(dialog.param_dialog_spec.result, 8);
    EXPECT_EQ(dialog.power_of_two_mode, 0);
}

TEST(Conversions, BrightnessOffsetsSitBelowTheHalfwayPoints)
{
    const std::pair<int, int> cases[] = {{100, 255}, {50, 127}, {10, 25}, {2, 5}, {1, 3},
                                         {-1, -2},   {-10, -24}, {-50, -126}, {-100, -254}};
    for (auto [v, offset] : cases) EXPECT_EQ(brightness_offset(v), offset) << v;
}

TEST(Conversions, ContrastFactorsSweepTheSameSpanOnBothHalves)
{
    EXPECT_EQ(contrast_factor(1), 0.1f);
    EXPECT_EQ(contrast_factor(10), 1.0f);
    EXPECT_EQ(contrast_factor(100), 10.0f);
    EXPECT_EQ(contrast_factor(-1), 10.0f);
    EXPECT_EQ(contrast_factor(-10), 1.0f);
    EXPECT_EQ(contrast_factor(-100), 0.1f);
    EXPECT_EQ(contrast_factor(3), static_cast<float>(3 * static_cast<double>(0.1f)));
}

}  // namespace
