// The view renderer. Every client pixel is written once as white or as a
// picture pixel, row by row (the bulk of the work, close to a copy of the
// frame): at natural size a row is one copy of a picture row; zoomed in, a
// picture row is widened once and the screen rows that repeat it are copies
// of the first; zoomed out, every 2^-zoom-th pixel is picked. From 1600 % the
// pixel values are written over their cells. Then the histogram panel, which
// covers a small fixed area, is drawn over it with clipped spans in the order
// the panel defines: frames, gaps, bins. Where the panel's bars overlap its
// frames (a bar whose top rounds one row above the frame) the later drawing
// wins, as it would on a screen.
//
// Pixels no drawing step reaches (left of and above the picture when the
// view is scrolled past its origin, and three rows beside each gap on the
// panel's right frame line) are white, as the window's background.
//
// Coordinates are computed in 64 bits: scroll positions and picture sizes
// may be anything a record or the scroll bars allow.
#include "render/view.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <tuple>

#include "image/image_record.h"
#include "image/statistics.h"
#include "render/digit_font.h"

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

// Screen coordinate (from the zoomed picture's left or top edge) to picture
// coordinate: floor(s / 2^zoom).
Coord to_picture(Coord s, int zoom) { return zoom >= 0 ? s >> zoom : s * (Coord{1} << -zoom); }

// Picture coordinate to the screen coordinate of its cell's first pixel:
// floor(c * 2^zoom).
Coord to_screen(Coord c, int zoom) { return zoom >= 0 ? c * (Coord{1} << zoom) : c >> -zoom; }

// The picture's columns [image_l, image_r) of client row y widened to
// 2^zoom screen pixels each, from picture row `row` (top-down).
void widen_row(std::uint8_t* out, Coord image_l, Coord image_r, Coord ox, const std::uint8_t* row, int zoom)
{
    const Coord cell = Coord{1} << zoom;
    Coord s = image_l - ox;
    const std::uint8_t* p = row + 3 * (s >> zoom);
    Coord run = ((s >> zoom) + 1) * cell - s;  // what is left of the first cell
    for (Coord remaining = image_r - image_l; remaining > 0; remaining -= run, run = cell, p += 3) {
        const Coord n = std::min(run, remaining);
        const std::uint8_t b = p[0], g = p[1], r = p[2];
        for (Coord i = 0; i < n; ++i, out += 3) {
            out[0] = b;
            out[1] = g;
            out[2] = r;
        }
    }
}

// Every 2^-zoom-th pixel of a picture row, the first one of each step.
void pick_row(std::uint8_t* out, Coord image_l, Coord image_r, Coord ox, const std::uint8_t* row, int zoom)
{
    const int shift = -zoom;
    for (Coord x = image_l; x < image_r; ++x, out += 3) {
        const std::uint8_t* p = row + 3 * ((x - ox) << shift);
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
    }
}

// Writes row y of the client area outside the panel: white, with the
// picture's row where it crosses the zoomed picture (zw by zh screen pixels).
// Picture row r (from the top) of what the view shows: the record's own, or
// the compare view's, made once per row.
struct PictureRows {
    const ImageRecord& record;
    const ImageRecord* other;  // set: the compare view
    const ViewState* view;
    Coord first = 0, end = 0;  // the columns the frame shows
    mutable std::vector<std::uint8_t> buffer;
    mutable Coord buffered = -1;

    const std::uint8_t* row(Coord r) const
    {
        if (other == nullptr)
            return record.pixels.get() + static_cast<std::size_t>(record.height - 1 - r) * record.stride();
        if (r != buffered) {
            buffer.resize(3 * static_cast<std::size_t>(record.width) + 1);
            compare_row(record, *other, *view, static_cast<int>(r), buffer.data(), static_cast<int>(first),
                        static_cast<int>(end));
            buffered = r;
        }
        return buffer.data();
    }
};

