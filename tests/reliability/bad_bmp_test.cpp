// Hostile files through the open command, as a user would meet them: each
// gets its message or loads, takes no more memory than its bytes can fill,
// and a refusal leaves both records, the one on display and their pending
// transforms as they were.
#include <gtest/gtest.h>

#include <cstring>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/bmp.h"
#include "image/statistics.h"
#include "tests/support/bad_bmps.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "image/test_seam.h"

namespace {

class HostileFiles : public SessionTest {
protected:
    void TearDown() override
    {
        test_seam::heap_fail_at(0);
    }

    // A picture on display, its negative in the other record and a pending
    // transform on each: a refused open must keep all of it.
    void fill_both_records()
    {
        ASSERT_TRUE(open_picture(session, random_record(9, 7, 11)));
        run_command(session, kFakeWindow, IDM_NEGATIVE);
        ASSERT_EQ(session.images.current_image, &session.images.image_b);
        give_pending_transform(session.images.image_a, TRANSFORM_FFT_2D, 4);
        give_pending_transform(session.images.image_b, TRANSFORM_WALSH_LINEAR, 2);
        before_ = {session.images.image_a.pixels.get(), session.images.image_b.pixels.get(),
                   session.images.image_a.coef_re_r.get(), session.images.image_b.coef_re_r.get()};
        reset_fake();
        test_seam::heap_fail_at(0);
    }

    void open_bytes(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const auto path = scratch_dir() / (name + ".bmp");
        write_file(path, bytes);
        fake.files.push_back(path);
        test_seam::heap_fail_at(0);
        run_command(session, kFakeWindow, IDM_OPEN);
    }

    void expect_kept_as_it_was()
    {
        EXPECT_EQ(session.images.current_image, &session.images.image_b);
        const std::vector<const void*> now = {session.images.image_a.pixels.get(), session.images.image_b.pixels.get(),
                                              session.images.image_a.coef_re_r.get(),
                                              session.images.image_b.coef_re_r.get()};
        EXPECT_EQ(now, before_);
        EXPECT_EQ(session.images.image_a.transform_state, TRANSFORM_FFT_2D);
        EXPECT_EQ(session.images.image_b.transform_state, TRANSFORM_WALSH_LINEAR);
        EXPECT_TRUE(store_invariants_hold(session));
    }

    void expect_refused_with(const char* text)
    {
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_EQ(fake.messages[0].caption, kLoadCaption);
        EXPECT_EQ(fake.messages[0].text, text);
        expect_kept_as_it_was();
        // Every check comes before the block is taken.
        EXPECT_EQ(test_seam::heap_bytes_requested(), 0u);
    }

    std::vector<const void*> before_;
};

TEST_F(HostileFiles, EveryFileOfTheCorpusGetsItsMessageOrLoads)
{
    for (const BadBmp& file : bad_bmp_corpus()) {
        SCOPED_TRACE(file.name);
        fill_both_records();
        open_bytes(file.name, file.bytes);
        if (file.refusal != nullptr) {
            expect_refused_with(file.refusal);
            continue;
        }
        ASSERT_TRUE(fake.messages.empty()) << fake.messages[0].text;
        ASSERT_EQ(session.images.current_image, &session.images.image_a);
        const ExpectedPicture want = expected_picture(file.bytes);
        EXPECT_EQ(session.images.image_a.width, want.width);
        EXPECT_EQ(session.images.image_a.height, want.height);
        EXPECT_EQ(session.images.image_a.row_padding, row_padding_for(static_cast<std::uint32_t>(want.width)));
        ASSERT_EQ(session.images.image_a.pixels.size(), want.block.size());
        if (!want.block.empty()) {
            EXPECT_EQ(0, std::memcmp(session.images.image_a.pixels.get(), want.block.data(), want.block.size()));
        }
        EXPECT_FALSE(session.images.image_b.pixels);
        EXPECT_TRUE(store_invariants_hold(session));
        if (session.images.image_a.data_size > 0) {
            EXPECT_FALSE(client_area_is_blank(session)) << "a loaded picture is drawn";
        }
        EXPECT_LE(test_seam::heap_bytes_requested(), file.bytes.size()) << "more memory than the file can fill";

        ImageRecord fresh = clone(session.images.image_a);
        compute_statistics(fresh);
        EXPECT_TRUE(same_record(fresh, session.images.image_a)) << "statistics of the loaded pixels";

        // Undo right after an open has nothing to go back to.
        run_command(session, kFakeWindow, IDM_UNDO);
        EXPECT_EQ(session.images.current_image, &session.images.image_a);
    }
}

TEST_F(HostileFiles, MissingFilesAndFoldersAreRefused)
{
    fill_both_records();
    const auto dir = scratch_dir();
    fake.files.push_back(dir / "no such picture.bmp");
    run_command(session, kFakeWindow, IDM_OPEN);
    expect_refused_with(kCannotOpen);

    // A folder opens on some systems but cannot be read.
    fill_both_records();
    fake.files.push_back(dir);
    run_command(session, kFakeWindow, IDM_OPEN);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_TRUE(fake.messages[0].text == kReadFailed || fake.messages[0].text == kCannotOpen)
        << fake.messages[0].text;
    expect_kept_as_it_was();
}

TEST_F(HostileFiles, ATopDownFileShowsUpright)
{
    ImageRecord picture = random_record(6, 5, 8);
    BmpFields s = bmp_of(picture);
    const std::size_t stride = picture.stride();
    for (int y = 0; y < 5; ++y)
        std::memcpy(s.pixel_array.data() + y * stride, picture.pixels.get() + (4 - y) * stride, stride);
    s.height = -5;
    open_bytes("top-down", bmp_file_bytes(s));
    ASSERT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_TRUE(same_record(picture, session.images.image_a));
}

TEST_F(HostileFiles, AllocationFailureWhileLoadingKeepsThePictures)
{
    fill_both_records();
    const auto path = scratch_dir() / "fine.bmp";
    write_file(path, bmp_file_bytes(bmp_of(random_record(33, 9, 4))));
    fake.files.push_back(path);
    test_seam::heap_fail_at(1);
    run_command(session, kFakeWindow, IDM_OPEN);
    test_seam::heap_fail_at(0);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, kTooLarge);
    expect_kept_as_it_was();
}

}  // namespace
