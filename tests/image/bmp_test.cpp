#include <gtest/gtest.h>

#include <cstring>

#include "image/bmp.h"
#include "image/image_record.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

class BmpReader : public ::testing::Test {
protected:
    // Writes the file and loads it; returns load_bmp's result.
    LoadResult load(const BmpFields& fields) { return load_bytes(bmp_file_bytes(fields)); }
    LoadResult load_bytes(const std::vector<std::uint8_t>& bytes)
    {
        const auto path = scratch_dir() / "picture.bmp";
        write_file(path, bytes);
        return load_path(path);
    }
    LoadResult load_path(const std::filesystem::path& path) { return last = load_bmp(path, image); }
    void expect_refused(const char* text)
    {
        ASSERT_NE(last, LoadResult::Loaded);
        EXPECT_STREQ(load_refusal_text(last), text);
        EXPECT_FALSE(image.pixels);
    }

    ImageRecord image;
    LoadResult last = LoadResult::Loaded;
};

TEST_F(BmpReader, PaddingAndDataSizeFollowTheWidth)
{
    const int expected_padding[] = {0, 1, 2, 3, 0, 1};
    for (int w = 1; w <= 5; ++w) {
        ImageRecord r = random_record(w, 3, static_cast<std::uint32_t>(w));
        ASSERT_EQ(load(bmp_of(r)), LoadResult::Loaded) << w;
        EXPECT_EQ(image.row_padding, expected_padding[w]);
        EXPECT_EQ(image.data_size, (3 * w + expected_padding[w]) * 3);
        EXPECT_EQ(0, std::memcmp(image.pixels.get(), r.pixels.get(), r.data_size)) << "pixels copied unchanged";
        image.pixels.reset();
    }
    ASSERT_EQ(load(bmp_of(random_record(2, 2, 1))), LoadResult::Loaded);
    EXPECT_EQ(image.data_size, 16);
}

TEST_F(BmpReader, PixelsComeFromTheStatedOffsetWhateverTheHeaderSays)
{
    ImageRecord r = random_record(7, 5, 3);
    for (std::uint32_t header : {40u, 108u, 124u}) {
        BmpFields s = bmp_of(r);
        s.header_size = header;
        s.pixel_offset = 14 + header + 64;  // a colour table or gap in between
        s.colours_used = 16;                // declares a colour table: still loads
        ASSERT_EQ(load(s), LoadResult::Loaded);
        EXPECT_EQ(0, std::memcmp(image.pixels.get(), r.pixels.get(), r.data_size));
        EXPECT_EQ(image.width, 7);
        EXPECT_EQ(image.height, 5);
        image.pixels.reset();
    }
}

TEST_F(BmpReader, RefusalsCarryTheirTextsInTheOrderOfTheChecks)
{
    EXPECT_NE(load_path(scratch_dir() / "missing.bmp"), LoadResult::Loaded);
    expect_refused("Не грузится!");

    for (auto bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'B'},
                       std::vector<std::uint8_t>{'M', 'B', 0, 0}}) {
        EXPECT_NE(load_bytes(bytes), LoadResult::Loaded);
        expect_refused("Это не BMP-а");
    }

    BmpFields eight = bmp_of(random_record(4, 4, 1));
    eight.bit_count = 8;
    eight.compression = 1;  // bit count is checked before compression
    EXPECT_NE(load(eight), LoadResult::Loaded);
    expect_refused("Не умею грузить файлы с таким количеством цветов!");

    BmpFields thirty_two = eight;
    thirty_two.bit_count = 32;
    EXPECT_NE(load(thirty_two), LoadResult::Loaded);
    expect_refused("Не умею грузить файлы с таким количеством цветов!");

    BmpFields rle = bmp_of(random_record(4, 4, 1));
    rle.compression = 1;
    EXPECT_NE(load(rle), LoadResult::Loaded);
    expect_refused("Эта картинка утоптана RLE, влом разжимать.");
}