void base_row(Frame& frame, int y, Coord ox, Coord oy, const PictureRows& rows, int zoom, Coord zw, Coord zh)
{
    std::uint8_t* row = frame.row(y);
    const Coord width = frame.width;
    Coord image_l = 0, image_r = 0;
    if (y >= oy && y < oy + zh && zw > 0) {
        image_l = std::clamp<Coord>(ox, 0, width);
        image_r = std::clamp<Coord>(ox + zw, 0, width);
    }
    if (image_l >= image_r) {
        std::memset(row, 255, static_cast<std::size_t>(width) * 3);
        return;
    }
    std::memset(row, 255, static_cast<std::size_t>(image_l) * 3);
    const std::uint8_t* source = rows.row(to_picture(y - oy, zoom));
    if (zoom == 0)
        std::memcpy(row + 3 * image_l, source + 3 * (image_l - ox), static_cast<std::size_t>(image_r - image_l) * 3);
    else if (zoom > 0)
        widen_row(row + 3 * image_l, image_l, image_r, ox, source, zoom);
    else
        pick_row(row + 3 * image_l, image_l, image_r, ox, source, zoom);
    std::memset(row + 3 * image_r, 255, static_cast<std::size_t>(width - image_r) * 3);
}

// A number 0..255 written right-aligned in a field of three digit places,
// 11 font columns (digits 4 apart): one mask per font row, bit 10 the
// field's first column.
struct NumberRows {
    std::uint16_t rows[DIGIT_ROWS];
};

const NumberRows& number_rows(int value)
{
    static const auto table = [] {
        std::array<NumberRows, 256> t{};
        for (int v = 0; v < 256; ++v) {
            int rest = v, place = 2;  // units first, in the last place
            do {
                for (int row = 0; row < DIGIT_ROWS; ++row)
                    t[v].rows[row] |= static_cast<std::uint16_t>(digit_row(rest % 10, row) << (8 - 4 * place));
                rest /= 10;
                --place;
            } while (rest > 0);
        }
        return t;
    }();
    return table[value];
}

// One line of text with its field's top-left corner at (x0, y0), each font
// pixel `scale` by `scale` screen pixels; Clip when the cell may reach past
// the frame. Ink is black or white: the same value in all three bytes.
template <int scale, bool Clip>
void draw_number(Frame& frame, const NumberRows& text, Coord x0, Coord y0, std::uint8_t ink)
{
    for (int r = 0; r < DIGIT_ROWS; ++r) {
        const unsigned mask = text.rows[r];
        if (mask == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
            const Coord y = y0 + r * scale + dy;
            if (Clip && (y < 0 || y >= frame.height)) continue;
            std::uint8_t* row = frame.row(static_cast<int>(y));
            for (unsigned m = mask; m != 0; m &= m - 1) {
                const Coord x = x0 + (10 - std::countr_zero(m)) * scale;
                if (Clip && (x < 0 || x + scale > frame.width)) {
                    for (Coord i = std::max<Coord>(x, 0); i < std::min<Coord>(x + scale, frame.width); ++i)
                        std::memset(row + 3 * i, ink, 3);
                    continue;
                }
                std::memset(row + 3 * x, ink, 3 * scale);
            }
        }
    }
}

template <int scale>
void draw_values(Frame& frame, const std::uint8_t* bgr, Coord x, Coord y, std::uint8_t ink, bool clip)
{
    const auto draw = clip ? draw_number<scale, true> : draw_number<scale, false>;
    draw(frame, number_rows(bgr[2]), x, y, ink);
    draw(frame, number_rows(bgr[1]), x, y + 5 * scale, ink);
    draw(frame, number_rows(bgr[0]), x, y + 10 * scale, ink);
}

