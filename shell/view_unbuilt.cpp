// Placeholder until the renderer lands: the client area is white.
#include <cstring>

#include "image/image_record.h"
#include "shell/view.h"

std::int32_t scroll_x = 0, scroll_y = 0, scroll_max_x = 0, scroll_max_y = 0;

void Frame::resize(int w, int h)
{
    width = w;
    height = h;
    stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    pixels.assign(stride * static_cast<std::size_t>(h), 0);
}

void render_client(Frame& frame) { std::memset(frame.pixels.data(), 255, frame.pixels.size()); }

namespace {
void scroll(std::int32_t& position, std::int32_t limit, int step, int code, int thumb)
{
    if (code == SCROLL_LINE_BACK && position > 0) position -= step;
    if (code == SCROLL_LINE_FORWARD && position < limit) position += step;
    if (code == SCROLL_THUMB_TRACK) position = thumb;
}
}  // namespace

void scroll_horizontal(int code, int thumb) { scroll(scroll_x, scroll_max_x, 5, code, thumb); }
void scroll_vertical(int code, int thumb) { scroll(scroll_y, scroll_max_y, 1, code, thumb); }
