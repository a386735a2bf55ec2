#include "tests/reference/view_reference.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "image/statistics.h"
#include "render/digit_font.h"

namespace {

struct Rgb {
    int r, g, b;
};

struct Context {
    Frame& frame;
    Rgb pen{0, 0, 0};  // the default pen is black
    long long cur_x = 0, cur_y = 0;

    void set_pixel(long long x, long long y, Rgb c)
    {
        if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) return;
        std::uint8_t* p = frame.row(static_cast<int>(y)) + 3 * x;
        p[0] = static_cast<std::uint8_t>(c.b);
        p[1] = static_cast<std::uint8_t>(c.g);
        p[2] = static_cast<std::uint8_t>(c.r);
    }
    void move_to(long long x, long long y)
    {
        cur_x = x;
        cur_y = y;
    }
    // Only horizontal and vertical lines occur in the view.
    void line_to(long long x, long long y)
    {
        if (x != cur_x && y != cur_y) std::abort();
        const long long dx = (x > cur_x) - (x < cur_x), dy = (y > cur_y) - (y < cur_y);
        for (long long px = cur_x, py = cur_y; px != x || py != y; px += dx, py += dy) set_pixel(px, py, pen);
        move_to(x, y);
    }
    // Outline in the pen, inside in the white brush.
    void rectangle(long long l, long long t, long long r, long long b)
    {
        for (long long y = t; y < b; ++y)
            for (long long x = l; x < r; ++x) {
                const bool edge = x == l || x == r - 1 || y == t || y == b - 1;
                set_pixel(x, y, edge ? pen : Rgb{255, 255, 255});
            }
    }
};

std::pair<int, int> reference_panel(Context& dc, long long px, long long oy, const ImageRecord& rec)
{
    for (int k = 0; k < 4; ++k) {
        const long long tk = oy + 105 * k;
        dc.move_to(px - 1, tk);
        dc.line_to(px + 256, tk);
        dc.line_to(px + 256, tk + 101);
        dc.line_to(px - 1, tk + 101);
        dc.line_to(px - 1, tk);
    }
    const Rgb entry = dc.pen;
    dc.pen = {255, 255, 255};
    for (int k = 0; k < 4; ++k) {
        const long long tk = oy + 105 * k;
        dc.rectangle(px - 1, tk + 102, px + 256, tk + 105);
    }
    const std::int32_t* counts[4] = {rec.hist_r, rec.hist_g, rec.hist_b, rec.hist_luma};
    const std::int32_t largest[4] = {rec.max_r, rec.max_g, rec.max_b, rec.max_luma};
    for (int k = 0; k < 4; ++k) {
        const long long tk = oy + 105 * k;
        const long long bk = tk + 100;
        for (int i = 0; i < 256; ++i) {
            const long long x = px + i;
            const Rgb colour = k == 0 ? Rgb{i, 0, 0} : k == 1 ? Rgb{0, i, 0} : k == 2 ? Rgb{0, 0, i} : Rgb{i, i, i};
            long long top = bk;  // no pixels: every bin empty
            if (largest[k] != 0)
                top = static_cast<long long>(static_cast<double>(bk) +
                                             (static_cast<double>(counts[k][i]) * 100.0) *
                                                 (-1.0 / static_cast<double>(largest[k])));
            dc.pen = colour;
            dc.move_to(x, bk);
            dc.line_to(x, top);
            dc.pen = {255, 255, 255};
            dc.line_to(x, tk);
        }
    }
    dc.pen = entry;
    return {257, 415};
}

}  // namespace

std::pair<std::int32_t, std::int32_t> reference_paint_view(Frame& frame, const ImageRecord& rec, std::int32_t scroll_x,
                                                           std::int32_t scroll_y, int zoom)
{
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            for (int c = 0; c < 3; ++c) frame.row(y)[3 * x + c] = 255;
    Context dc{frame};
    const long long R = frame.width, B = frame.height;
    const long long ox = -static_cast<long long>(scroll_x), oy = -static_cast<long long>(scroll_y);
    // The zoom as a fraction num / den: 2^zoom screen pixels per picture pixel.
    const long long num = zoom >= 0 ? 1LL << zoom : 1, den = zoom >= 0 ? 1 : 1LL << -zoom;
    const long long w = (rec.width * num + den - 1) / den, h = (rec.height * num + den - 1) / den;

    const long long px = ox + w + 25;
    const auto [panel_w, panel_h] = reference_panel(dc, px, oy, rec);

    const Rgb entry = dc.pen;
    dc.pen = {255, 255, 255};
    dc.rectangle(ox + w, oy, ox + w + 24, oy + h + 1);
    dc.rectangle(ox, oy + h, ox + w + 24, B);
    dc.rectangle(px + panel_w, oy, R, B);
    dc.rectangle(ox + w + 24, oy + panel_h + 2, px + panel_w, B);
    dc.pen = entry;

    // Screen pixel (sx, sy) of the zoomed picture shows picture pixel
    // (floor(sx * den / num), floor(sy * den / num)) counted from the top; the
    // block is bottom-up.
    const auto pixel = [&rec](long long x, long long top_y) {
        return rec.pixels.get() + (rec.height - 1 - top_y) * static_cast<long long>(rec.stride()) + 3 * x;
    };
    for (long long sy = 0; sy < h; ++sy)
        for (long long sx = 0; sx < w; ++sx) {
            const std::uint8_t* p = pixel(sx * den / num, sy * den / num);
            dc.set_pixel(ox + sx, oy + sy, Rgb{p[2], p[1], p[0]});
        }

    // From 1600 %: red, green and blue on three lines in each picture pixel's
    // cell, each number right-aligned, in font pixels of num / 16 screen pixels.
    if (zoom >= 4) {
        const long long s = num / 16, left = (num - 11 * s) / 2, top = s;
        for (long long y = 0; y < rec.height; ++y)
            for (long long x = 0; x < rec.width; ++x) {
                const std::uint8_t* p = pixel(x, y);
                const Rgb ink = luma(p[0], p[1], p[2]) >= 128 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
                const int values[3] = {p[2], p[1], p[0]};
                for (int line = 0; line < 3; ++line) {
                    const std::string text = std::to_string(values[line]);
                    for (std::size_t i = 0; i < text.size(); ++i) {
                        const long long place = 3 - static_cast<long long>(text.size()) + static_cast<long long>(i);
                        const long long gx = ox + x * num + left + 4 * s * place;
                        const long long gy = oy + y * num + top + 5 * s * line;
                        for (int r = 0; r < DIGIT_ROWS; ++r)
                            for (int c = 0; c < DIGIT_COLUMNS; ++c)
                                if (digit_row(text[i] - '0', r) & (4 >> c))
                                    for (long long dy = 0; dy < s; ++dy)
                                        for (long long dx = 0; dx < s; ++dx)
                                            dc.set_pixel(gx + c * s + dx, gy + r * s + dy, ink);
                    }
                }
            }
    }

    const long long max_x = w + 26 - R + panel_w;
    const long long max_y = std::max<long long>(h, panel_h + 2) - B;
    return {static_cast<std::int32_t>(max_x), static_cast<std::int32_t>(max_y)};
}
