// The view: the current picture in the top-left corner of the client area,
// at one of nine zoom levels (12.5 % to 3200 %, natural size by default),
// scrolled by (scroll_x, scroll_y), the panel of four histograms (red,
// green, blue, luma) to its right, and white everywhere else. It is drawn by
// portable code into a Frame, so every front end shows exactly the same
// pixels; front ends only blit the frame.
//
// Zoom level z (2^z screen pixels per picture pixel, z from -3 to 5): the
// zoomed picture is ceil(width * 2^z) by ceil(height * 2^z) screen pixels,
// and screen pixel (sx, sy) of it (sx = client x + scroll_x) shows picture
// pixel (floor(sx / 2^z), floor(sy / 2^z)), rows counted from the top: the
// nearest sample, never an average, so every value on screen is a real one.
// Scroll positions and limits are in these screen pixels, and the panel
// stands beside the zoomed picture as it stands beside the natural one.
// From 1600 % each picture pixel also shows its red, green and blue values in
// the digit font of render/digit_font.h, black on a pixel whose luma is 128 or
// more and white on a darker one. In a cell of Z = 16 * s screen pixels (s = 1
// at 1600 %, 2 at 3200 %) each font pixel is s by s; the three numbers stand
// on three lines, red at the top, each right-aligned, digits 4 * s apart and
// lines 5 * s apart; the block of three digit places starts (Z - 11 * s) / 2
// from the cell's left edge and s below its top edge.
//
// Frame: one 24-bit pixel per client pixel, bytes blue, green, red; rows
// top-down (row 0 is the client area's top row), each row padded to a
// multiple of 4 bytes, as a top-down 24-bit DIB or QImage::Format_BGR888
// with bytesPerLine = stride.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "image/image_record.h"
#include "ops/segment/segment.h"

// A black 1-pixel line in client coordinates; it excludes its end point.
struct WindowLine {
    int x0, y0, x1, y1;
};

struct Frame {
    int width = 0, height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> pixels;

    void resize(int w, int h);
    std::uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * stride; }
};

// Zoom levels: 2^zoom screen pixels per picture pixel.
inline constexpr int ZOOM_MIN = -3;          // 12.5 %
inline constexpr int ZOOM_MAX = 5;           // 3200 %
inline constexpr int ZOOM_PIXEL_VALUES = 4;  // 1600 %: values drawn in each pixel

// A view mode that compares the picture on display with the other record
// (when that holds a picture of the same size; otherwise the view is the
// plain one): split, picture columns x < compare_split_x from the other
// record and the rest from the one on display, a divider drawn over column
// compare_split_x; or the difference min(255, K * |shown - other|) per
// channel with K = compare_diff (1, 4 or 16). The histogram panel always
// shows the picture on display.
enum CompareMode : std::int32_t { COMPARE_OFF = 0, COMPARE_SPLIT = 1, COMPARE_DIFF = 2 };

// The view's part of the session. Scroll positions and limits are in screen
// pixels of the zoomed picture. The positions are never reset, and scroll
// steps never clamp them; the limits come from the last layout of a picture
// (layout_view) and may be zero or negative (a range of 0 hides the bar). The
// client size is the view's area at the last layout (what is left below the
// menu, beside the scroll bars and above the status bar); zooming and fitting
// work against it.
struct ViewState {
    std::int32_t scroll_x = 0, scroll_y = 0, scroll_max_x = 0, scroll_max_y = 0;
    std::int32_t zoom = 0;
    std::int32_t client_width = 0, client_height = 0;
    bool status_bar = true;      // the status bar under the view is shown
    bool explain_panel = false;  // the panel explaining a pixel is open beside the view
    bool journal_panel = false;  // the panel with the session's steps is open
    std::int32_t wheel_zoom = 0;  // wheel turn towards the next zoom level (120 a notch)
    CompareMode compare = COMPARE_OFF;
    std::int32_t compare_split_x = 0;  // first column from the picture on display
    std::int32_t compare_diff = 1;     // K of the difference view
};

// Scroll codes of the scroll bars.
enum ScrollCode { SCROLL_LINE_BACK = 0, SCROLL_LINE_FORWARD = 1, SCROLL_THUMB_TRACK = 5 };

// One scroll notification: step 5 horizontally, 1 vertically; thumb is the
// dragged position (0..65535), read only for SCROLL_THUMB_TRACK.
void scroll_horizontal(ViewState& view, int code, int thumb);
void scroll_vertical(ViewState& view, int code, int thumb);

// A thumb dragged to `position` on a bar whose range may pass 65535 (the
// zoomed picture can be that wide): the position as it is, no 16-bit read.
void scroll_thumb_to(ViewState& view, bool horizontal, std::int32_t position);

// One turn of the mouse wheel: `delta` in the wheel's units (120 a notch,
// positive away from the user), which scrolls up, or left when `horizontal`,
// by 48 screen pixels a notch. Unlike the line steps a turn stops at 0 and at
// the limit. Returns whether the position moved.
bool scroll_wheel(ViewState& view, int delta, bool horizontal);

// ceil(size * 2^zoom): a picture side in screen pixels.
std::int64_t zoomed_size(std::int64_t size, int zoom);

