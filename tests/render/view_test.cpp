#include <gtest/gtest.h>

#include <tuple>

#include <random>
#include <string>
#include <vector>

#include "image/image_record.h"
#include "render/view.h"
#include "tests/reference/view_reference.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

struct Px {
    int r, g, b;
    bool operator==(const Px&) const = default;
};

void PrintTo(const Px& p, std::ostream* os) { *os << "(" << p.r << "," << p.g << "," << p.b << ")"; }

Px at(const Frame& f, int x, int y)
{
    const std::uint8_t* p = f.row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

constexpr Px kWhite{255, 255, 255}, kBlack{0, 0, 0};

// Pixel (x, y) counted from the top-left, distinct per position.
Bgr pattern(int x, int y, int h)
{
    const int top_y = h - 1 - y;
    return {static_cast<std::uint8_t>(x * 7 + 1), static_cast<std::uint8_t>(top_y * 3 + 2), 0x40};
}

Frame frame_of(int w, int h)
{
    Frame f;
    f.resize(w, h);
    return f;
}

// Frames equal in every pixel byte (row padding left aside).
::testing::AssertionResult same_pixels(const Frame& a, const Frame& b)
{
    if (a.width != b.width || a.height != b.height) return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!(at(a, x, y) == at(b, x, y))) {
                const Px p = at(a, x, y), q = at(b, x, y);
                return ::testing::AssertionFailure() << "first difference at (" << x << ", " << y << "): (" << p.r
                                                     << "," << p.g << "," << p.b << ") vs (" << q.r << "," << q.g
                                                     << "," << q.b << ")";
            }
    return ::testing::AssertionSuccess();
}

class View : public SessionTest {
protected:
};

// Lays the view out over the whole frame, as lumaforge-cli does, and paints.
void paint(Frame& f, const ImageRecord& rec, ViewState& view)
{
    apply_layout(view, layout_view(&rec, view, ViewArea{f.width, f.height}));
    paint_view(f, rec, view);
}

TEST_F(View, SmallPictureUnscrolledGeometry)
{
    const ImageRecord rec = make_record(100, 50, [](int x, int y) { return pattern(x, y, 50); });
    Frame f = frame_of(800, 600);
    paint(f, rec, session.view);

    // The picture, top row first, at columns 0..99 and rows 0..49.
    for (int y : {0, 17, 49})
        for (int x : {0, 55, 99}) {
            const Bgr c = pattern(x, 49 - y, 50);
            EXPECT_EQ(at(f, x, y), (Px{c.r, c.g, c.b})) << x << "," << y;
        }
    // The strip beside it, and the row below it.
    for (int y : {0, 50})
        for (int x : {100, 123}) EXPECT_EQ(at(f, x, y), kWhite);
    EXPECT_EQ(at(f, 50, 50), kWhite);

    // Frame lines of the first histogram and its bins.
    for (int y : {0, 50, 101}) {
        EXPECT_EQ(at(f, 124, y), kBlack);
        EXPECT_EQ(at(f, 381, y), kBlack);
    }
    for (int x : {125, 250, 380}) {
        EXPECT_EQ(at(f, x, 0), kBlack);
        EXPECT_EQ(at(f, x, 101), kBlack);
    }
    EXPECT_EQ(at(f, 382, 50), kWhite);
    // Gaps, the last frame's bottom line, and white below the panel.
    EXPECT_EQ(at(f, 200, 102), kWhite);
    EXPECT_EQ(at(f, 124, 104), kWhite);
    EXPECT_EQ(at(f, 124, 105), kBlack);
    EXPECT_EQ(at(f, 200, 416), kBlack);
    EXPECT_EQ(at(f, 200, 417), kWhite);
    EXPECT_EQ(at(f, 700, 300), kWhite);
    EXPECT_EQ(at(f, 200, 599), kWhite);

    // The picture's one red value 0x40 fills the red bin 64 to the top;
    // bins without counts are white down to the baseline (row 100).
    EXPECT_EQ(at(f, 125 + 64, 100), (Px{64, 0, 0}));
    EXPECT_EQ(at(f, 125 + 64, 1), (Px{64, 0, 0}));
    EXPECT_EQ(at(f, 125 + 63, 100), kWhite);
    EXPECT_EQ(at(f, 125 + 63, 1), kWhite);
    EXPECT_EQ(at(f, 125 + 255, 415), kWhite);  // no pixel has luma 255

    EXPECT_EQ(session.view.scroll_max_x, -417);
    EXPECT_EQ(session.view.scroll_max_y, -183);
}

