// The view: the current picture at natural size in the top-left corner of
// the client area, scrolled by (scroll_x, scroll_y), the panel of four
// histograms (red, green, blue, luma) to its right, and white everywhere
// else. It is drawn by portable code into a Frame, so every front end shows
// exactly the same pixels; front ends only blit the frame.
//
// Frame: one 24-bit pixel per client pixel, bytes blue, green, red; rows
// top-down (row 0 is the client area's top row), each row padded to a
// multiple of 4 bytes, as a top-down 24-bit DIB or QImage::Format_BGR888
// with bytesPerLine = stride.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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

// Scroll positions and limits in pixels, part of the session. The positions
// are never reset and never clamped; the limits are recomputed at every
// paint of a picture and may be zero or negative (a range of 0 hides the
// bar).
struct ViewState {
    std::int32_t scroll_x = 0, scroll_y = 0, scroll_max_x = 0, scroll_max_y = 0;
};

// Scroll codes of the scroll bars.
enum ScrollCode { SCROLL_LINE_BACK = 0, SCROLL_LINE_FORWARD = 1, SCROLL_THUMB_TRACK = 5 };

// One scroll notification: step 5 horizontally, 1 vertically; thumb is the
// dragged position (0..65535), read only for SCROLL_THUMB_TRACK.
void scroll_horizontal(ViewState& view, int code, int thumb);
void scroll_vertical(ViewState& view, int code, int thumb);

// Draws `record` and its histograms into `frame` (whose size is the client
// size) and sets scroll_max_x and scroll_max_y.
void paint_view(Frame& frame, const ImageRecord& record, ViewState& view);

// Draws the histogram panel with its first bin column at px and its top row
// at top; returns (panel width 257, panel height 415).
std::pair<int, int> draw_histogram_panel(Frame& frame, int px, int top, const ImageRecord& record);

// The whole client area as the window shows it: the view of the store's
// current_image, or plain white while nothing is loaded.
void render_client(Frame& frame, const ImageStore& store, ViewState& view);

// The four lines of each segmentation frame in client coordinates: lower
// edge, upper edge, left edge, right edge. Client x is the column and client
// y is height - 1 - row, each less the scroll position, so the frames lie on
// the picture as the view shows it.
std::vector<WindowLine> segment_frame_lines(std::span<const SegmentFrame> frames, int height, const ViewState& view);