// The zoom as a percentage without the sign: "12.5", "25", ... "3200".
std::string zoom_percent(int zoom);

// Sets the zoom (brought into ZOOM_MIN..ZOOM_MAX) keeping the picture pixel
// under client point (anchor_x, anchor_y) where it is: the screen coordinate
// a + scroll is scaled by 2^(new - old), rounded down, and the new scroll is
// that less a, brought within 0..limit of the new zoom (0 when the limit is
// not positive) for the client size of the last paint. The pixel therefore
// stays under the point unless the picture's edge stops the scroll (and below
// 100 %, where only every 2^-zoom-th pixel shows, it stays within one step).
void set_zoom(ViewState& view, const ImageRecord& record, int zoom, int anchor_x, int anchor_y);

// Where the menu's and the keys' zoom keeps the picture still: the centre of
// the part of the client area that shows the picture, or the client area's
// centre when none does.
std::pair<int, int> zoom_anchor(const ViewState& view, const ImageRecord& record);

// The largest zoom at which the picture and the histogram panel fit a client
// area of the given size without scrolling; ZOOM_MIN when none does.
int fit_zoom(const ImageRecord& record, int client_width, int client_height);

// The picture pixel that client point (x, y) shows, counted from the top-left
// (false: the point shows no picture pixel).
bool picture_pixel_at(const ViewState& view, const ImageRecord& record, int x, int y, int& px, int& py);

// A pixel of a picture, counted from the top-left.
struct PicturePoint {
    int x = 0, y = 0;
    bool operator==(const PicturePoint&) const = default;
};

// The pixel of the picture on display under client point (x, y): nothing
// without a picture, outside the client area as last painted, or where the
// point shows no picture pixel.
std::optional<PicturePoint> pixel_under(const ImageStore& store, const ViewState& view, int x, int y);

// The space a front end gives the view: its whole area (what is left below
// the menu and beside the explanation panel, the scroll bars included), how
// thick its bars are, which of them show now, and how tall its status bar is
// when shown (0 where the window lays the status bar out itself).
struct ViewArea {
    int width = 0, height = 0;
    int vertical_bar_width = 0, horizontal_bar_height = 0;
    bool vertical_bar = false, horizontal_bar = false;
    int status_bar_height = 0;
};

// A rectangle in client coordinates, [left, right) x [top, bottom); it may
// reach past the client area.
struct ClientRect {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// The view laid out for the picture on display: which bars show and their
// ranges, where their thumbs stand, the client area beside them, and where
// the zoomed picture and the histogram panel fall in it.
struct ViewLayout {
    bool vertical_bar = false, horizontal_bar = false;
    int client_width = 0, client_height = 0;
    std::int32_t scroll_max_x = 0, scroll_max_y = 0;  // zero or negative: nothing to scroll
    std::int32_t bar_x = 0, bar_y = 0;                // the positions brought within 0..limit
    ClientRect picture, panel;
};

// The layout, from the picture (none: nothing on display), the zoom, the
// scroll positions and the status bar's state of `view`, and `area`. A bar
// shows while its limit is positive; as showing one narrows the client area,
// the answer is the one the bars settle on from those showing now, and both
// show where they would take turns. Without a picture the bars stay as they
// are and the limits are 0. Pure: the front ends set their bars from it
// before painting, and nothing loops.
ViewLayout layout_view(const ImageRecord* picture, const ViewState& view, const ViewArea& area);

// The layout's limits and client size into the view state, which scrolling,
// zooming and fitting work against.
void apply_layout(ViewState& view, const ViewLayout& layout);

// Lays out a client area of exactly `width` x `height` (no bars, no status
// bar, as lumaforge-cli --view draws it) and applies it.
void settle_view(ViewState& view, const ImageStore& store, int width, int height);

// Draws `record` and its histograms into `frame` (whose size is the client
// size) at view.zoom and view's scroll positions.
void paint_view(Frame& frame, const ImageRecord& record, const ViewState& view);

// Picture row y (from the top) as the compare view shows it: columns
// [first, end) into out + 3 * first (3 bytes each, blue, green, red); shown
// and other have the same size.
void compare_row(const ImageRecord& shown, const ImageRecord& other, const ViewState& view, int y, std::uint8_t* out,
                 int first, int end);

// Whether the view compares: a compare mode is set and the other record
// holds a picture of the size of the one on display.
bool compare_active(const ImageStore& store, const ViewState& view);

// Draws the histogram panel with its first bin column at px and its top row
// at top; returns (panel width 257, panel height 415).
std::pair<int, int> draw_histogram_panel(Frame& frame, int px, int top, const ImageRecord& record);

// The whole client area as the window shows it: the view of the store's
// current_image (compared with the other record when compare_active), or
// plain white while nothing is loaded.
void render_client(Frame& frame, const ImageStore& store, const ViewState& view);

// The four lines of each segmentation frame in client coordinates: lower
// edge, upper edge, left edge, right edge, drawn on the outermost screen
// pixels of the frame's first and last columns and rows as the zoom shows
// them (at natural size: client x is the column and client y is
// height - 1 - row), each less the scroll position, so the frames lie on the
// picture as the view shows it.
std::vector<WindowLine> segment_frame_lines(std::span<const SegmentFrame> frames, int height, const ViewState& view);
