// The measuring tools' numbers and the compare view, each against a plain
// reference: brute-force nearest pixels for the profile, sorting for the
// region statistics, a composed picture drawn by the literal view painter
// for the compare view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/view.h"
#include "commands/measure.h"
#include "tests/reference/view_reference.h"
#include "tests/support/images.h"

namespace {

// The integer k nearest to num / den (den > 0), halves going up: the one
// with k - 1/2 <= num / den < k + 1/2, found by trying candidates.
int nearest(long num, long den)
{
    for (long k = -100; k <= 100; ++k)
        if (2 * num >= (2 * k - 1) * den && 2 * num < (2 * k + 1) * den) return static_cast<int>(k);
    ADD_FAILURE() << "no candidate for " << num << "/" << den;
    return 0;
}

TEST(Profile, SamplesAreTheNearestPixelsInEveryOctantAndDegenerate)
{
    // Every end point within 9 of the start covers the eight octants, the
    // axes, the diagonals and the single pixel.
    for (int dx = -9; dx <= 9; ++dx)
        for (int dy = -9; dy <= 9; ++dy) {
            const ProfileLine line{20, 30, 20 + dx, 30 + dy};
            const std::vector<PicturePoint> got = profile_points(line);
            const int n = std::max(std::abs(dx), std::abs(dy));
            ASSERT_EQ(got.size(), static_cast<std::size_t>(n + 1)) << dx << "," << dy;
            for (int i = 0; i <= n; ++i) {
                const PicturePoint want = n == 0 ? PicturePoint{20, 30}
                                                 : PicturePoint{20 + nearest(long{i} * dx, n), 30 + nearest(long{i} * dy, n)};
                EXPECT_EQ(got[i], want) << "line to " << dx << "," << dy << " sample " << i;
            }
            EXPECT_EQ(got.back(), (PicturePoint{20 + dx, 30 + dy}));
        }
}

TEST(Profile, ADragPastTheEdgeClampsToThePicture)
{
    ImageStore store;
    install(store.image_a, random_record(31, 17, 5));
    store.current_image = &store.image_a;
    ViewState view;
    view.zoom = 1;  // 200 %, scrolled
    view.scroll_x = 6;
    view.scroll_y = 4;
    view.client_width = 400;
    view.client_height = 300;
    EXPECT_EQ(clamped_pixel_under(store, view, -50, -50), (PicturePoint{0, 0}));
    EXPECT_EQ(clamped_pixel_under(store, view, 3, 5), (PicturePoint{4, 4}));
    EXPECT_EQ(clamped_pixel_under(store, view, 399, 10), (PicturePoint{30, 7}));
    const ProfileLine line{0, 0, clamped_pixel_under(store, view, 399, 299)->x, clamped_pixel_under(store, view, 399, 299)->y};
    EXPECT_EQ(line, (ProfileLine{0, 0, 30, 16}));
    const Profile profile = measure_profile(store, line);
    ASSERT_EQ(profile.points.size(), 31u);
    EXPECT_TRUE(profile.other.empty());  // nothing in the other record
    const std::uint8_t* p = store.image_a.pixel(30, 16);
    EXPECT_EQ(profile.shown.back(), (PixelValues{p[2], p[1], p[0], luma(p[0], p[1], p[2])}));
}

// Count, min, max, mean and population deviation in two passes, and the
// lower median from the sorted values.
void expect_reference_stats(const ImageRecord& record, const PictureRect& r, const RegionStats& got)
{
    for (int k = 0; k < 4; ++k) {
        std::vector<int> values;
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x) {
                const std::uint8_t* p = record.pixel(x, y);
                const int v[4] = {p[2], p[1], p[0], luma(p[0], p[1], p[2])};
                values.push_back(v[k]);
            }
        double sum = 0;
        for (int v : values) sum += v;
        const double mean = sum / static_cast<double>(values.size());
        double squares = 0;
        for (int v : values) squares += (v - mean) * (v - mean);
        std::vector<std::uint32_t> histogram(256);
        for (int v : values) ++histogram[v];
        std::sort(values.begin(), values.end());
        const ChannelStats& s = got.channel[k];
        SCOPED_TRACE(::testing::Message() << "channel " << k << " rect " << r.x << "," << r.y << " " << r.width << "x" << r.height);
        EXPECT_EQ(s.count, values.size());
        EXPECT_EQ(s.min, values.front());
        EXPECT_EQ(s.max, values.back());
        EXPECT_NEAR(s.mean, mean, 1e-9);
        EXPECT_NEAR(s.std, std::sqrt(squares / static_cast<double>(values.size())), 1e-9);
        EXPECT_EQ(s.median, values[(values.size() - 1) / 2]);  // an even count: the lower middle value
        EXPECT_TRUE(std::equal(histogram.begin(), histogram.end(), s.histogram.begin()));
    }
}

