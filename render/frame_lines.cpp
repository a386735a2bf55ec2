#include "render/frame_lines.h"

#include <cstdlib>
#include <cstring>

void draw_frame_line(Frame& frame, const WindowLine& line)
{
    // Bresenham from (x0, y0) towards (x1, y1), stopping before the end.
    long long x = line.x0, y = line.y0;
    const long long x1 = line.x1, y1 = line.y1;
    const long long dx = std::llabs(x1 - x), dy = -std::llabs(y1 - y);
    const long long sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
    long long error = dx + dy;
    while (x != x1 || y != y1) {
        if (x >= 0 && y >= 0 && x < frame.width && y < frame.height)
            std::memset(frame.row(static_cast<int>(y)) + 3 * x, 0, 3);
        const long long twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}