// The red, green and blue values written over each visible picture cell.
void draw_pixel_values(Frame& frame, const PictureRows& rows, Coord ox, Coord oy, int zoom)
{
    const ImageRecord& record = rows.record;
    const Coord cell = Coord{1} << zoom;
    const int scale = 1 << (zoom - ZOOM_PIXEL_VALUES);
    const Coord w = record.width, h = record.height;
    // The picture's columns and rows whose cells reach into the frame.
    const Coord first_c = std::max<Coord>(0, to_picture(-ox, zoom));
    const Coord last_c = std::min(w - 1, to_picture(frame.width - 1 - ox, zoom));
    const Coord first_r = std::max<Coord>(0, to_picture(-oy, zoom));
    const Coord last_r = std::min(h - 1, to_picture(frame.height - 1 - oy, zoom));
    const Coord left = (cell - 11 * scale) / 2, top = scale;
    for (Coord r = first_r; r <= last_r; ++r) {
        const std::uint8_t* source = rows.row(r);
        const Coord y0 = oy + r * cell;
        for (Coord c = first_c; c <= last_c; ++c) {
            const std::uint8_t* p = source + 3 * c;
            const Coord x0 = ox + c * cell;
            const bool clip = x0 < 0 || y0 < 0 || x0 + cell > frame.width || y0 + cell > frame.height;
            const std::uint8_t ink = luma(p[0], p[1], p[2]) >= 128 ? 0 : 255;  // black on light, white on dark
            if (scale == 1)
                draw_values<1>(frame, p, x0 + left, y0 + top, ink, clip);
            else
                draw_values<2>(frame, p, x0 + left, y0 + top, ink, clip);
        }
    }
}

void fill_white(Frame& frame)
{
    if (frame.width > 0)
        for (int y = 0; y < frame.height; ++y) std::memset(frame.row(y), 255, static_cast<std::size_t>(frame.width) * 3);
}

// The content's size at a zoom: the picture, the 26-pixel gap and the panel
// across; down, the taller of the picture and the panel with its bottom frame
// line and a blank row.
std::pair<Coord, Coord> content_size(const ImageRecord& record, int zoom)
{
    return {zoomed_size(record.width, zoom) + 26 + kPanelWidth,
            std::max<Coord>(zoomed_size(record.height, zoom), kPanelHeight + 2)};
}

}  // namespace

std::pair<int, int> draw_histogram_panel(Frame& frame, int px, int top, const ImageRecord& record)
{
    return draw_panel(frame, px, top, record);
}

namespace {

// Where the zoomed picture and the panel fall for a view's zoom and scroll.
std::pair<ClientRect, ClientRect> placed(const ImageRecord& record, const ViewState& view)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const Coord ox = -Coord{view.scroll_x}, oy = -Coord{view.scroll_y};
    const Coord w = zoomed_size(record.width, zoom), h = zoomed_size(record.height, zoom);
    const Coord px = ox + w + kPanelLeft;
    return {ClientRect{ox, oy, ox + w, oy + h}, ClientRect{px - 1, oy, px + kPanelWidth, oy + kPanelHeight + 2}};
}

// The split view's divider: one screen pixel wide over the first screen
// column of picture column x, down the picture, in dashes of 4 black and 4
// white pixels (counted from the picture's top) so it shows on any picture.
void draw_divider(Frame& frame, const ImageRecord& record, Coord ox, Coord oy, int zoom, Coord x)
{
    if (x < 0 || x >= record.width) return;
    const Coord sx = ox + to_screen(x, zoom);
    if (sx < 0 || sx >= frame.width) return;
    const Coord h = zoomed_size(record.height, zoom);
    for (Coord y = std::max<Coord>(oy, 0); y < std::min<Coord>(oy + h, frame.height); ++y)
        std::memset(frame.row(static_cast<int>(y)) + 3 * sx, ((y - oy) / 4) % 2 == 0 ? 0 : 255, 3);
}