TEST_F(BmpReader, ShortFilesAreRefusedAsFailedReads)
{
    ImageRecord r = random_record(5, 4, 9);
    for (std::size_t cut : {std::size_t{13}, std::size_t{20}, std::size_t{29}, std::size_t{33},
                            std::size_t{54 + 10}, static_cast<std::size_t>(54 + r.data_size - 1)}) {
        BmpFields s = bmp_of(r);
        s.truncate_to = cut;
        EXPECT_NE(load(s), LoadResult::Loaded) << cut;
        expect_refused("Облом при чтении!!!");
    }
    BmpFields beyond = bmp_of(r);
    beyond.pixel_offset = 0xFFFFFFFFu;
    beyond.pixel_array.clear();
    EXPECT_NE(load(beyond), LoadResult::Loaded);
    expect_refused("Облом при чтении!!!");
}

TEST_F(BmpReader, SizesBeyondTheRecordAreRefusedBeforeAllocating)
{
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {70000, 1}, {-127, 4}, {4, 70000}, {INT32_MIN, 1}, {1, INT32_MIN}, {65535, 65535}, {3000000, 2000000}};
    for (auto [w, h] : sizes) {
        BmpFields s;
        s.width = w;
        s.height = h;
        s.pixel_array.assign(64, 1);
        EXPECT_NE(load(s), LoadResult::Loaded) << w << "x" << h;
        expect_refused("Слишком большая картинка!");
    }
}

TEST_F(BmpReader, TopDownFilesAreStoredBottomUp)
{
    ImageRecord r = random_record(3, 4, 5);
    BmpFields s = bmp_of(r);
    // Reverse the rows and mark the file top-down.
    const std::size_t stride = r.stride();
    for (int y = 0; y < 4; ++y)
        std::memcpy(s.pixel_array.data() + y * stride, r.pixels.get() + (3 - y) * stride, stride);
    s.height = -4;
    ASSERT_EQ(load(s), LoadResult::Loaded);
    EXPECT_EQ(image.height, 4);
    EXPECT_EQ(0, std::memcmp(image.pixels.get(), r.pixels.get(), r.data_size));
}

TEST_F(BmpReader, EmptyPicturesLoadWithoutPixels)
{
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        BmpFields s;
        s.width = w;
        s.height = h;
        ASSERT_EQ(load(s), LoadResult::Loaded);
        EXPECT_TRUE(image.pixels) << "an image without pixels still holds a block";
        EXPECT_EQ(image.data_size, 0);
        EXPECT_EQ(image.max_luma, 0);
        EXPECT_EQ(image.mean_r, 0);
        image.pixels.reset();
    }
}

TEST_F(BmpReader, NonAsciiPathsAndFilesNotLeftOpen)
{
    const auto path = scratch_dir() / std::filesystem::path(u8"Картинка ёж.bmp");
    write_file(path, bmp_file_bytes(bmp_of(random_record(4, 2, 2))));
    EXPECT_EQ(load_path(path), LoadResult::Loaded);

    // After a refusal the file can be replaced and loaded at once.
    BmpFields bad = bmp_of(random_record(4, 2, 2));
    bad.compression = 2;
    write_file(path, bmp_file_bytes(bad));
    image.pixels.reset();
    EXPECT_NE(load_path(path), LoadResult::Loaded);
    std::filesystem::remove(path);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(BmpReader, AllocationFailureIsRefusedAsTooLarge)
{
    const auto path = scratch_dir() / "p.bmp";
    write_file(path, bmp_file_bytes(bmp_of(random_record(4, 4, 1))));
    test_seam::heap_fail_at(1);
    EXPECT_NE(load_path(path), LoadResult::Loaded);
    test_seam::heap_fail_at(0);
    expect_refused("Слишком большая картинка!");
}

TEST(BmpWriter, RoundTripsAPixelBlockByteForByte)
{
    ImageRecord r = random_record(5, 3, 77);
    const auto bytes = encode_bmp(r.width, r.height, r.pixels.get());
    ASSERT_EQ(bytes.size(), 54u + r.data_size);
    EXPECT_EQ(bytes[10], 54);
    EXPECT_EQ(bytes[14], 40);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(0, std::memcmp(bytes.data() + 54, r.pixels.get(), r.data_size));
}

}  // namespace
