#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/heap.h"
#include "ops/operations.h"
#include "ops/segment/segment.h"
#include "render/view.h"
#include "tests/reference/segment_reference.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "image/test_seam.h"

namespace {

using Ink = std::set<std::pair<int, int>>;  // (column, row from the bottom)

// White w x h with black pixels at the given points.
ImageRecord page(int w, int h, const Ink& ink)
{
    return make_record(w, h, [&ink](int x, int y) {
        return ink.count({x, y}) ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
    });
}

void add_box(Ink& ink, int x0, int x1, int y0, int y1)
{
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y) ink.insert({x, y});
}

std::vector<SegmentFrame> frames_of(const ImageRecord& r)
{
    auto frames = find_segment_frames(r);
    EXPECT_TRUE(frames.has_value());
    return frames.value_or(std::vector<SegmentFrame>{});
}

class Segmentation : public SessionTest {
protected:
    void TearDown() override
    {
        test_seam::heap_fail_at(0);
    }
};

TEST_F(Segmentation, SinglePixelFramesItselfInWindowCoordinates)
{
    install(session.images.image_a, page(30, 100, {{10, 20}}));
    session.images.current_image = &session.images.image_a;
    const ImageRecord before = clone(session.images.image_a);
    run_command(session, kFakeWindow, IDM_SEGMENT);
    ASSERT_EQ(fake.lines.size(), 4u);
    for (const WindowLine& l : fake.lines) {
        EXPECT_EQ(l.x0, 10);
        EXPECT_EQ(l.y0, 79);
        EXPECT_EQ(l.x1, 10);
        EXPECT_EQ(l.y1, 79);
    }
    EXPECT_EQ(fake.repaints, 0) << "the frames must stay until the next repaint";
    EXPECT_EQ(session.images.current_image, &session.images.image_a);
    EXPECT_EQ(std::memcmp(session.images.image_a.pixels.get(), before.pixels.get(), before.pixels.size()), 0);
    EXPECT_FALSE(session.images.image_b.pixels);

    run_command(session, kFakeWindow, IDM_SEGMENT);
    EXPECT_EQ(fake.lines.size(), 8u) << "a second run draws the same frames again";
}

TEST_F(Segmentation, EdgesInDrawingOrder)
{
    Ink ink;
    add_box(ink, 3, 6, 4, 9);
    const std::vector<WindowLine> lines = segment_frame_lines(frames_of(page(12, 20, ink)), 20, ViewState{});
    ASSERT_EQ(lines.size(), 4u);
    const int lower = 20 - 1 - 4, upper = 20 - 1 - 9;
    const WindowLine expected[] = {{3, lower, 6, lower}, {3, upper, 6, upper}, {3, lower, 3, upper}, {6, lower, 6, upper}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].x0, expected[i].x0) << i;
        EXPECT_EQ(lines[i].y0, expected[i].y0) << i;
        EXPECT_EQ(lines[i].x1, expected[i].x1) << i;
        EXPECT_EQ(lines[i].y1, expected[i].y1) << i;
    }
}

TEST_F(Segmentation, ScrolledViewMovesTheFrames)
{
    Ink ink;
    add_box(ink, 30, 34, 40, 47);
    install(session.images.image_a, page(60, 80, ink));
    session.images.current_image = &session.images.image_a;
    session.view.scroll_x = 25;
    session.view.scroll_y = 6;
    run_command(session, kFakeWindow, IDM_SEGMENT);
    ASSERT_EQ(fake.lines.size(), 4u);
    EXPECT_EQ(fake.lines[0].x0, 30 - 25);
    EXPECT_EQ(fake.lines[0].x1, 34 - 25);
    EXPECT_EQ(fake.lines[0].y0, 80 - 1 - 40 - 6);
    EXPECT_EQ(fake.lines[1].y0, 80 - 1 - 47 - 6);
    ASSERT_EQ(fake.frames.size(), 1u);
    EXPECT_EQ(fake.frames[0], (SegmentFrame{30, 34, 40, 47})) << "the frames themselves stay in picture coordinates";
}