// The view of `record`, compared with `other` when that is set.
void paint(Frame& frame, const ImageRecord& record, const ImageRecord* other, const ViewState& view)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const auto [picture, panel] = placed(record, view);
    const Coord ox = picture.left, oy = picture.top;
    const Coord w = picture.right - picture.left, h = picture.bottom - picture.top;
    PictureRows rows{record, other, &view, 0, 0, {}, -1};
    rows.first = std::clamp<Coord>(to_picture(-ox, zoom), 0, record.width);
    rows.end = std::clamp<Coord>(to_picture(frame.width - 1 - ox, zoom) + 1, rows.first, record.width);

    // The picture and the white surround (strip, below the picture, right of
    // and below the panel) all lie outside the panel's columns or rows, so
    // one pass writes them; the panel follows. Zoomed in, the screen rows of
    // one picture row are the same bytes: widen the first, copy the rest.
    if (frame.width > 0)
        for (int y = 0; y < frame.height; ++y) {
            const bool repeats = zoom > 0 && y > 0 && y - 1 >= oy && y < oy + h &&
                                 to_picture(y - oy, zoom) == to_picture(y - 1 - oy, zoom);
            if (repeats)
                std::memcpy(frame.row(y), frame.row(y - 1), static_cast<std::size_t>(frame.width) * 3);
            else
                base_row(frame, y, ox, oy, rows, zoom, w, h);
        }
    if (zoom >= ZOOM_PIXEL_VALUES) draw_pixel_values(frame, rows, ox, oy, zoom);
    if (other != nullptr && view.compare == COMPARE_SPLIT) draw_divider(frame, record, ox, oy, zoom, view.compare_split_x);
    draw_panel(frame, panel.left + 1, panel.top, record);
}

}  // namespace

ViewLayout layout_view(const ImageRecord* picture, const ViewState& view, const ViewArea& area)
{
    ViewLayout layout;
    const int height = std::max(0, area.height - (view.status_bar ? area.status_bar_height : 0));
    bool vertical = area.vertical_bar, horizontal = area.horizontal_bar;
    const auto client = [&](bool v, bool h) {
        return std::pair{std::max(0, area.width - (v ? area.vertical_bar_width : 0)),
                         std::max(0, height - (h ? area.horizontal_bar_height : 0))};
    };
    Coord content_w = 0, content_h = 0;
    if (picture != nullptr) {
        std::tie(content_w, content_h) = content_size(*picture, std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX));
        // Each bar as its limit asks for, the other as it shows: as the bars
        // would settle shown and hidden one paint after another.
        const auto needs = [&](bool v, bool h) {
            const auto [cw, ch] = client(v, h);
            return std::pair{content_h - ch > 0, content_w - cw > 0};
        };
        for (int pass = 0; pass < 2; ++pass) {
            const auto [v, h] = needs(vertical, horizontal);
            if (v == vertical && h == horizontal) break;
            vertical = v;
            horizontal = h;
        }
        if (needs(vertical, horizontal) != std::pair{vertical, horizontal}) vertical = horizontal = true;
    }
    layout.vertical_bar = vertical;
    layout.horizontal_bar = horizontal;
    std::tie(layout.client_width, layout.client_height) = client(vertical, horizontal);
    if (picture == nullptr) return layout;
    layout.scroll_max_x = static_cast<std::int32_t>(content_w - layout.client_width);
    layout.scroll_max_y = static_cast<std::int32_t>(content_h - layout.client_height);
    layout.bar_x = std::clamp(view.scroll_x, 0, std::max(0, layout.scroll_max_x));
    layout.bar_y = std::clamp(view.scroll_y, 0, std::max(0, layout.scroll_max_y));
    std::tie(layout.picture, layout.panel) = placed(*picture, view);
    return layout;
}

void apply_layout(ViewState& view, const ViewLayout& layout)
{
    view.scroll_max_x = layout.scroll_max_x;
    view.scroll_max_y = layout.scroll_max_y;
    view.client_width = layout.client_width;
    view.client_height = layout.client_height;
}

