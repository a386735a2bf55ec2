// The view menu through the dispatcher, and the status bar's values as the
// pictures change under it.
#include <gtest/gtest.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/view_commands.h"
#include "commands/pixel_status.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

class ViewMenu : public SessionTest {
protected:
    void show(int w, int h)
    {
        install(session.images.image_a, random_record(w, h, 5));
        session.images.current_image = &session.images.image_a;
        session.view.client_width = 1000;
        session.view.client_height = 700;
    }
};

TEST_F(ViewMenu, ZoomStepsStopAtTheLevelsEnds)
{
    show(300, 200);
    for (int i = 0; i < 7; ++i) run_command(session, kFakeWindow, IDM_ZOOM_IN);
    EXPECT_EQ(session.view.zoom, ZOOM_MAX);
    EXPECT_EQ(fake.repaints, 5) << "a step past 3200 % changes nothing";
    run_command(session, kFakeWindow, IDM_ZOOM_NATURAL);
    EXPECT_EQ(session.view.zoom, 0);
    for (int i = 0; i < 5; ++i) run_command(session, kFakeWindow, IDM_ZOOM_OUT);
    EXPECT_EQ(session.view.zoom, ZOOM_MIN);
    run_command(session, kFakeWindow, IDM_ZOOM_FIT);
    EXPECT_EQ(session.view.zoom, 1);  // 600 + 283 columns fit 1000, 1200 + 283 do not
    EXPECT_EQ(session.view.scroll_x, 0);
    EXPECT_EQ(session.view.scroll_y, 0);
}

TEST_F(ViewMenu, ZoomNeedsAPictureAndTheStatusBarDoesNot)
{
    for (int id : {IDM_ZOOM_IN, IDM_ZOOM_OUT, IDM_ZOOM_NATURAL, IDM_ZOOM_FIT}) run_command(session, kFakeWindow, id);
    EXPECT_EQ(session.view.zoom, 0);
    EXPECT_EQ(fake.repaints, 0);

    const CommandRow* row = find_command(IDM_STATUS_BAR);
    ASSERT_NE(row, nullptr);
    ASSERT_NE(row->checked, nullptr);
    EXPECT_TRUE(row->checked(session)) << "shown in a new window";
    run_command(session, kFakeWindow, IDM_STATUS_BAR);
    EXPECT_FALSE(row->checked(session));
    EXPECT_FALSE(fake.status_bar_shown);
    run_command(session, kFakeWindow, IDM_STATUS_BAR);
    EXPECT_TRUE(fake.status_bar_shown);
    EXPECT_EQ(fake.repaints, 2);
}

TEST_F(ViewMenu, ExplainPanelItemOpensAndClosesThePanel)
{
    const CommandRow* row = find_command(IDM_EXPLAIN_PANEL);
    ASSERT_NE(row, nullptr);
    ASSERT_NE(row->checked, nullptr);
    EXPECT_FALSE(row->checked(session)) << "closed in a new window";
    run_command(session, kFakeWindow, IDM_EXPLAIN_PANEL);  // no picture needed
    EXPECT_TRUE(row->checked(session));
    EXPECT_TRUE(fake.explain_panel_shown);
    run_command(session, kFakeWindow, IDM_EXPLAIN_PANEL);
    EXPECT_FALSE(fake.explain_panel_shown);
    EXPECT_EQ(fake.repaints, 0) << "the view keeps its pixels";
}

TEST_F(ViewMenu, StatusValuesFollowNegativeAndUndo)
{
    // Pixel (2, 1) from the top-left is block row 3 - 1 - 1 of a 4 x 3 picture.
    install(session.images.image_a, make_record(4, 3, [](int x, int y) {
                return x == 2 && y == 1 ? Bgr{10, 20, 30} : Bgr{200, 200, 200};
            }));
    session.images.current_image = &session.images.image_a;
    auto probe = probe_pixel(session.images, 2, 1);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->shown, (PixelValues{30, 20, 10, 22}));
    EXPECT_FALSE(probe->other) << "nothing to compare with yet";

    run_command(session, kFakeWindow, IDM_NEGATIVE);
    probe = probe_pixel(session.images, 2, 1);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->shown, (PixelValues{225, 235, 245, 233}));
    ASSERT_TRUE(probe->other);
    EXPECT_EQ(*probe->other, (PixelValues{30, 20, 10, 22}));
    EXPECT_EQ(status_text(*probe),
              "x 2, y 1   R 225 G 235 B 245 (яркость 233)   другая: R 30 G 20 B 10 (яркость 22)");

    run_command(session, kFakeWindow, IDM_UNDO);
    probe = probe_pixel(session.images, 2, 1);
    ASSERT_TRUE(probe && probe->other);
    EXPECT_EQ(probe->shown, (PixelValues{30, 20, 10, 22}));
    EXPECT_EQ(probe->other->r, 225);

    EXPECT_FALSE(probe_pixel(session.images, 4, 0));
    EXPECT_FALSE(probe_pixel(session.images, 0, -1));
    // Another picture in the other record (a smaller one) is no comparison.
    install(session.images.image_b, random_record(3, 3, 1));
    EXPECT_FALSE(probe_pixel(session.images, 2, 1)->other);
}

TEST_F(ViewMenu, StatusTextFollowsTheZoomAndIsEmptyOffThePicture)
{
    install(session.images.image_a, make_record(4, 3, [](int x, int y) {
                return x == 3 && y == 0 ? Bgr{1, 2, 3} : Bgr{0, 0, 0};
            }));
    session.images.current_image = &session.images.image_a;
    session.view.client_width = 500;
    session.view.client_height = 450;
    session.view.zoom = 3;  // 800 %: pixel (3, 2) from the top covers columns 24..31, rows 16..23
    EXPECT_EQ(status_text_at(session.images, session.view, 31, 23), "x 3, y 2   R 3 G 2 B 1 (яркость 2)");
    EXPECT_EQ(status_text_at(session.images, session.view, 32, 23), "");
    session.view.scroll_x = 8;
    EXPECT_EQ(status_text_at(session.images, session.view, 23, 16), "x 3, y 2   R 3 G 2 B 1 (яркость 2)");
    EXPECT_EQ(status_text_at(session.images, session.view, 100, 460), "") << "below the view";
    session.images.current_image = nullptr;
    EXPECT_EQ(status_text_at(session.images, session.view, 1, 1), "");
}

TEST_F(ViewMenu, StatusSummaryGivesZoomSizeAndFile)
{
    EXPECT_EQ(status_summary(session), "100 %");
    install(session.images.image_a, random_record(45, 60, 2));
    session.images.current_image = &session.images.image_a;
    session.opened_file = std::filesystem::path("/home/student") / "photo.jpg";
    session.view.zoom = -3;
    EXPECT_EQ(status_summary(session), "12.5 %   45 × 60   photo.jpg");
}

}  // namespace
