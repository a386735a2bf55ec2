#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "image/file_write.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> listing(const fs::path& dir)
{
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    return names;
}

class FileWrite : public ::testing::Test {
protected:
    void TearDown() override { test_seam::fail_file_writes_after(-1); }
};

TEST_F(FileWrite, BmpFilesHoldTheHeaderAndTheBlockByteForByte)
{
    const fs::path dir = scratch_dir();
    for (int w : {1, 2, 3, 4, 301}) {
        const ImageRecord r = random_record(w, 7, static_cast<std::uint32_t>(w));
        std::string error;
        ASSERT_TRUE(write_bmp_file(dir / "out.bmp", r.width, r.height, r.pixels.get(), error)) << error;
        EXPECT_EQ(read_file(dir / "out.bmp"), encode_bmp(r.width, r.height, r.pixels.get())) << w;

        // The same picture from top-down rows lying further apart than a
        // file row: only each row's file bytes go out, bottom row first.
        const std::size_t stride = r.stride(), wide = stride + 8;
        std::vector<std::uint8_t> top_down(wide * r.height, 0xEE);
        for (std::size_t y = 0; y < r.height; ++y)
            std::memcpy(top_down.data() + (r.height - 1 - y) * wide, r.pixels.get() + y * stride, stride);
        ASSERT_TRUE(write_bmp_file_top_down(dir / "view.bmp", r.width, r.height, top_down.data(), wide, error));
        EXPECT_EQ(read_file(dir / "view.bmp"), read_file(dir / "out.bmp")) << w;
    }
    EXPECT_EQ(listing(dir).size(), 2u) << "no temporary file left";
}

TEST_F(FileWrite, AMissingFolderFailsWithAReasonAndLeavesNothing)
{
    const fs::path dir = scratch_dir();
    const ImageRecord r = random_record(4, 4, 1);
    std::string error;
    EXPECT_FALSE(write_bmp_file(dir / "absent" / "out.bmp", r.width, r.height, r.pixels.get(), error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_TRUE(listing(dir).empty());
}

TEST_F(FileWrite, AFailedWriteLeavesTheOldFileAsItWas)
{
    const fs::path dir = scratch_dir(), target = dir / "picture.bmp";
    const std::vector<std::uint8_t> old_bytes = {'o', 'l', 'd'};
    write_file(target, old_bytes);
    const ImageRecord r = random_record(40, 30, 2);
    for (std::int64_t cut : {0, 54, 1000}) {  // before, at and after the header's end
        test_seam::fail_file_writes_after(cut);
        std::string error;
        EXPECT_FALSE(write_bmp_file(target, r.width, r.height, r.pixels.get(), error)) << cut;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(read_file(target), old_bytes) << cut;
        EXPECT_EQ(listing(dir), std::vector<fs::path>{"picture.bmp"}) << cut;
    }

    // A folder is refused; one that appears while the file is written
    // fails the rename at the end.
    test_seam::fail_file_writes_after(-1);
    fs::create_directory(dir / "folder.bmp");
    std::string error;
    EXPECT_FALSE(write_bmp_file(dir / "folder.bmp", r.width, r.height, r.pixels.get(), error));
    EXPECT_FALSE(error.empty());
    ReplacingFile late(dir / "late.bmp");
    ASSERT_TRUE(late.write("bytes", 5));
    fs::create_directory(dir / "late.bmp");
    EXPECT_FALSE(late.commit());
    EXPECT_FALSE(late.error().empty());
    EXPECT_TRUE(fs::is_directory(dir / "folder.bmp") && fs::is_empty(dir / "late.bmp"));
    EXPECT_EQ(listing(dir).size(), 3u);
}

TEST_F(FileWrite, AReplacedFileKeepsItsPermissionsAndItsLinksAndDevicesAreWrittenTo)
{
    const fs::path dir = scratch_dir(), target = dir / "picture.bmp";
    write_file(target, {'o', 'l', 'd'});
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, perms);
    std::error_code no_links;
    fs::create_symlink("picture.bmp", dir / "link.bmp", no_links);

    ReplacingFile file(no_links ? target : dir / "link.bmp");
    ASSERT_TRUE(file.ok()) << file.error();
    ASSERT_TRUE(file.write("new", 3));
    EXPECT_EQ(read_file(target), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << "untouched until the commit";
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(read_file(target), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, perms);
    if (!no_links) {
        EXPECT_TRUE(fs::is_symlink(dir / "link.bmp"));
    }
#ifndef _WIN32
    ReplacingFile device("/dev/null");  // written straight to, as -o /dev/stdout is
    EXPECT_TRUE(device.write("x", 1) && device.commit()) << device.error();
#endif
}

}  // namespace
