// Measuring what an operation did: the pixels along a line (a profile), the
// statistics of a rectangle (a region), each for the picture on display and
// for the same pixels of the other record when that holds a picture of the
// same size (the picture before or after the last operation). Every window
// and lumaforge-cli print and draw these numbers; nothing here changes a
// record.
//
// Coordinates are picture pixels, x from the left, y from the top.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/image_record.h"
#include "render/view.h"
#include "commands/pixel_status.h"

// A line from (x0, y0) to (x1, y1), both ends included.
struct ProfileLine {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const ProfileLine&) const = default;
};

// The pixels along a line: with n = max(|x1 - x0|, |y1 - y0|), sample i
// (0..n) is (x0 + floor((2i(x1 - x0) + n) / 2n), y0 + floor((2i(y1 - y0) + n) / 2n)),
// the nearest pixel with halves rounded up; one sample when n = 0.
std::vector<PicturePoint> profile_points(const ProfileLine& line);

// The profile of a line inside the picture on display: one entry per sample,
// `other` filled only when the other record holds a picture of the same size.
struct Profile {
    std::vector<PicturePoint> points;
    std::vector<PixelValues> shown;
    std::vector<PixelValues> other;  // empty, or one per point
};
Profile measure_profile(const ImageStore& store, const ProfileLine& line);

// A rectangle of picture pixels: top-left corner, width and height.
struct PictureRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PictureRect&) const = default;
};

// One channel's numbers over a region: the population standard deviation
// (divided by the count) and, for an even count, the lower of the two middle
// values as the median.
struct ChannelStats {
    std::uint64_t count = 0;
    int min = 0, max = 0, median = 0;
    double mean = 0, std = 0;
    std::array<std::uint32_t, 256> histogram{};
};

enum RegionChannel { REGION_R = 0, REGION_G = 1, REGION_B = 2, REGION_LUMA = 3 };
inline constexpr const char* kRegionChannelNames[4] = {"r", "g", "b", "luma"};

struct RegionStats {
    std::array<ChannelStats, 4> channel;  // red, green, blue, luma (the fourth histogram's brightness)
};

// The region's statistics in `record`; `rect` lies inside the picture.
RegionStats region_statistics(const ImageRecord& record, const PictureRect& rect);

struct Region {
    RegionStats shown;
    std::optional<RegionStats> other;
};
Region measure_region(const ImageStore& store, const PictureRect& rect);

// The region's four histograms (red, green, blue, luma) drawn as the view's
// panel draws a picture's, into a frame of width 258 and height 417 (the
// panel, its left frame line and a blank row below).
inline constexpr int kRegionHistogramsWidth = 258, kRegionHistogramsHeight = 417;
void draw_region_histograms(Frame& frame, const RegionStats& stats);

// Whether the other record holds a picture of the size of the one on display.
bool other_has_same_size(const ImageStore& store);

// The region's numbers as tab-separated text (a header line, then one line
// per channel: shown, then the other picture's when there is one), as Copy
// puts it on the clipboard.
std::string region_table_text(const Region& region);

// lumaforge-cli's JSON: {"points": [{"x", "y", "shown": {"r", "g", "b",
// "luma"}, "other": {...} or null}, ...]} and {"shown": {"r"|"g"|"b"|"luma":
// {"count", "min", "max", "mean", "std", "median", "histogram": [256]}},
// "other": {...} or null}, each on one line.
std::string profile_json(const Profile& profile);
std::string region_json(const Region& region);

// The status bar's line for the compare mode of the view: empty without one.
std::string compare_status_text(const ViewState& view);

// What the tools are drawn from: a client point brought onto the picture,
// the nearest pixel when the point lies beside it (a drag past the edge
// clamps). Nothing without a picture.
std::optional<PicturePoint> clamped_pixel_under(const ImageStore& store, const ViewState& view, int x, int y);

// The rectangle spanned by two corner pixels, both included.
PictureRect rect_between(PicturePoint a, PicturePoint b);