TEST_F(View, ScrollLimitsOfALargePicture)
{
    const ImageRecord rec = random_record(2000, 1000, 5);
    Frame f = frame_of(1000, 700);
    paint(f, rec, session.view);
    EXPECT_EQ(session.view.scroll_max_x, 1283);
    EXPECT_EQ(session.view.scroll_max_y, 300);

    // A picture shorter than the panel scrolls by the panel's height.
    const ImageRecord flat = random_record(10, 3, 6);
    Frame g = frame_of(200, 100);
    paint(g, flat, session.view);
    EXPECT_EQ(session.view.scroll_max_x, 10 + 283 - 200);
    EXPECT_EQ(session.view.scroll_max_y, 417 - 100);
}

TEST_F(View, LayoutSettlesTheBarsInOneCall)
{
    // Content 100 + 283 across and 417 down; bars 17 thick, status bar 20.
    const ImageRecord rec = random_record(100, 50, 7);
    const auto layout = [&](int w, int h, bool v, bool hz) {
        return layout_view(&rec, session.view, ViewArea{w, h, 17, 17, v, hz, 20});
    };
    // Fits: no bar, the status bar's rows taken off the client area.
    ViewLayout l = layout(400, 440, true, true);
    EXPECT_EQ(std::tie(l.vertical_bar, l.horizontal_bar, l.client_width, l.client_height),
              std::tuple(false, false, 400, 420));
    EXPECT_EQ(std::tie(l.scroll_max_x, l.scroll_max_y), std::tuple(-17, -3));
    // Too short by a row: the vertical bar narrows the view, so the
    // horizontal one shows too.
    l = layout(390, 436, false, false);
    EXPECT_EQ(std::tie(l.vertical_bar, l.horizontal_bar, l.client_width, l.client_height),
              std::tuple(true, true, 373, 399));
    EXPECT_EQ(std::tie(l.scroll_max_x, l.scroll_max_y), std::tuple(10, 18));
    // Bars that would take turns both show; positions brought within range.
    session.view.scroll_x = 50;
    session.view.scroll_y = -4;
    l = layout(390, 436, true, false);
    EXPECT_TRUE(l.vertical_bar && l.horizontal_bar);
    EXPECT_EQ(std::tie(l.bar_x, l.bar_y), std::tuple(10, 0));
    EXPECT_EQ(l.picture.left, -50);
    EXPECT_EQ(l.panel.left, 100 - 50 + 24);
    // Without a picture the bars stay as they are.
    l = layout_view(nullptr, session.view, ViewArea{390, 436, 17, 17, true, false, 0});
    EXPECT_EQ(std::tie(l.vertical_bar, l.horizontal_bar, l.client_width, l.client_height),
              std::tuple(true, false, 373, 436));
}

ImageRecord with_histograms(int w, int h)
{
    ImageRecord rec = make_record(w, h, [](int, int) { return Bgr{255, 255, 255}; });
    for (int i = 0; i < 256; ++i) rec.hist_r[i] = rec.hist_g[i] = rec.hist_b[i] = rec.hist_luma[i] = 0;
    return rec;
}

TEST_F(View, SmallestBarIsOnePixelOnTheBaseline)
{
    ImageRecord rec = with_histograms(100, 50);
    rec.hist_r[7] = 1;
    rec.max_r = rec.max_g = rec.max_b = rec.max_luma = 1000;
    Frame f = frame_of(800, 600);
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 125 + 7, 100), (Px{7, 0, 0}));
    EXPECT_EQ(at(f, 125 + 7, 99), kWhite);
    EXPECT_EQ(at(f, 125 + 8, 100), kWhite);
}

TEST_F(View, BarTopTruncatesTowardZeroAboveTheClientArea)
{
    // Scrolled so the red baseline is row 0: 1 of 1000 gives a top of -0.1,
    // truncated to 0, so no bar pixel at all (rounding down would give one).
    ImageRecord rec = with_histograms(100, 50);
    rec.hist_r[7] = 1;
    rec.hist_r[8] = 1000;
    rec.max_r = rec.max_g = rec.max_b = rec.max_luma = 1000;
    session.view.scroll_y = 100;
    Frame f = frame_of(800, 600);
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 125 + 7, 0), kWhite);
    EXPECT_EQ(at(f, 125 + 8, 0), (Px{8, 0, 0}));
}

