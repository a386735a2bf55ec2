// Save As through the dispatcher: the picture on display written as a BMP
// byte for byte, a failure shown with the file and the reason while the
// session and any file already there stay as they were.
#include <gtest/gtest.h>

#include <cstring>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/picture_files.h"
#include "image/bmp.h"
#include "image/file_write.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "image/test_seam.h"

namespace {

class SaveAs : public SessionTest {
protected:
    void SetUp() override
    {
        dir = scratch_dir();
        ASSERT_TRUE(open_picture(session, random_record(13, 7, 31)));
        run_command(session, kFakeWindow, IDM_NEGATIVE);
        ASSERT_EQ(session.images.current_image, &session.images.image_b);
        reset_fake();
    }
    void TearDown() override { test_seam::fail_file_writes_after(-1); }

    void save(const std::filesystem::path& file)
    {
        fake.files.push_back(file);
        run_command(session, kFakeWindow, IDM_SAVE_AS);
    }

    // The picture on display and the store are as the test left them.
    void expect_session_unchanged(const ImageRecord& shown)
    {
        EXPECT_EQ(session.images.current_image, &session.images.image_b);
        EXPECT_TRUE(same_record(shown, session.images.image_b));
        EXPECT_EQ(fake.repaints, 0);
        EXPECT_EQ(fake.busy_depth, 0);
    }

    std::filesystem::path dir;
};

TEST_F(SaveAs, WritesThePictureOnDisplayAsABmpByteForByte)
{
    const ImageRecord shown = clone(session.images.image_b);
    save(dir / "result.bmp");
    save(dir / "no-extension");  // the chooser had no extension to add: BMP
    EXPECT_TRUE(fake.messages.empty());
    expect_session_unchanged(shown);
    for (const char* name : {"result.bmp", "no-extension"}) {
        const auto bytes = read_file(dir / name);
        ASSERT_EQ(bytes.size(), kBmpHeaderSize + static_cast<std::size_t>(shown.data_size)) << name;
        EXPECT_EQ(std::memcmp(bytes.data() + kBmpHeaderSize, shown.pixels.get(), bytes.size() - kBmpHeaderSize), 0);
        ImageRecord back;
        ASSERT_EQ(load_bmp(dir / name, back), LoadResult::Loaded);
        EXPECT_TRUE(same_record(shown, back)) << name;
    }
}

TEST_F(SaveAs, NothingLoadedOrCancelledDoesNothing)
{
    fake.files.push_back(std::nullopt);
    run_command(session, kFakeWindow, IDM_SAVE_AS);
    EXPECT_EQ(fake.file_dialogs_shown, 1);
    EXPECT_TRUE(fake.messages.empty());

    Session empty;
    fake.files.push_back(dir / "never.bmp");
    run_command(empty, kFakeWindow, IDM_SAVE_AS);
    EXPECT_EQ(fake.file_dialogs_shown, 1) << "no chooser without a picture";
    EXPECT_FALSE(std::filesystem::exists(dir / "never.bmp"));
}

TEST_F(SaveAs, AFailureNamesTheFileAndTheReasonAndKeepsTheOldFile)
{
    const ImageRecord shown = clone(session.images.image_b);
    const auto missing = dir / "no such folder" / "x.bmp";
    save(missing);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].caption, kSaveCaption);
    EXPECT_NE(fake.messages[0].text.find(missing.string()), std::string::npos) << fake.messages[0].text;
    EXPECT_NE(fake.messages[0].text.find("Нет такой папки."), std::string::npos) << fake.messages[0].text;
    EXPECT_FALSE(std::filesystem::exists(missing));

    // A full disk half-way through replacing a file leaves the file whole.
    const auto existing = dir / "kept.bmp";
    write_file(existing, {1, 2, 3});
    test_seam::fail_file_writes_after(100);
    save(existing);
    test_seam::fail_file_writes_after(-1);
    ASSERT_EQ(fake.messages.size(), 2u);
    EXPECT_NE(fake.messages[1].text.find("Диск переполнен."), std::string::npos) << fake.messages[1].text;
    EXPECT_EQ(read_file(existing), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no temporary file left";

    save(dir / "picture.unknown");
    ASSERT_EQ(fake.messages.size(), 3u);
    EXPECT_NE(fake.messages[2].text.find("Не умею сохранять в формате .unknown"), std::string::npos);
    expect_session_unchanged(shown);
}

}  // namespace