TEST(Region, StatisticsMatchTwoPassesOverRandomPicturesWithOddWidths)
{
    const ImageRecord a = random_record(37, 23, 1), b = random_record(301, 280, 2);
    for (const PictureRect& r : {PictureRect{0, 0, 37, 23}, PictureRect{5, 3, 1, 1}, PictureRect{36, 0, 1, 23},
                                 PictureRect{3, 4, 10, 7}})
        expect_reference_stats(a, r, region_statistics(a, r));
    // Large enough to be counted in stripes on several threads; 270 x 251 is even.
    for (const PictureRect& r : {PictureRect{11, 9, 270, 251}, PictureRect{0, 0, 301, 280}})
        expect_reference_stats(b, r, region_statistics(b, r));
}

// The compare view composed pixel by pixel, then drawn by the literal
// painter with the shown picture's histograms.
ImageRecord composed(const ImageRecord& shown, const ImageRecord& other, const ViewState& view)
{
    ImageRecord out = make_record(shown.width, shown.height, [&](int x, int y) {
        const int top = shown.height - 1 - y;
        const std::uint8_t* s = shown.pixel(x, top);
        const std::uint8_t* o = other.pixel(x, top);
        if (view.compare == COMPARE_SPLIT) return x < view.compare_split_x ? Bgr{o[0], o[1], o[2]} : Bgr{s[0], s[1], s[2]};
        std::uint8_t d[3];
        for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>(std::min(255, view.compare_diff * std::abs(s[c] - o[c])));
        return Bgr{d[0], d[1], d[2]};
    });
    std::copy(std::begin(shown.hist_r), std::end(shown.hist_r), out.hist_r);
    std::copy(std::begin(shown.hist_g), std::end(shown.hist_g), out.hist_g);
    std::copy(std::begin(shown.hist_b), std::end(shown.hist_b), out.hist_b);
    std::copy(std::begin(shown.hist_luma), std::end(shown.hist_luma), out.hist_luma);
    out.max_r = shown.max_r, out.max_g = shown.max_g, out.max_b = shown.max_b, out.max_luma = shown.max_luma;
    return out;
}

TEST(CompareView, SplitAndDifferenceMatchTheComposedPicture)
{
    ImageStore store;
    install(store.image_a, random_record(45, 33, 7));
    // The other picture: near the first, so the difference is small and K matters.
    install(store.image_b, make_record(45, 33, [&](int x, int y) {
        const std::uint8_t* p = store.image_a.pixels.get() + y * store.image_a.stride() + 3 * x;
        return Bgr{static_cast<std::uint8_t>(p[0] ^ (x & 7)), p[1], static_cast<std::uint8_t>(p[2] / 2)};
    }));
    store.current_image = &store.image_a;
    for (int zoom : {0, 2, 4})
        for (const auto& [mode, value] : {std::pair{COMPARE_SPLIT, 17}, std::pair{COMPARE_DIFF, 1},
                                          std::pair{COMPARE_DIFF, 4}, std::pair{COMPARE_DIFF, 16}}) {
            ViewState view;
            view.zoom = zoom;
            view.scroll_x = zoom == 0 ? 0 : 12;
            view.compare = mode;
            (mode == COMPARE_SPLIT ? view.compare_split_x : view.compare_diff) = value;
            Frame got, want;
            got.resize(600, 420);
            want.resize(600, 420);
            render_client(got, store, view);
            reference_paint_view(want, composed(store.image_a, store.image_b, view), view.scroll_x, view.scroll_y, zoom);
            if (mode == COMPARE_SPLIT) {
                // The divider: dashes of four black and four white over column X's first screen column.
                const int sx = (value << zoom) - view.scroll_x;
                for (int y = 0; y < std::min(33 << zoom, want.height); ++y) {
                    std::uint8_t* p = want.row(y) + 3 * sx;
                    p[0] = p[1] = p[2] = (y / 4) % 2 == 0 ? 0 : 255;
                }
            }
            SCOPED_TRACE(::testing::Message() << "zoom " << zoom << " mode " << mode << " value " << value);
            EXPECT_EQ(got.pixels, want.pixels);
        }
    // Without a picture of the same size in the other record the view is the plain one.
    install(store.image_b, random_record(44, 33, 8));
    ViewState view;
    view.compare = COMPARE_DIFF;
    Frame got, plain;
    got.resize(400, 440);
    plain.resize(400, 440);
    render_client(got, store, view);
    paint_view(plain, store.image_a, view);
    EXPECT_EQ(got.pixels, plain.pixels);
}

}  // namespace