TEST_F(View, ScrolledPanelKeepsEachHistogramInItsFrame)
{
    // Full bars everywhere; with session.view.scroll_y = 150 the red baseline is row -50.
    ImageRecord rec = with_histograms(100, 50);
    for (int i = 0; i < 256; ++i) rec.hist_r[i] = rec.hist_g[i] = rec.hist_b[i] = rec.hist_luma[i] = 10;
    rec.max_r = rec.max_g = rec.max_b = rec.max_luma = 10;
    session.view.scroll_y = 150;
    Frame f = frame_of(800, 600);
    paint(f, rec, session.view);
    const int px = 125;
    for (int y = 0; y < 600; ++y) ASSERT_NE(at(f, px + 200, y), (Px{200, 0, 0})) << "red bar on row " << y;
    // Green: frame top at -45 (clipped), bars on rows 0..55, bottom line at 56.
    EXPECT_EQ(at(f, px + 200, 0), (Px{0, 200, 0}));
    EXPECT_EQ(at(f, px + 200, 55), (Px{0, 200, 0}));
    EXPECT_EQ(at(f, px + 200, 56), kBlack);
    EXPECT_EQ(at(f, px + 200, 57), kWhite);
    EXPECT_EQ(at(f, px + 200, 60), kBlack);  // blue frame top
    EXPECT_EQ(at(f, px + 200, 61), (Px{0, 0, 200}));
    // The picture's rows lie above the client area; below its last row the
    // surround is white.
    EXPECT_EQ(at(f, 10, 0), kWhite);
    EXPECT_EQ(session.view.scroll_max_y, 417 - 600);
}

TEST_F(View, NegativeScrollShiftsThePictureRight)
{
    const ImageRecord rec = make_record(30, 20, [](int x, int y) { return pattern(x, y, 20); });
    session.view.scroll_x = -2;
    Frame f = frame_of(400, 500);
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 0, 5), kWhite);
    EXPECT_EQ(at(f, 1, 5), kWhite);
    const Bgr c = pattern(0, 19 - 5, 20);
    EXPECT_EQ(at(f, 2, 5), (Px{c.r, c.g, c.b}));
    EXPECT_EQ(at(f, 2 + 30 + 24, 0), kBlack);  // the panel moves with it
}

TEST_F(View, PictureWithoutPixelsDrawsEmptyBins)
{
    const ImageRecord rec = make_record(0, 5, [](int, int) { return Bgr{}; });
    ASSERT_EQ(rec.max_r, 0);
    Frame f = frame_of(400, 500);
    paint(f, rec, session.view);
    for (int k = 0; k < 4; ++k)
        for (int x : {25, 100, 280}) {
            EXPECT_EQ(at(f, x, 105 * k + 1), kWhite);
            EXPECT_EQ(at(f, x, 105 * k + 100), kWhite);
            EXPECT_EQ(at(f, x, 105 * k), kBlack);
        }
    EXPECT_EQ(session.view.scroll_max_x, 0 + 283 - 400);
}

TEST_F(View, BarRoundedAboveItsFrameOverwritesTheFrameLine)
{
    // For some largest counts (m * 100) * (-1 / m) is just below -100, so a
    // full bar whose frame top is at a positive row reaches one row higher.
    std::int32_t m = 1;
    while ((static_cast<double>(m) * 100.0) * (-1.0 / static_cast<double>(m)) >= -100.0) ++m;
    ImageRecord rec = with_histograms(100, 50);
    rec.hist_g[40] = m;
    rec.max_r = rec.max_g = rec.max_b = rec.max_luma = m;
    Frame f = frame_of(800, 600);
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 125 + 40, 105), (Px{0, 40, 0})) << "largest count " << m;
    EXPECT_EQ(at(f, 125 + 40, 104), kWhite);
    Frame r = frame_of(800, 600);
    reference_paint_view(r, rec, 0, 0);
    EXPECT_TRUE(same_pixels(f, r));
}

