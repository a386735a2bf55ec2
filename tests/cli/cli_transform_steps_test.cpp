#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "image/bmp.h"
#include "image/image_record.h"
#include "ops/operations.h"
#include "ops/segment/segment.h"
#include "tests/reference/transforms_reference.h"
#include "tests/support/images.h"

namespace {

// Runs the command-line tool; returns its standard output and exit status.
std::string run_cli(const std::string& args, int& status)
{
    const std::string command = std::string(LUMAFORGE_CLI) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    status = pipe == nullptr ? -1 : pclose(pipe);
    return out;
}

// The frames come in picture coordinates, whatever the view's scroll.
TEST(CliTransformSteps, SegmentPrintsTheFramesWhateverTheScroll)
{
    const std::string text = std::string(LUMAFORGE_SAMPLES) + "/text.bmp";
    ImageRecord picture;
    ASSERT_EQ(load_bmp(text, picture), LoadResult::Loaded);
    std::ostringstream expected;
    const auto frames = find_segment_frames(picture);
    ASSERT_TRUE(frames);
    for (const SegmentFrame& f : *frames)
        expected << "frame " << f.seg_start << ' ' << f.seg_end << ' ' << f.bottom << ' ' << f.top << '\n';
    ASSERT_FALSE(expected.str().empty());
    for (const char* scroll : {"0,0", "13,-4"}) {
        int status = 0;
        EXPECT_EQ(run_cli(text + " segment --scroll " + scroll, status), expected.str()) << scroll;
        EXPECT_EQ(status, 0);
    }
}

TEST(CliTransformSteps, TransformStepsMatchTheLiteralTransforms)
{
    const std::string square = std::string(LUMAFORGE_SAMPLES) + "/square.bmp";
    const auto out = scratch_dir() / "out.bmp";
    int status = 0;
    run_cli(square + " walsh-2d=64 fft-2d=8 walsh-inverse fft-linear=32 -o " + out.string(), status);
    ASSERT_EQ(status, 0);

    ImageRecord expected, written;
    ASSERT_EQ(load_bmp(square, expected), LoadResult::Loaded);
    reference::walsh_block(expected, 2, +1, 64);
    reference::walsh_block(expected, 2, -1, 0);
    reference::fft_block(expected, 1, +1, 32);
    ASSERT_EQ(load_bmp(out, written), LoadResult::Loaded);
    EXPECT_EQ(std::memcmp(written.pixels.get(), expected.pixels.get(), expected.pixels.size()), 0);

    run_cli(square + " fft-2d=1024", status);
    EXPECT_NE(status, 0) << "a block larger than the picture is a usage error";
}

}  // namespace