void settle_view(ViewState& view, const ImageStore& store, int width, int height)
{
    ViewArea area;
    area.width = width;
    area.height = height;
    const ViewLayout layout = layout_view(store.current_image, view, area);
    // Without a picture the limits stay as the last picture left them.
    if (store.current_image == nullptr) {
        view.client_width = layout.client_width;
        view.client_height = layout.client_height;
    } else {
        apply_layout(view, layout);
    }
}

void paint_view(Frame& frame, const ImageRecord& record, const ViewState& view) { paint(frame, record, nullptr, view); }

void compare_row(const ImageRecord& shown, const ImageRecord& other, const ViewState& view, int y, std::uint8_t* out,
                 int first, int end)
{
    if (first >= end) return;
    const std::uint8_t* a = shown.pixel(0, y);
    const std::uint8_t* b = other.pixel(0, y);
    if (view.compare == COMPARE_SPLIT) {
        const int split = std::clamp<int>(view.compare_split_x, first, end);
        std::memcpy(out + 3 * first, b + 3 * first, 3 * static_cast<std::size_t>(split - first));
        std::memcpy(out + 3 * split, a + 3 * split, 3 * static_cast<std::size_t>(end - split));
        return;
    }
    const int k = view.compare_diff;
    for (std::size_t i = 3 * static_cast<std::size_t>(first); i < 3 * static_cast<std::size_t>(end); ++i) {
        const int d = k * std::abs(int{a[i]} - int{b[i]});
        out[i] = static_cast<std::uint8_t>(std::min(d, 255));
    }
}

bool compare_active(const ImageStore& store, const ViewState& view)
{
    if (view.compare == COMPARE_OFF || store.current_image == nullptr) return false;
    const ImageRecord& shown = *store.current_image;
    const ImageRecord& other = store.other_record();
    return other.pixels && other.width == shown.width && other.height == shown.height;
}

// A compare mode shows only while the other record holds a picture of the
// same size (its menu items are greyed otherwise).
void render_client(Frame& frame, const ImageStore& store, const ViewState& view)
{
    if (store.current_image != nullptr)
        paint(frame, *store.current_image, compare_active(store, view) ? &store.other_record() : nullptr, view);
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

void scroll_thumb_to(ViewState& view, bool horizontal, std::int32_t position)
{
    (horizontal ? view.scroll_x : view.scroll_y) = position;
}

bool scroll_wheel(ViewState& view, int delta, bool horizontal)
{
    constexpr int kNotch = 120, kPixelsPerNotch = 48;
    std::int32_t& position = horizontal ? view.scroll_x : view.scroll_y;
    const std::int32_t limit = horizontal ? view.scroll_max_x : view.scroll_max_y;
    const Coord distance = Coord{delta} * kPixelsPerNotch / kNotch;  // positive: back towards 0
    const std::int32_t before = position;
    if (distance > 0 && position > 0) position = static_cast<std::int32_t>(std::max<Coord>(position - distance, 0));
    if (distance < 0 && position < limit)
        position = static_cast<std::int32_t>(std::min<Coord>(position - distance, limit));
    return position != before;
}

std::vector<WindowLine> segment_frame_lines(std::span<const SegmentFrame> frames, int height, const ViewState& view)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    // The first and the last screen pixel of a picture column or row.
    const auto first = [zoom](Coord c) { return to_screen(c, zoom); };
    const auto last = [zoom](Coord c) { return zoom >= 0 ? to_screen(c + 1, zoom) - 1 : to_screen(c, zoom); };
    const auto x = [&view](Coord s) { return static_cast<int>(s - view.scroll_x); };
    const auto y = [&view](Coord s) { return static_cast<int>(s - view.scroll_y); };
    std::vector<WindowLine> lines;
    lines.reserve(4 * frames.size());
    for (const SegmentFrame& f : frames) {
        const int left = x(first(f.seg_start)), right = x(last(f.seg_end));
        const int lower = y(last(Coord{height} - 1 - f.bottom)), upper = y(first(Coord{height} - 1 - f.top));
        lines.push_back({left, lower, right, lower});
        lines.push_back({left, upper, right, upper});
        lines.push_back({left, lower, left, upper});
        lines.push_back({right, lower, right, upper});
    }
    return lines;
}