TEST_F(View, MatchesTheLiteralDrawingOnRandomPictures)
{
    std::mt19937 rng(42);
    for (int round = 0; round < 40; ++round) {
        const int w = static_cast<int>(rng() % 90), h = static_cast<int>(rng() % 70);
        const ImageRecord rec = random_record(w, h, rng());
        const int cw = static_cast<int>(rng() % 500), ch = static_cast<int>(rng() % 520);
        session.view.scroll_x = static_cast<std::int32_t>(rng() % 140) - 4;
        session.view.scroll_y = static_cast<std::int32_t>(rng() % 160) - 4;
        Frame f = frame_of(cw, ch);
        paint(f, rec, session.view);
        Frame r = frame_of(cw, ch);
        const auto [mx, my] = reference_paint_view(r, rec, session.view.scroll_x, session.view.scroll_y);
        ASSERT_TRUE(same_pixels(f, r)) << "picture " << w << "x" << h << " in " << cw << "x" << ch << " scrolled "
                                       << session.view.scroll_x << "," << session.view.scroll_y;
        EXPECT_EQ(session.view.scroll_max_x, mx);
        EXPECT_EQ(session.view.scroll_max_y, my);
    }
}

TEST_F(View, RendersOverStaleFrameContents)
{
    const ImageRecord rec = random_record(37, 11, 9);
    Frame f = frame_of(330, 450);
    for (auto& byte : f.pixels) byte = 0x5A;
    session.view.scroll_x = -3;
    session.view.scroll_y = 0;
    paint(f, rec, session.view);
    Frame r = frame_of(330, 450);
    reference_paint_view(r, rec, -3, 0);
    EXPECT_TRUE(same_pixels(f, r));
}

TEST_F(View, ClientWithoutPictureIsWhiteAndKeepsLimits)
{
    Frame f = frame_of(31, 7);
    for (auto& byte : f.pixels) byte = 0;
    session.view.scroll_max_x = 12;
    session.view.scroll_max_y = -3;
    settle_view(session.view, session.images, f.width, f.height);
    render_client(f, session.images, session.view);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 31; ++x) ASSERT_EQ(at(f, x, y), kWhite);
    EXPECT_EQ(session.view.scroll_max_x, 12);
    EXPECT_EQ(session.view.scroll_max_y, -3);

    install(session.images.image_b, random_record(20, 10, 3));
    session.images.current_image = &session.images.image_b;
    session.view.scroll_x = 4;
    settle_view(session.view, session.images, f.width, f.height);
    render_client(f, session.images, session.view);
    Frame r = frame_of(31, 7);
    reference_paint_view(r, session.images.image_b, 4, 0);
    EXPECT_TRUE(same_pixels(f, r));
    EXPECT_EQ(session.view.scroll_max_x, 20 + 283 - 31);
}

TEST(Scrolling, LineStepsAndThumbFollowTheArithmetic)
{
    ViewState view;
    // Before any paint both limits are 0: the arrows do nothing.
    scroll_horizontal(view, SCROLL_LINE_FORWARD, 0);
    scroll_vertical(view, SCROLL_LINE_FORWARD, 0);
    scroll_horizontal(view, SCROLL_LINE_BACK, 0);
    EXPECT_EQ(view.scroll_x, 0);
    EXPECT_EQ(view.scroll_y, 0);
    // ...but dragging a thumb still moves the position.
    scroll_vertical(view, SCROLL_THUMB_TRACK, 65535);
    EXPECT_EQ(view.scroll_y, 65535);
    scroll_horizontal(view, SCROLL_THUMB_TRACK, 3);
    EXPECT_EQ(view.scroll_x, 3);
    // A step left from 3 gives -2; no further step left from there.
    scroll_horizontal(view, SCROLL_LINE_BACK, 0);
    EXPECT_EQ(view.scroll_x, -2);
    scroll_horizontal(view, SCROLL_LINE_BACK, 0);
    EXPECT_EQ(view.scroll_x, -2);
    // Steps right pass the limit by up to 4 and then stop.
    view.scroll_max_x = 9;
    for (int i = 0; i < 5; ++i) scroll_horizontal(view, SCROLL_LINE_FORWARD, 0);
    EXPECT_EQ(view.scroll_x, 13);
    // Vertical steps are one pixel; page codes and the others do nothing.
    view.scroll_max_y = 2;
    scroll_vertical(view, SCROLL_THUMB_TRACK, 0);
    scroll_vertical(view, SCROLL_LINE_FORWARD, 0);
    scroll_vertical(view, SCROLL_LINE_FORWARD, 0);
    scroll_vertical(view, SCROLL_LINE_FORWARD, 0);
    EXPECT_EQ(view.scroll_y, 2);
    for (int code : {2, 3, 4, 6, 7, 8}) {
        scroll_vertical(view, code, 77);
        scroll_horizontal(view, code, 77);
    }
    EXPECT_EQ(view.scroll_y, 2);
    EXPECT_EQ(view.scroll_x, 13);
    // The thumb is read as an unsigned 16-bit position.
    scroll_horizontal(view, SCROLL_THUMB_TRACK, 0x1FFFF);
    EXPECT_EQ(view.scroll_x, 65535);
}

