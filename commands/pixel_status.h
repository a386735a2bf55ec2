// What the status bar says about the pixel under the cursor: its place in the
// picture (x from the left, y from the top, as the user sees them), its red,
// green, blue and luma in the picture on display, and the same for the same
// pixel of the other record when that holds a picture of the same size (the
// picture before or after the last operation: undo switches between them).
// The Qt and Windows windows and the page show this text; lumaforge-cli
// --probe prints the values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "image/image_record.h"
#include "render/view.h"

struct Session;

struct PixelValues {
    int r = 0, g = 0, b = 0, luma = 0;
    bool operator==(const PixelValues&) const = default;
};

struct PixelProbe {
    int x = 0, y = 0;
    PixelValues shown;
    std::optional<PixelValues> other;
};

// Pixel (x, y), from the top-left, of the picture on display; nothing when
// no picture shows or the point lies outside it.
std::optional<PixelProbe> probe_pixel(const ImageStore& store, std::int64_t x, std::int64_t y);

// The status bar's text for a probe: "x 12, y 34   R 1 G 2 B 3 (яркость 2)"
// and, for the other picture, "   другая: R ... (яркость ...)".
std::string status_text(const PixelProbe& probe);

// The status bar's text with the cursor at client point (x, y) of the view:
// empty where the point shows no picture pixel.
std::string status_text_at(const ImageStore& store, const ViewState& view, int x, int y);

// The part of the status bar that is always there: the zoom and, with a
// picture on display, its size and the name of the file it was opened from:
// "100 %   450 × 600   photo.jpg".
std::string status_summary(const Session& session);