TEST_F(Segmentation, InkIsAnyLumaBelow255)
{
    auto one_pixel = [](Bgr colour) {
        return make_record(5, 5, [colour](int x, int y) { return x == 2 && y == 2 ? colour : Bgr{255, 255, 255}; });
    };
    EXPECT_EQ(frames_of(one_pixel({255, 255, 254})).size(), 0u) << "red 254 still has luma 255";
    EXPECT_EQ(frames_of(one_pixel({255, 254, 255})), (std::vector<SegmentFrame>{{2, 2, 2, 2}})) << "green 254: luma 254";
    EXPECT_EQ(frames_of(one_pixel({254, 254, 254})).size(), 1u);
    EXPECT_EQ(frames_of(make_record(9, 9, [](int, int) { return Bgr{255, 255, 255}; })).size(), 0u);
    EXPECT_EQ(frames_of(random_record(40, 30, 3)).size(), 0u) << "no row of a photograph is ground";
}

TEST_F(Segmentation, TouchingCharactersMakeOneFrame)
{
    Ink apart, touching;
    add_box(apart, 2, 4, 3, 8);
    add_box(apart, 6, 8, 3, 6);  // one white column between
    add_box(touching, 2, 4, 3, 8);
    add_box(touching, 5, 7, 3, 6);
    EXPECT_EQ(frames_of(page(12, 12, apart)), (std::vector<SegmentFrame>{{2, 4, 3, 8}, {6, 8, 3, 6}}));
    EXPECT_EQ(frames_of(page(12, 12, touching)), (std::vector<SegmentFrame>{{2, 7, 3, 8}}));
}

TEST_F(Segmentation, InkOnTheTopRowOrTheRightEdgeIsNotFramed)
{
    Ink top;
    add_box(top, 2, 4, 5, 11);  // reaches the top row of a 12-row picture
    add_box(top, 7, 8, 1, 2);   // a band of its own below
    EXPECT_EQ(frames_of(page(12, 12, top)), (std::vector<SegmentFrame>{{7, 8, 1, 2}}));

    Ink right;
    add_box(right, 2, 4, 3, 6);
    add_box(right, 9, 11, 3, 6);  // touches the right edge of a 12-column picture
    EXPECT_EQ(frames_of(page(12, 12, right)), (std::vector<SegmentFrame>{{2, 4, 3, 6}}));
}

TEST_F(Segmentation, FramesCoverTheLowestRunOfInkRows)
{
    Ink ink;
    add_box(ink, 1, 2, 2, 12);   // a tall letter keeps the band together
    add_box(ink, 5, 5, 2, 7);    // a stem ...
    add_box(ink, 5, 5, 10, 11);  // ... and its dot, above a gap
    add_box(ink, 8, 9, 12, 12);  // ink only in the band's top row
    add_box(ink, 12, 13, 5, 12); // reaches the band's top row
    EXPECT_EQ(frames_of(page(16, 16, ink)),
              (std::vector<SegmentFrame>{{1, 2, 2, 12}, {5, 5, 2, 7}, {8, 9, 12, 12}, {12, 13, 5, 12}}));
}

// Pictures of scattered glyphs, dots and specks at many sizes, against the
// literal column-sum segmentation.
TEST_F(Segmentation, MatchesTheLiteralSegmentation)
{
    std::mt19937 rng(17);
    std::size_t framed = 0;
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + static_cast<int>(rng() % 90), h = 1 + static_cast<int>(rng() % 70);
        Ink ink;
        const int glyphs = static_cast<int>(rng() % 25);
        for (int g = 0; g < glyphs; ++g) {
            const int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
            add_box(ink, x0, std::min(w - 1, x0 + static_cast<int>(rng() % 6)), y0,
                    std::min(h - 1, y0 + static_cast<int>(rng() % 9)));
        }
        ImageRecord r = make_record(w, h, [&](int x, int y) {
            if (ink.count({x, y})) return Bgr{static_cast<std::uint8_t>(rng() % 256), 40, 40};
            return rng() % 400 == 0 ? Bgr{255, 254, 255} : Bgr{255, 255, 255};
        });
        const std::vector<SegmentFrame> expected = reference::segment_frames(r);
        ASSERT_EQ(frames_of(r), expected) << w << "x" << h << " round " << round;
        framed += expected.size();
    }
    EXPECT_GT(framed, 100u) << "the pictures must give frames to compare";
}

TEST_F(Segmentation, RefusedBuffersDrawNothing)
{
    install(session.images.image_a, page(30, 30, {{10, 20}}));
    session.images.current_image = &session.images.image_a;
    for (std::uint64_t k = 1; k <= 2; ++k) {
        test_seam::heap_fail_at(k);
        run_command(session, kFakeWindow, IDM_SEGMENT);
        test_seam::heap_fail_at(0);
    }
    EXPECT_TRUE(fake.lines.empty());
    EXPECT_EQ(fake.messages.size(), 2u);
}

}  // namespace