// ---- zoom ----------------------------------------------------------------

TEST_F(View, MatchesTheLiteralDrawingAtEveryZoom)
{
    std::mt19937 rng(7);
    for (int zoom = ZOOM_MIN; zoom <= ZOOM_MAX; ++zoom)
        for (int round = 0; round < 8; ++round) {
            const int w = static_cast<int>(rng() % 45), h = static_cast<int>(rng() % 35);
            const ImageRecord rec = random_record(w, h, rng());
            const int cw = 1 + static_cast<int>(rng() % 500), ch = 1 + static_cast<int>(rng() % 520);
            session.view.zoom = zoom;
            session.view.scroll_x = static_cast<std::int32_t>(rng() % 300) - 7;
            session.view.scroll_y = static_cast<std::int32_t>(rng() % 300) - 7;
            Frame f = frame_of(cw, ch);
            paint(f, rec, session.view);
            Frame r = frame_of(cw, ch);
            const auto [mx, my] = reference_paint_view(r, rec, session.view.scroll_x, session.view.scroll_y, zoom);
            ASSERT_TRUE(same_pixels(f, r)) << "zoom " << zoom << ", picture " << w << "x" << h << " in " << cw << "x"
                                           << ch << " scrolled " << session.view.scroll_x << "," << session.view.scroll_y;
            EXPECT_EQ(session.view.scroll_max_x, mx);
            EXPECT_EQ(session.view.scroll_max_y, my);
            EXPECT_EQ(session.view.client_width, cw);
        }
}

TEST_F(View, ZoomedOutShowsEveryKthPixelAndZoomedInRepeatsThem)
{
    const ImageRecord rec = make_record(8, 6, [](int x, int y) { return pattern(x, y, 6); });
    const auto shown = [](int x, int top_y) {
        const Bgr c = pattern(x, 5 - top_y, 6);
        return Px{c.r, c.g, c.b};
    };
    Frame f = frame_of(400, 450);
    session.view.zoom = -1;  // 50 %: 4 x 3, picture pixels 0, 2, 4, 6
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 1, 0), shown(2, 0));
    EXPECT_EQ(at(f, 3, 2), shown(6, 4));
    EXPECT_EQ(at(f, 4, 0), kWhite);
    EXPECT_EQ(at(f, 4 + 24, 0), kBlack);  // the panel's frame line moves with the picture's width
    session.view.zoom = 2;  // 400 %
    paint(f, rec, session.view);
    EXPECT_EQ(at(f, 0, 0), shown(0, 0));
    EXPECT_EQ(at(f, 3, 3), shown(0, 0));
    EXPECT_EQ(at(f, 4, 3), shown(1, 0));
    EXPECT_EQ(at(f, 31, 23), shown(7, 5));
    EXPECT_EQ(at(f, 32, 23), kWhite);
    EXPECT_EQ(at(f, 32 + 24, 0), kBlack);
}

TEST_F(View, ScrollLimitsCountZoomedScreenPixels)
{
    const ImageRecord rec = random_record(2001, 1001, 4);
    Frame f = frame_of(1000, 700);
    session.view.zoom = ZOOM_MIN;  // 12.5 %: ceil(2001 / 8) x ceil(1001 / 8) = 251 x 126
    paint(f, rec, session.view);
    EXPECT_EQ(session.view.scroll_max_x, 251 + 283 - 1000);
    EXPECT_EQ(session.view.scroll_max_y, 417 - 700);
    session.view.zoom = ZOOM_MAX;  // 3200 %
    session.view.scroll_x = 60000;
    paint(f, rec, session.view);
    EXPECT_EQ(session.view.scroll_max_x, 2001 * 32 + 283 - 1000);
    EXPECT_EQ(session.view.scroll_max_y, 1001 * 32 - 700);
}

