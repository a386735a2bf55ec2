// The explanation panel's choice of pixel (following the cursor, pinned by a
// click) and its texts as commands, undo and opening change the pictures.
#include <gtest/gtest.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/explain_pixel.h"
#include "shell/explain_panel.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "text/catalogue.h"

namespace {

class PanelTest : public SessionTest {
protected:
    PanelTest()
    {
        session.view.client_width = 800;
        session.view.client_height = 600;
    }
    std::string text_of(int x, int y) { return explanation_text(*explain_pixel(session, x, y)); }

    ExplainPanel panel;
};

TEST_F(PanelTest, FollowsTheCursorUntilAClickPinsAPixel)
{
    EXPECT_TRUE(explain_panel_pointer(panel, session, ClientPoint{3, 3}));
    EXPECT_EQ(panel.heading, "Нет изображения.");
    EXPECT_EQ(panel.text, "");

    ASSERT_TRUE(open_picture(session, random_record(40, 30, 3)));
    run_command(session, kFakeWindow, IDM_SOBEL);
    session.view.zoom = 2;  // 400 %: client (21, 9) shows pixel (5, 2)
    session.view.scroll_x = 4;
    explain_panel_pointer(panel, session, std::nullopt);
    EXPECT_EQ(panel.heading, "Наведите курсор на пиксель изображения; щелчок закрепит его.");
    EXPECT_TRUE(explain_panel_pointer(panel, session, ClientPoint{17, 9}));
    EXPECT_EQ(panel.text, text_of(5, 2));
    EXPECT_NE(panel.heading.find("курсором: пиксель (5, 2)"), std::string::npos) << panel.heading;
    EXPECT_FALSE(explain_panel_pointer(panel, session, ClientPoint{18, 10})) << "the same pixel";
    EXPECT_FALSE(explain_panel_pointer(panel, session, ClientPoint{500, 10})) << "off the picture: kept";
    EXPECT_FALSE(explain_panel_pointer(panel, session, std::nullopt));

    EXPECT_TRUE(explain_panel_click(panel, session, ClientPoint{41, 13}));  // pixel (11, 3)
    EXPECT_EQ(panel.text, text_of(11, 3));
    EXPECT_EQ(panel.heading.rfind("Закреплён щелчком: пиксель (11, 3)", 0), 0u) << panel.heading;
    explain_panel_pointer(panel, session, ClientPoint{0, 0});
    EXPECT_EQ(panel.text, text_of(11, 3)) << "pinned until the next click";
    session.view.zoom = 0;  // the pin is a picture pixel: zooming keeps it
    explain_panel_pointer(panel, session, ClientPoint{0, 0});
    EXPECT_EQ(panel.text, text_of(11, 3));
    explain_panel_click(panel, session, ClientPoint{6, 7});  // another pixel re-pins: (10, 7) at 4,0 scroll
    EXPECT_EQ(panel.text, text_of(10, 7));
    explain_panel_click(panel, session, ClientPoint{700, 500});  // beside the picture: unpinned
    EXPECT_EQ(panel.text, text_of(10, 7));
    EXPECT_EQ(panel.heading.rfind("Следует за курсором", 0), 0u) << panel.heading;
    explain_panel_pointer(panel, session, ClientPoint{0, 1});
    EXPECT_EQ(panel.text, text_of(4, 1));
}

TEST_F(PanelTest, TextFollowsCommandsUndoAndOpening)
{
    ASSERT_TRUE(open_picture(session, random_record(9, 7, 5)));
    explain_panel_click(panel, session, ClientPoint{4, 3});
    const std::string opened = panel.text;
    EXPECT_EQ(explain_pixel(session, 4, 3)->status, ExplainStatus::NothingToExplain);
    EXPECT_EQ(opened, text_of(4, 3));

    run_command(session, kFakeWindow, IDM_NEGATIVE);
    EXPECT_TRUE(explain_panel_pointer(panel, session, std::nullopt));
    EXPECT_EQ(panel.text, text_of(4, 3));
    EXPECT_NE(panel.text, opened);
    const std::string negative = panel.text;
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_TRUE(explain_panel_pointer(panel, session, std::nullopt));
    EXPECT_EQ(panel.text, opened) << "undo brings back the opened picture's text";
    run_command(session, kFakeWindow, IDM_UNDO);
    explain_panel_pointer(panel, session, std::nullopt);
    EXPECT_EQ(panel.text, negative);

    // Grayscale from the negative over its source: undo shows a picture
    // whose source is gone, though no buffer moved.
    run_command(session, kFakeWindow, IDM_GRAYSCALE);
    run_command(session, kFakeWindow, IDM_UNDO);
    explain_panel_pointer(panel, session, std::nullopt);
    EXPECT_EQ(explain_pixel(session, 4, 3)->status, ExplainStatus::SourceGone);
    EXPECT_EQ(panel.text, text_of(4, 3));

    // A smaller picture opened: the pin lies outside it until the next click.
    ASSERT_TRUE(open_picture(session, random_record(3, 3, 6)));
    explain_panel_pointer(panel, session, std::nullopt);
    EXPECT_EQ(panel.text, "");
    EXPECT_NE(panel.heading.find("вне изображения"), std::string::npos);
    explain_panel_click(panel, session, ClientPoint{2, 2});
    EXPECT_EQ(panel.text, text_of(2, 2));
}

TEST_F(PanelTest, ALanguageChosenRemakesTheTextsAtTheNextCall)
{
    ASSERT_TRUE(open_picture(session, random_record(9, 7, 5)));
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    explain_panel_click(panel, session, ClientPoint{4, 3});
    const std::string russian = panel.text;
    ASSERT_TRUE(text::set_language("en"));
    EXPECT_TRUE(explain_panel_pointer(panel, session, std::nullopt));
    const std::string heading = panel.heading, english = panel.text;
    text::set_language("ru");
    EXPECT_EQ(heading, "Pinned by a click: pixel (4, 3). A click on another pixel pins that one; a click outside the "
                       "picture goes back to following the pointer.");
    EXPECT_EQ(english.rfind("Negative\nPixel (4, 3)\n", 0), 0u) << english;
    EXPECT_TRUE(explain_panel_pointer(panel, session, std::nullopt));
    EXPECT_EQ(panel.text, russian);
}

}  // namespace

TEST(WrapExplanation, BreaksTextAtBlanksAndKeepsRowsOfNumbersWhole)
{
    const std::string text = "Фильтр Собела\n"
                             "Длина √(Gx² + Gy²) до округления: 10,7703\n"
                             "   73   81   69   73   81   69\n"
                             "Слово_длиннее_панели\n";
    const std::vector<std::string> want = {"Фильтр Собела",
                                           "Длина √(Gx² + Gy²)",
                                           "  до округления:",
                                           "  10,7703",
                                           "   73   81   69   73   81   69",
                                           "Слово_длиннее_панели"};
    EXPECT_EQ(wrap_explanation(text, 18), want);
    EXPECT_EQ(wrap_explanation(text, 80).size(), 4u) << "a wide panel breaks nothing";
}
