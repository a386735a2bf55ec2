// The help menu: where a program finds its guide, what F1 does with it, and
// the about box.
#include <gtest/gtest.h>

#include <fstream>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "lumaforge_version.h"
#include "shell/guide_location.h"
#include "tests/support/fake_platform.h"
#include "text/catalogue.h"

namespace {

namespace fs = std::filesystem;

class HelpMenu : public SessionTest {};

void write_page(const fs::path& folder)
{
    fs::create_directories(folder);
    std::ofstream(folder / "index.html") << "<!DOCTYPE html>";
}

TEST(GuideLocation, BesideTheProgramThenThePackagesDocsThenTheBuildTree)
{
    const fs::path top = fs::temp_directory_path() / "lumaforge-guide-test";
    fs::remove_all(top);
    const fs::path bin = top / "prefix" / "bin";
    fs::create_directories(bin);
    EXPECT_EQ(find_guide(bin), "") << "no guide anywhere";

    write_page(top / "docs" / "guide");  // bin/../../docs: the build tree's place
    EXPECT_EQ(find_guide(bin), (top / "docs" / "guide" / "index.html").string());
    write_page(top / "prefix" / "share" / "doc" / "lumaforge" / "guide");
    EXPECT_EQ(find_guide(bin), (top / "prefix" / "share" / "doc" / "lumaforge" / "guide" / "index.html").string());
    write_page(bin / "guide");
    EXPECT_EQ(find_guide(bin), (bin / "guide" / "index.html").string());

    // In English: the English page, the Russian one where the English is missing.
    ASSERT_TRUE(text::set_language("en"));
    const std::string russian_only = find_guide(bin);
    write_page(bin / "guide" / "en");
    const std::string english = find_guide(bin);
    text::set_language("ru");
    EXPECT_EQ(russian_only, (bin / "guide" / "index.html").string());
    EXPECT_EQ(english, (bin / "guide" / "en" / "index.html").string());
    EXPECT_EQ(find_guide(bin), (bin / "guide" / "index.html").string()) << "Russian again";
    fs::remove_all(top);
}

TEST_F(HelpMenu, F1ShowsTheGuideOrSaysItIsMissing)
{
    const CommandRow* guide = find_command(IDM_GUIDE);
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(shortcut_text(guide->accelerator), "F1");

    fake.guide = "/usr/share/doc/lumaforge/guide/index.html";
    run_command(session, kFakeWindow, IDM_GUIDE);
    ASSERT_EQ(fake.documents.size(), 1u);
    EXPECT_EQ(fake.documents[0], fake.guide);
    EXPECT_TRUE(fake.messages.empty());

    fake.documents_open = false;  // no browser to show it
    run_command(session, kFakeWindow, IDM_GUIDE);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_NE(fake.messages[0].text.find(fake.guide), std::string::npos);

    fake.guide.clear();
    run_command(session, kFakeWindow, IDM_GUIDE);
    EXPECT_EQ(fake.documents.size(), 2u) << "nothing to show without a guide";
    ASSERT_EQ(fake.messages.size(), 2u);
    EXPECT_EQ(fake.messages[1].caption, "Руководство");
}

TEST_F(HelpMenu, AboutNamesTheVersionAndTheGuide)
{
    fake.guide = "C:\\Lumaforge\\guide\\index.html";
    run_command(session, kFakeWindow, IDM_ABOUT);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].caption, "О программе");
    const std::string& text = fake.messages[0].text;
    EXPECT_NE(text.find("Lumaforge " LUMAFORGE_VERSION), std::string::npos);
    EXPECT_NE(text.find(fake.guide), std::string::npos);
    EXPECT_NE(text.find("Лицензия"), std::string::npos);
}

}  // namespace
