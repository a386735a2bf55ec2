// Black 1-pixel lines drawn onto a frame in client coordinates, the end
// point excluded, clipped to the frame: what segmentation draws over the view.
#pragma once

#include "render/view.h"

void draw_frame_line(Frame& frame, const WindowLine& line);