// The 16 x 16 cell of a 1 x 1 picture at 1600 %: '#' where the digits are.
std::vector<std::string> cell_ink(const Frame& f, Px ink)
{
    std::vector<std::string> rows;
    for (int y = 0; y < 16; ++y) {
        std::string row;
        for (int x = 0; x < 16; ++x) row += at(f, x, y) == ink ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST_F(View, PixelValuesAt1600InContrastingInk)
{
    session.view.zoom = ZOOM_PIXEL_VALUES;
    Frame f = frame_of(300, 450);
    // Dark (luma 78): white digits, R 200 over G 30 over B 7, right-aligned.
    const ImageRecord dark = make_record(1, 1, [](int, int) { return Bgr{7, 30, 200}; });
    paint(f, dark, session.view);
    const std::vector<std::string> dark_cell = {
        "................",
        "..##..###.###...",
        "....#.#.#.#.#...",
        "...#..#.#.#.#...",
        "..###.###.###...",
        "................",
        "......###.###...",
        ".......##.#.#...",
        "........#.#.#...",
        "......###.###...",
        "................",
        "..........###...",
        "............#...",
        "...........#....",
        "...........#....",
        "................",
    };
    EXPECT_EQ(cell_ink(f, kWhite), dark_cell);
    EXPECT_EQ(at(f, 0, 0), (Px{200, 30, 7}));

    // Light (luma 227): black digits.
    const ImageRecord light = make_record(1, 1, [](int, int) { return Bgr{0, 255, 255}; });
    paint(f, light, session.view);
    const std::vector<std::string> light_cell = {
        "................",
        "..##..###.###...",
        "....#.##..##....",
        "...#....#...#...",
        "..###.##..##....",
        "................",
        "..##..###.###...",
        "....#.##..##....",
        "...#....#...#...",
        "..###.##..##....",
        "................",
        "..........###...",
        "..........#.#...",
        "..........#.#...",
        "..........###...",
        "................",
    };
    EXPECT_EQ(cell_ink(f, kBlack), light_cell);
    // Below 1600 % no digits.
    session.view.zoom = ZOOM_PIXEL_VALUES - 1;
    paint(f, light, session.view);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(at(f, x, y), (Px{255, 255, 0}));
}

TEST(Zoom, AboutAPointKeepsThePixelUnderIt)
{
    ImageRecord rec;  // only the size matters
    rec.width = 4000;
    rec.height = 3000;
    std::mt19937 rng(3);
    int kept = 0;
    for (int round = 0; round < 400; ++round) {
        ViewState view;
        view.client_width = 1200;
        view.client_height = 800;
        view.zoom = static_cast<int>(rng() % 6);
        view.scroll_x = static_cast<std::int32_t>(rng() % 2500) << view.zoom;
        view.scroll_y = static_cast<std::int32_t>(rng() % 1800) << view.zoom;
        const int ax = static_cast<int>(rng() % 1200), ay = static_cast<int>(rng() % 800);
        int px = -1, py = -1, qx = -2, qy = -2;
        ASSERT_TRUE(picture_pixel_at(view, rec, ax, ay, px, py));
        const int from = view.zoom, to = static_cast<int>(rng() % 6);
        set_zoom(view, rec, to, ax, ay);
        EXPECT_EQ(view.zoom, to);
        // Only the picture's edge may stop the scroll.
        if (view.scroll_x == 0 || view.scroll_y == 0 || view.scroll_x == view.scroll_max_x ||
            view.scroll_y == view.scroll_max_y)
            continue;
        ASSERT_TRUE(picture_pixel_at(view, rec, ax, ay, qx, qy));
        EXPECT_EQ(std::make_pair(qx, qy), std::make_pair(px, py)) << "zoom " << from << " to " << to;
        ++kept;
    }
    EXPECT_GT(kept, 200);
    // Zooming out below 100 % keeps it within one picked pixel.
    ViewState view;
    view.client_width = 1200;
    view.client_height = 500;
    view.scroll_x = 1001;
    view.scroll_y = 777;
    set_zoom(view, rec, -2, 300, 200);
    int px = 0, py = 0;
    ASSERT_TRUE(picture_pixel_at(view, rec, 300, 200, px, py));
    EXPECT_LE(std::abs(px - 1301), 3);
    EXPECT_LE(std::abs(py - 977), 3);
    // A scroll that would pass the picture's edge stops there.
    set_zoom(view, rec, 0, 0, 0);
    set_zoom(view, rec, -3, 1199, 799);
    EXPECT_EQ(view.scroll_x, 0);
    EXPECT_EQ(view.scroll_y, 0);
}

TEST(Zoom, FitAndAnchor)
{
    ImageRecord rec;
    rec.width = 640;
    rec.height = 480;
    EXPECT_EQ(fit_zoom(rec, 1270, 950), 0);  // 200 % would need 1280 + 283 columns
    EXPECT_EQ(fit_zoom(rec, 1563, 960), 1);
    EXPECT_EQ(fit_zoom(rec, 1562, 960), 0);
    EXPECT_EQ(fit_zoom(rec, 200, 100), ZOOM_MIN);
    rec.width = 60;
    rec.height = 40;
    EXPECT_EQ(fit_zoom(rec, 1270, 950), 4);
    // The menu's zoom keeps the middle of the picture's visible part still.
    ViewState view;
    view.client_width = 1000;
    view.client_height = 700;
    view.scroll_x = 20;
    EXPECT_EQ(zoom_anchor(view, rec), std::make_pair(20, 20));
    view.scroll_x = 500;  // no picture in sight: the client's middle
    EXPECT_EQ(zoom_anchor(view, rec), std::make_pair(500, 20));
}

TEST(Zoom, SegmentationFramesFollowTheZoom)
{
    const SegmentFrame frame{2, 5, 1, 3};  // columns 2..5, rows 1..3 from the bottom of 10
    ViewState view;
    view.zoom = 2;
    view.scroll_x = 3;
    auto lines = segment_frame_lines({&frame, 1}, 10, view);
    ASSERT_EQ(lines.size(), 4u);
    // Left at column 2's first screen pixel, right at column 5's last; the
    // lower edge on row 1's last screen row, the upper on row 3's first.
    const int left = 8 - 3, right = 23 - 3, lower = 35, upper = 24;
    EXPECT_EQ(lines[0].x0, left);
    EXPECT_EQ(lines[0].x1, right);
    EXPECT_EQ(lines[0].y0, lower);
    EXPECT_EQ(lines[1].y0, upper);
    EXPECT_EQ(lines[3].x0, right);
    view.zoom = -1;
    view.scroll_x = 0;
    lines = segment_frame_lines({&frame, 1}, 10, view);
    EXPECT_EQ(lines[0].x0, 1);
    EXPECT_EQ(lines[0].x1, 2);
    EXPECT_EQ(lines[0].y0, 4);
    EXPECT_EQ(lines[1].y0, 3);
}

TEST(Scrolling, WheelScrollsByNotchesAndStopsAtTheEnds)
{
    ViewState view;
    view.scroll_max_x = 100;
    view.scroll_max_y = 70;
    EXPECT_TRUE(scroll_wheel(view, -120, false));  // towards the user: down
    EXPECT_EQ(view.scroll_y, 48);
    EXPECT_TRUE(scroll_wheel(view, -120, false));
    EXPECT_EQ(view.scroll_y, 70);
    EXPECT_FALSE(scroll_wheel(view, -120, false));
    EXPECT_TRUE(scroll_wheel(view, 240, false));
    EXPECT_EQ(view.scroll_y, 0);
    EXPECT_TRUE(scroll_wheel(view, -30, true));  // a quarter notch, sideways
    EXPECT_EQ(view.scroll_x, 12);
    EXPECT_EQ(view.scroll_y, 0);
    view.scroll_x = -2;  // a line step may leave a position below 0: the wheel leaves it
    EXPECT_FALSE(scroll_wheel(view, 120, true));
    EXPECT_EQ(view.scroll_x, -2);
    scroll_thumb_to(view, true, 100000);  // a zoomed bar passes 16 bits
    EXPECT_EQ(view.scroll_x, 100000);
}

}  // namespace
