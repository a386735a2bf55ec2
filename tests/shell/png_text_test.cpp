#include <gtest/gtest.h>

#include "commands/picture_files.h"
#include "commands/platform.h"
#include "shell/png_text.h"
#include "tests/support/images.h"

namespace {

// A chunk put in by the page (or by the Windows program where its encoder
// has no text writer) is read by this platform's decoder and by png_text;
// a chunk whose checksum fails is not read.
TEST(PngText, InsertedChunkReadsBackEverywhere)
{
    const ImageRecord picture = random_record(17, 9, 3);
    const auto plain = scratch_dir() / "plain.png";
    SaveFailure failure;
    ASSERT_TRUE(save_picture(picture, plain, failure));
    std::vector<std::uint8_t> bytes = read_file(plain);
    const std::string text = "lumaforge-recipe 1\nstep noise=2@5\n";
    EXPECT_FALSE(png_text(bytes, "lumaforge-recipe"));
    ASSERT_TRUE(add_png_text(bytes, "lumaforge-recipe", text));
    EXPECT_EQ(png_text(bytes, "lumaforge-recipe"), text);
    EXPECT_FALSE(png_text(bytes, "lumaforge"));
    const auto with_text = scratch_dir() / "text.png";
    write_file(with_text, bytes);
    std::string read;
    ASSERT_TRUE(read_picture_text(with_text, "lumaforge-recipe", read));
    EXPECT_EQ(read.substr(0, 18), text.substr(0, 18));
    ImageRecord back;
    ASSERT_EQ(load_picture(with_text, back), LoadResult::Loaded);
    for (int y = 0; y < 9; ++y)
        EXPECT_TRUE(std::equal(back.pixel(0, y), back.pixel(0, y) + 3 * 17, picture.pixel(0, y))) << "row " << y;

    bytes[8 + 25 + 12] ^= 1;  // inside the text: its checksum no longer holds
    EXPECT_FALSE(png_text(bytes, "lumaforge-recipe"));
}

}  // namespace
