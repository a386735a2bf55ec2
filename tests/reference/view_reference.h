// The view drawn the slow, literal way: a little device context over a
// Frame with a current pen, lines that exclude their end point and
// rectangles that exclude their right and bottom edges, following the
// painting steps one by one. The frame starts white, as the window's
// background; nothing is drawn outside it.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "render/view.h"

// Paints `record` into `frame` with the given scroll positions and zoom level
// and returns the scroll limits it computes (x, y). Zoomed, each client pixel
// of the picture's area picks its picture pixel by the nearest-sample rule
// in rationals, and from 1600 % the values are written digit by digit.
std::pair<std::int32_t, std::int32_t> reference_paint_view(Frame& frame, const ImageRecord& record,
                                                           std::int32_t scroll_x, std::int32_t scroll_y, int zoom = 0);
