#include "commands/measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "image/parallel.h"
#include "image/statistics.h"
#include "text/catalogue.h"

namespace {

// floor(a / b) for b > 0.
std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

PixelValues values_at(const ImageRecord& record, int x, int y)
{
    const std::uint8_t* p = record.pixel(x, y);
    return {p[2], p[1], p[0], luma(p[0], p[1], p[2])};
}

struct Counts {
    std::uint32_t c[4][256] = {};
};

void count_region_rows(const ImageRecord& record, const PictureRect& rect, int y0, int y1, Counts& counts)
{
    std::uint8_t lumas[1024];
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* row = record.pixel(rect.x, rect.y + y);
        for (int x0 = 0; x0 < rect.width; x0 += static_cast<int>(sizeof lumas)) {
            const int n = std::min<int>(rect.width - x0, sizeof lumas);
            const std::uint8_t* p = row + 3 * x0;
            luma_row(p, static_cast<std::size_t>(n), lumas);
            for (int x = 0; x < n; ++x, p += 3) {
                ++counts.c[REGION_B][p[0]];
                ++counts.c[REGION_G][p[1]];
                ++counts.c[REGION_R][p[2]];
                ++counts.c[REGION_LUMA][lumas[x]];
            }
        }
    }
}

// Count, extremes, mean, population deviation and lower median of a histogram.
void summarise(ChannelStats& s)
{
    std::uint64_t count = 0, sum = 0;
    int lo = -1, hi = 0;
    for (int v = 0; v < 256; ++v) {
        const std::uint64_t n = s.histogram[v];
        if (n == 0) continue;
        if (lo < 0) lo = v;
        hi = v;
        count += n;
        sum += n * static_cast<std::uint64_t>(v);
    }
    s.count = count;
    if (count == 0) return;
    s.min = lo;
    s.max = hi;
    s.mean = static_cast<double>(sum) / static_cast<double>(count);
    double squares = 0;
    for (int v = lo; v <= hi; ++v) {
        const double d = v - s.mean;
        squares += static_cast<double>(s.histogram[v]) * d * d;
    }
    s.std = std::sqrt(squares / static_cast<double>(count));
    // The value at place (count - 1) / 2 of the sorted values.
    const std::uint64_t place = (count - 1) / 2;
    std::uint64_t seen = 0;
    for (int v = lo; v <= hi; ++v) {
        seen += s.histogram[v];
        if (seen > place) {
            s.median = v;
            break;
        }
    }
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
}

}  // namespace

std::vector<PicturePoint> profile_points(const ProfileLine& line)
{
    const std::int64_t dx = std::int64_t{line.x1} - line.x0, dy = std::int64_t{line.y1} - line.y0;
    const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    if (n == 0) return {{line.x0, line.y0}};
    std::vector<PicturePoint> points;
    points.reserve(static_cast<std::size_t>(n) + 1);
    for (std::int64_t i = 0; i <= n; ++i)
        points.push_back({static_cast<int>(line.x0 + floor_div(2 * i * dx + n, 2 * n)),
                          static_cast<int>(line.y0 + floor_div(2 * i * dy + n, 2 * n))});
    return points;
}

bool other_has_same_size(const ImageStore& store)
{
    if (store.current_image == nullptr) return false;
    const ImageRecord& shown = *store.current_image;
    const ImageRecord& other = store.other_record();
    return other.pixels && other.width == shown.width && other.height == shown.height;
}

Profile measure_profile(const ImageStore& store, const ProfileLine& line)
{
    Profile profile;
    profile.points = profile_points(line);
    const bool with_other = other_has_same_size(store);
    profile.shown.reserve(profile.points.size());
    if (with_other) profile.other.reserve(profile.points.size());
    for (const PicturePoint& p : profile.points) {
        profile.shown.push_back(values_at(*store.current_image, p.x, p.y));
        if (with_other) profile.other.push_back(values_at(store.other_record(), p.x, p.y));
    }
    return profile;
}

RegionStats region_statistics(const ImageRecord& record, const PictureRect& rect)
{
    Counts total;
    std::mutex merge;
    const std::size_t pixels = static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height);
    parallel_rows(static_cast<std::size_t>(rect.height), pixels, [&](std::size_t y0, std::size_t y1) {
        Counts part;
        count_region_rows(record, rect, static_cast<int>(y0), static_cast<int>(y1), part);
        std::lock_guard<std::mutex> lock(merge);
        for (int k = 0; k < 4; ++k)
            for (int v = 0; v < 256; ++v) total.c[k][v] += part.c[k][v];
    });
    RegionStats stats;
    for (int k = 0; k < 4; ++k) {
        std::copy(std::begin(total.c[k]), std::end(total.c[k]), stats.channel[k].histogram.begin());
        summarise(stats.channel[k]);
    }
    return stats;
}

Region measure_region(const ImageStore& store, const PictureRect& rect)
{
    Region region;
    region.shown = region_statistics(*store.current_image, rect);
    if (other_has_same_size(store)) region.other = region_statistics(store.other_record(), rect);
    return region;
}

