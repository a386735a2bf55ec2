#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/bmp.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "text/catalogue.h"

namespace {

// Every test here leaves the program in Russian, as every other test expects.
class Texts : public SessionTest {
protected:
    ~Texts() override { text::set_language("ru"); }
};

// A third, partial language that only the tests know: two forms of a noun,
// a decimal point, and one of the core's messages but not the others.
const char* const kPartialPairs[] = {
    "Не хватает памяти для этой операции.", "xx: no memory",
    "%1 проход|%1 прохода|%1 проходов",    "%1 pass|%1 passes",
};
void add_partial_language()
{
    static const bool added = [] {
        text::add_catalogue({"xx", "Test", '.', 2, kPartialPairs, 2});
        return true;
    }();
    (void)added;
}

TEST_F(Texts, RussianIsTheSourceItselfAndEnglishComesFromItsCatalogue)
{
    EXPECT_EQ(text::language(), "ru");
    const char* const russian = kOutOfMemory;  // one pointer: each use of the constant may be another copy
    EXPECT_EQ(text::tr(russian), russian) << "the very same pointer";
    EXPECT_EQ(text::decimal_point(), ',');

    ASSERT_TRUE(text::set_language("en"));
    EXPECT_EQ(text::language(), "en");
    EXPECT_STREQ(text::tr(kOutOfMemory), "There is not enough memory for this operation.");
    EXPECT_EQ(text::tr(std::string_view(kLoadCaption)), "Loading a File");
    const char* unknown = "Такого текста нет ни в одном каталоге";
    EXPECT_EQ(text::tr(unknown), unknown);
    EXPECT_EQ(text::decimal_point(), '.');

    EXPECT_FALSE(text::set_language("zz"));
    EXPECT_EQ(text::language(), "en") << "an unknown code changes nothing";
}

TEST_F(Texts, FormatFillsThePlaceholdersOfTheTranslatedPattern)
{
    const char* pattern = "Вес в строке %1, столбце %2 должен быть целым числом от -255 до 255.";
    EXPECT_EQ(text::format(pattern, {"3", "12"}), "Вес в строке 3, столбце 12 должен быть целым числом от -255 до 255.");
    text::set_language("en");
    EXPECT_EQ(text::format(pattern, {"3", "12"}), "The weight in row 3, column 12 must be a whole number from -255 to 255.");
    EXPECT_EQ(text::format("%2-%1 %3%", {"a", "b"}), "b-a %3%") << "a placeholder without an argument stays";
}

TEST_F(Texts, PluralFormsFollowEachLanguagesRule)
{
    add_partial_language();
    const char* forms = "%1 проход|%1 прохода|%1 проходов";
    const std::vector<std::pair<long long, const char*>> russian = {
        {1, "1 проход"},     {2, "2 прохода"},   {5, "5 проходов"},    {11, "11 проходов"},
        {21, "21 проход"},   {22, "22 прохода"}, {0, "0 проходов"},    {112, "112 проходов"}};
    for (const auto& [n, expected] : russian) EXPECT_EQ(text::plural(n, forms), expected) << n;
    ASSERT_TRUE(text::set_language("xx"));
    for (const auto& [n, expected] : std::vector<std::pair<long long, const char*>>{
             {1, "1 pass"}, {2, "2 passes"}, {5, "5 passes"}, {11, "11 passes"}, {21, "21 passes"}, {0, "0 passes"}})
        EXPECT_EQ(text::plural(n, forms), expected) << n;
    text::set_language("en");
    EXPECT_EQ(text::plural(21, forms), "21 проход") << "a text no catalogue has keeps the Russian rule";
}

TEST_F(Texts, APartialCatalogueFallsBackToRussianAndListsWhatItLacks)
{
    add_partial_language();
    const auto languages = text::languages();
    ASSERT_GE(languages.size(), 3u);
    EXPECT_EQ(languages[0].code, "ru");
    EXPECT_EQ(languages[0].name, "Русский");
    EXPECT_EQ(languages.back().code, "xx");

    ASSERT_TRUE(text::set_language("xx"));
    EXPECT_STREQ(text::tr(kOutOfMemory), "xx: no memory");
    const char* const lacking = kErrorCaption;
    EXPECT_EQ(text::tr(lacking), lacking);
    EXPECT_EQ(text::decimal_point(), '.');

    const std::vector<std::string> wanted = {kOutOfMemory, kErrorCaption, kLoadCaption};
    EXPECT_EQ(text::missing_texts("xx", wanted), (std::vector<std::string>{kErrorCaption, kLoadCaption}));
    EXPECT_TRUE(text::missing_texts("en", wanted).empty());
    EXPECT_TRUE(text::missing_texts("ru", wanted).empty());
}

// The view menu's language items switch the texts and nothing else.
TEST_F(Texts, SwitchingTheLanguageKeepsPicturesZoomAndJournal)
{
    const auto dir = scratch_dir();
    write_file(dir / "t.bmp", bmp_file_bytes(bmp_of(random_record(9, 6, 5))));
    fake.files.push_back(dir / "t.bmp");
    run_command(session, kFakeWindow, IDM_OPEN);
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    run_command(session, kFakeWindow, IDM_ZOOM_IN);
    ASSERT_TRUE(session.images.current_image != nullptr);
    const ImageRecord* shown = session.images.current_image;
    const std::vector<std::uint8_t> pixels(shown->pixels.get(), shown->pixels.get() + shown->data_size);
    const int zoom = session.view.zoom;
    const std::vector<std::string> steps = session.journal.steps;

    run_command(session, kFakeWindow, kFirstLanguageId + 1);
    EXPECT_EQ(text::language(), "en");
    EXPECT_EQ(fake.language_changes, 1);
    EXPECT_EQ(fake.remembered_language, "en");
    ASSERT_EQ(session.images.current_image, shown);
    EXPECT_EQ(std::memcmp(shown->pixels.get(), pixels.data(), pixels.size()), 0);
    EXPECT_EQ(session.view.zoom, zoom);
    EXPECT_EQ(session.journal.steps, steps);

    // What the core shows from now on is in English.
    fake.files.push_back(dir / "missing.bmp");
    run_command(session, kFakeWindow, IDM_OPEN);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].caption, "Loading a File");
    EXPECT_EQ(fake.messages[0].text, "Cannot be loaded!");
    fake.dialog_answers.push_back({DialogAnswer::OkAtInitial, 0});
    run_command(session, kFakeWindow, IDM_BINARIZE);
    EXPECT_EQ(fake.shown.title, "Binarization threshold");

    run_command(session, kFakeWindow, kFirstLanguageId);
    EXPECT_EQ(text::language(), "ru");
    EXPECT_EQ(fake.remembered_language, "ru");
    EXPECT_EQ(fake.language_changes, 2);
    EXPECT_EQ(session.journal.steps.size(), steps.size() + 1) << "only the binarization was added";
}

}  // namespace