std::int64_t zoomed_size(std::int64_t size, int zoom)
{
    return zoom >= 0 ? size << zoom : (size + (std::int64_t{1} << -zoom) - 1) >> -zoom;
}

std::string zoom_percent(int zoom)
{
    switch (zoom) {
    case -3: return "12.5";
    case -2: return "25";
    case -1: return "50";
    default: return std::to_string(100 << std::clamp(zoom, 0, ZOOM_MAX));
    }
}

namespace {

// The scroll limits at a zoom, for the client size of the last paint.
std::pair<Coord, Coord> limits_at(const ViewState& view, const ImageRecord& record, int zoom)
{
    const auto [content_w, content_h] = content_size(record, zoom);
    return {content_w - view.client_width, content_h - view.client_height};
}

}  // namespace

void set_zoom(ViewState& view, const ImageRecord& record, int zoom, int anchor_x, int anchor_y)
{
    zoom = std::clamp(zoom, ZOOM_MIN, ZOOM_MAX);
    const int change = zoom - std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const auto rescale = [change](Coord s) { return change >= 0 ? s * (Coord{1} << change) : s >> -change; };
    const auto [max_x, max_y] = limits_at(view, record, zoom);
    const Coord x = rescale(Coord{anchor_x} + view.scroll_x) - anchor_x;
    const Coord y = rescale(Coord{anchor_y} + view.scroll_y) - anchor_y;
    view.zoom = zoom;
    view.scroll_x = static_cast<std::int32_t>(std::clamp<Coord>(x, 0, std::max<Coord>(max_x, 0)));
    view.scroll_y = static_cast<std::int32_t>(std::clamp<Coord>(y, 0, std::max<Coord>(max_y, 0)));
    view.scroll_max_x = static_cast<std::int32_t>(max_x);
    view.scroll_max_y = static_cast<std::int32_t>(max_y);
}

std::pair<int, int> zoom_anchor(const ViewState& view, const ImageRecord& record)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const auto centre = [](Coord origin, Coord size, Coord client) {
        const Coord from = std::max<Coord>(origin, 0), to = std::min(origin + size, client);
        return static_cast<int>(from < to ? (from + to) / 2 : client / 2);
    };
    return {centre(-Coord{view.scroll_x}, zoomed_size(record.width, zoom), view.client_width),
            centre(-Coord{view.scroll_y}, zoomed_size(record.height, zoom), view.client_height)};
}

int fit_zoom(const ImageRecord& record, int client_width, int client_height)
{
    for (int zoom = ZOOM_MAX; zoom > ZOOM_MIN; --zoom) {
        const auto [content_w, content_h] = content_size(record, zoom);
        if (content_w <= client_width && content_h <= client_height) return zoom;
    }
    return ZOOM_MIN;
}

std::optional<PicturePoint> pixel_under(const ImageStore& store, const ViewState& view, int x, int y)
{
    PicturePoint p;
    if (store.current_image == nullptr || x < 0 || y < 0 || x >= view.client_width || y >= view.client_height ||
        !picture_pixel_at(view, *store.current_image, x, y, p.x, p.y))
        return std::nullopt;
    return p;
}

bool picture_pixel_at(const ViewState& view, const ImageRecord& record, int x, int y, int& px, int& py)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const Coord sx = Coord{x} + view.scroll_x, sy = Coord{y} + view.scroll_y;
    if (sx < 0 || sy < 0 || sx >= zoomed_size(record.width, zoom) || sy >= zoomed_size(record.height, zoom))
        return false;
    px = static_cast<int>(to_picture(sx, zoom));
    py = static_cast<int>(to_picture(sy, zoom));
    return true;
}