void draw_region_histograms(Frame& frame, const RegionStats& stats)
{
    frame.resize(kRegionHistogramsWidth, kRegionHistogramsHeight);
    std::fill(frame.pixels.begin(), frame.pixels.end(), std::uint8_t{255});
    ImageRecord counts;
    std::uint64_t h[4][256];
    for (int k = 0; k < 4; ++k)
        for (int v = 0; v < 256; ++v) h[k][v] = stats.channel[k].histogram[v];
    store_statistics(counts, h[REGION_R], h[REGION_G], h[REGION_B], h[REGION_LUMA]);
    draw_histogram_panel(frame, 1, 0, counts);
}

std::string region_table_text(const Region& region)
{
    static const char* const labels[4] = {"R", "G", "B", "яркость"};
    static const char* const heads[] = {"картинка", "канал", "число", "мин", "макс", "среднее", "ст. откл.", "медиана"};
    std::string text;
    for (const char* head : heads) text += std::string(text.empty() ? "" : "\t") + text::tr(head);
    text += '\n';
    const auto rows = [&](const RegionStats& stats, const char* which) {
        for (int k = 0; k < 4; ++k) {
            const ChannelStats& s = stats.channel[k];
            text += std::string(which) + "\t" + text::tr(labels[k]) + "\t" + std::to_string(s.count) + "\t" +
                    std::to_string(s.min) + "\t" + std::to_string(s.max) + "\t" + number(s.mean) + "\t" +
                    number(s.std) + "\t" + std::to_string(s.median) + "\n";
        }
    };
    rows(region.shown, text::tr("на экране"));
    if (region.other) rows(*region.other, text::tr("другая"));
    return text;
}

namespace {

void values_json(std::string& out, const PixelValues& v)
{
    out += "{\"r\":" + std::to_string(v.r) + ",\"g\":" + std::to_string(v.g) + ",\"b\":" + std::to_string(v.b) +
           ",\"luma\":" + std::to_string(v.luma) + "}";
}

// The shortest of 15 to 17 significant digits that reads back as the same
// double (every toolchain's C library has printf; not every one converts
// floating-point numbers with to_chars).
std::string exact(double v)
{
    char text[32];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        if (std::strtod(text, nullptr) == v) break;
    }
    return text;
}

void stats_json(std::string& out, const RegionStats& stats)
{
    out += "{";
    for (int k = 0; k < 4; ++k) {
        const ChannelStats& s = stats.channel[k];
        if (k) out += ',';
        out += std::string("\"") + kRegionChannelNames[k] + "\":{\"count\":" + std::to_string(s.count) +
               ",\"min\":" + std::to_string(s.min) + ",\"max\":" + std::to_string(s.max) +
               ",\"mean\":" + exact(s.mean) + ",\"std\":" + exact(s.std) + ",\"median\":" + std::to_string(s.median) +
               ",\"histogram\":[";
        for (int v = 0; v < 256; ++v) {
            if (v) out += ',';
            out += std::to_string(s.histogram[v]);
        }
        out += "]}";
    }
    out += "}";
}

}  // namespace

std::string profile_json(const Profile& profile)
{
    std::string out = "{\"points\":[";
    for (std::size_t i = 0; i < profile.points.size(); ++i) {
        out += i ? ",{\"x\":" : "{\"x\":";
        out += std::to_string(profile.points[i].x);
        out += ",\"y\":";
        out += std::to_string(profile.points[i].y);
        out += ",\"shown\":";
        values_json(out, profile.shown[i]);
        out += ",\"other\":";
        if (profile.other.empty())
            out += "null";
        else
            values_json(out, profile.other[i]);
        out += "}";
    }
    return out + "]}\n";
}

std::string region_json(const Region& region)
{
    std::string out = "{\"shown\":";
    stats_json(out, region.shown);
    out += ",\"other\":";
    if (region.other)
        stats_json(out, *region.other);
    else
        out += "null";
    return out + "}\n";
}

std::string compare_status_text(const ViewState& view)
{
    switch (view.compare) {
    case COMPARE_SPLIT:
        return text::format("Сравнение: слева от x %1 другая, справа на экране", {std::to_string(view.compare_split_x)});
    case COMPARE_DIFF:
        return text::format("Разность: min(255, %1·|на экране − другая|) по каналам", {std::to_string(view.compare_diff)});
    default: return {};
    }
}

std::optional<PicturePoint> clamped_pixel_under(const ImageStore& store, const ViewState& view, int x, int y)
{
    if (store.current_image == nullptr) return std::nullopt;
    const ImageRecord& record = *store.current_image;
    if (record.width == 0 || record.height == 0) return std::nullopt;
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const std::int64_t sx = std::int64_t{x} + view.scroll_x, sy = std::int64_t{y} + view.scroll_y;
    const auto to_picture = [zoom](std::int64_t s) {
        return zoom >= 0 ? (s >> zoom) : s * (std::int64_t{1} << -zoom);
    };
    const std::int64_t px = sx < 0 ? 0 : to_picture(sx), py = sy < 0 ? 0 : to_picture(sy);
    return PicturePoint{static_cast<int>(std::min<std::int64_t>(px, record.width - 1)),
                        static_cast<int>(std::min<std::int64_t>(py, record.height - 1))};
}

PictureRect rect_between(PicturePoint a, PicturePoint b)
{
    const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    return {x, y, std::max(a.x, b.x) - x + 1, std::max(a.y, b.y) - y + 1};
}
