// The view renderer. Every client pixel is written once as white or as a
// picture pixel, row by row (the bulk of the work, close to a copy of the
// frame); then the histogram panel, which covers a small fixed area, is drawn
// over it with clipped spans in the order the panel defines: frames, gaps,
// bins. Where the panel's bars overlap its frames (a bar whose top rounds one
// row above the frame) the later drawing wins, as it would on a screen.
//
// Pixels no drawing step reaches (left of and above the picture when the
// view is scrolled past its origin, and three rows beside each gap on the
// panel's right frame line) are white, as the window's background.
//
// Coordinates are computed in 64 bits: scroll positions and picture sizes
// may be anything a record or the scroll bars allow.
#include "shell/view.h"

#include <algorithm>
#include <cstring>

#include "image/image_record.h"

void Frame::resize(int w, int h)
{
    width = w;
    height = h;
    stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    pixels.assign(stride * static_cast<std::size_t>(h), 0);
}

namespace {

using Coord = std::int64_t;

constexpr int kGap = 24;              // white strip between picture and panel
constexpr int kPanelLeft = kGap + 1;  // first bin column, right of the picture
constexpr int kBarHeight = 100;
constexpr int kPitch = 105;          // from one histogram frame's top to the next
constexpr int kPanelWidth = 257;
constexpr int kPanelHeight = 415;    // last baseline below the panel's top

struct Colour {
    std::uint8_t b, g, r;
};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kBlack{0, 0, 0};

void fill_span(std::uint8_t* p, Coord count, Colour c)
{
    if (c.b == c.g && c.g == c.r) {
        std::memset(p, c.b, static_cast<std::size_t>(count) * 3);
        return;
    }
    for (Coord i = 0; i < count; ++i, p += 3) {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
}

// [l, r) x [t, b) clipped to the frame.
void fill_rect(Frame& f, Coord l, Coord t, Coord r, Coord b, Colour c)
{
    l = std::max<Coord>(l, 0);
    t = std::max<Coord>(t, 0);
    r = std::min<Coord>(r, f.width);
    b = std::min<Coord>(b, f.height);
    if (l >= r || t >= b) return;
    for (Coord y = t; y < b; ++y) fill_span(f.row(static_cast<int>(y)) + 3 * l, r - l, c);
}

// A vertical line from (x, from) towards (x, to), the end row excluded.
void vertical_line(Frame& f, Coord x, Coord from, Coord to, Colour c)
{
    if (from == to) return;
    if (from < to)
        fill_rect(f, x, from, x + 1, to, c);
    else
        fill_rect(f, x, to + 1, x + 1, from + 1, c);
}

// One histogram bin's bar top: bk + (count * 100) * (-1 / largest) in
// double, truncated toward zero. The baseline may be negative when the view
// is scrolled, and truncation then rounds the other way; keep it as it is.
Coord bar_top(Coord baseline, std::int32_t count, std::int32_t largest)
{
    if (largest == 0) return baseline;  // a picture without pixels: empty bins
    const double reciprocal = -1.0 / static_cast<double>(largest);
    const double top =
        static_cast<double>(baseline) + (static_cast<double>(count) * static_cast<double>(kBarHeight)) * reciprocal;
    return static_cast<Coord>(top);
}

std::pair<int, int> draw_panel(Frame& frame, Coord px, Coord top, const ImageRecord& record)
{
    // Frames: the outline from (px - 1, tk) to (px + 256, tk + 101), all four
    // edges; the bins fill the inside columns px .. px + 255.
    for (int k = 0; k < 4; ++k) {
        const Coord tk = top + Coord{kPitch} * k;
        fill_rect(frame, px - 1, tk, px + 257, tk + 1, kBlack);
        fill_rect(frame, px - 1, tk + 101, px + 257, tk + 102, kBlack);
        fill_rect(frame, px - 1, tk + 1, px, tk + 101, kBlack);
        fill_rect(frame, px + 256, tk + 1, px + 257, tk + 101, kBlack);
    }
    for (int k = 0; k < 4; ++k) {
        const Coord tk = top + Coord{kPitch} * k;
        fill_rect(frame, px - 1, tk + 102, px + 256, tk + 105, kWhite);
    }

    const std::int32_t* counts[4] = {record.hist_r, record.hist_g, record.hist_b, record.hist_luma};
    const std::int32_t largest[4] = {record.max_r, record.max_g, record.max_b, record.max_luma};
    for (int k = 0; k < 4; ++k) {
        const Coord tk = top + Coord{kPitch} * k;
        const Coord bk = tk + kBarHeight;
        for (int i = 0; i < 256; ++i) {
            const Coord x = px + i;
            if (x < 0 || x >= frame.width) continue;
            const auto v = static_cast<std::uint8_t>(i);
            const Colour colour = k == 0 ? Colour{0, 0, v} : k == 1 ? Colour{0, v, 0} : k == 2 ? Colour{v, 0, 0} : Colour{v, v, v};
            const Coord bar = bar_top(bk, counts[k][i], largest[k]);
            vertical_line(frame, x, bk, bar, colour);
            vertical_line(frame, x, bar, tk, kWhite);
        }
    }
    return {kPanelWidth, kPanelHeight};
}

// Writes row y of the client area outside the panel: white, with the
// picture's row where it crosses the picture.
void base_row(Frame& frame, int y, Coord ox, Coord oy, const ImageRecord& record)
{
    std::uint8_t* row = frame.row(y);
    const Coord w = record.width, h = record.height;
    const Coord width = frame.width;
    Coord image_l = 0, image_r = 0;
    if (y >= oy && y < oy + h && w > 0) {
        image_l = std::clamp<Coord>(ox, 0, width);
        image_r = std::clamp<Coord>(ox + w, 0, width);
    }
    if (image_l >= image_r) {
        std::memset(row, 255, static_cast<std::size_t>(width) * 3);
        return;
    }
    std::memset(row, 255, static_cast<std::size_t>(image_l) * 3);
    // The record is bottom-up: client row oy + r shows block row h - 1 - r.
    const Coord block_row = h - 1 - (y - oy);
    const std::uint8_t* source =
        record.pixels.get() + static_cast<std::size_t>(block_row) * record.stride() + 3 * (image_l - ox);
    std::memcpy(row + 3 * image_l, source, static_cast<std::size_t>(image_r - image_l) * 3);
    std::memset(row + 3 * image_r, 255, static_cast<std::size_t>(width - image_r) * 3);
}

void fill_white(Frame& frame)
{
    if (frame.width > 0)
        for (int y = 0; y < frame.height; ++y) std::memset(frame.row(y), 255, static_cast<std::size_t>(frame.width) * 3);
}

}  // namespace

std::pair<int, int> draw_histogram_panel(Frame& frame, int px, int top, const ImageRecord& record)
{
    return draw_panel(frame, px, top, record);
}

void paint_view(Frame& frame, const ImageRecord& record, ViewState& view)
{
    const Coord ox = -Coord{view.scroll_x}, oy = -Coord{view.scroll_y};
    const Coord w = record.width, h = record.height;
    const Coord R = frame.width, B = frame.height;

    // The picture and the white surround (strip, below the picture, right of
    // and below the panel) all lie outside the panel's columns or rows, so
    // one pass writes them; the panel follows.
    if (frame.width > 0)
        for (int y = 0; y < frame.height; ++y) base_row(frame, y, ox, oy, record);
    const auto [panel_w, panel_h] = draw_panel(frame, ox + w + kPanelLeft, oy, record);

    // The content is w + 283 pixels wide and as high as the taller of the
    // picture and the panel with its bottom frame line and a blank row.
    const Coord max_x = w + 26 - R + panel_w;
    const Coord max_y = std::max<Coord>(h, panel_h + 2) - B;
    view.scroll_max_x = static_cast<std::int32_t>(max_x);
    view.scroll_max_y = static_cast<std::int32_t>(max_y);
}

void render_client(Frame& frame, const ImageStore& store, ViewState& view)
{
    if (store.current_image != nullptr)
        paint_view(frame, *store.current_image, view);
    else
        fill_white(frame);
}

namespace {

void scroll(std::int32_t& position, std::int32_t limit, int step, int code, int thumb)
{
    switch (code) {
    case SCROLL_LINE_BACK:
        if (position > 0) position -= step;
        break;
    case SCROLL_LINE_FORWARD:
        if (position < limit) position += step;
        break;
    case SCROLL_THUMB_TRACK: position = static_cast<std::int32_t>(static_cast<std::uint32_t>(thumb) & 0xFFFFu); break;
    default: break;  // page steps, thumb released, top, bottom, end: nothing
    }
}

}  // namespace

void scroll_horizontal(ViewState& view, int code, int thumb) { scroll(view.scroll_x, view.scroll_max_x, 5, code, thumb); }
void scroll_vertical(ViewState& view, int code, int thumb) { scroll(view.scroll_y, view.scroll_max_y, 1, code, thumb); }

std::vector<WindowLine> segment_frame_lines(std::span<const SegmentFrame> frames, int height, const ViewState& view)
{
    std::vector<WindowLine> lines;
    lines.reserve(4 * frames.size());
    for (const SegmentFrame& f : frames) {
        const int left = f.seg_start - view.scroll_x, right = f.seg_end - view.scroll_x;
        const int lower = height - 1 - f.bottom - view.scroll_y, upper = height - 1 - f.top - view.scroll_y;
        lines.push_back({left, lower, right, lower});
        lines.push_back({left, upper, right, upper});
        lines.push_back({left, lower, left, upper});
        lines.push_back({right, lower, right, upper});
    }
    return lines;
}
